#include "app/appcfg.h"
#include "app/startup.h"
#include "app/threadpools.h"
#include "meta/exivutil.h"
#include "sys/fontutil.h"
#include "sys/logger.h"
#include "sys/platform.h"
#include "sys/qtlanguage.h"

#include <QApplication>
#include <QTimer>

namespace {

QtMessageHandler previousHandler = nullptr;

// Messages go to the log store (the log dialog) and on to where they went before.
void logMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    Logger::log(type, context, message);
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv)
{
    platform::ignoreFileSizeSignal();
    Logger::CreateInstance();
    previousHandler = qInstallMessageHandler(logMessage);
    QApplication app(argc, argv);
    installFontFallbacks();
    installQtTranslations();
    QCoreApplication::setOrganizationName("tamrolek");
    QCoreApplication::setApplicationName("vornel");
    initExiv2();
    AppCfg::instance(0)->load();
    openDbPools();
    createThreadPools();
    if (!openMainWindow(QCoreApplication::arguments()))
        return -1;

    // VORN_QUIT_AFTER_MS (tests only): close the windows and quit normally after that many milliseconds.
    const int quitAfter = qEnvironmentVariableIntValue("VORN_QUIT_AFTER_MS");
    if (quitAfter > 0) {
        QTimer::singleShot(quitAfter, &app, [] {
            QApplication::closeAllWindows();
            QCoreApplication::quit();
        });
    }
    const int result = app.exec();
    shutDown();
    qInstallMessageHandler(previousHandler);
    Logger::ReleaseInstance();
    return result;
}
