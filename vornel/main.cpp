#include "app/appcfg.h"
#include "app/startup.h"
#include "app/threadpools.h"
#include "meta/exivutil.h"
#include "sys/fontutil.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    installFontFallbacks();
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
    return result;
}
