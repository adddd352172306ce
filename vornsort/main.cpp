#include "tidycfg.h"
#include "vornsortwnd.h"

#include "db/sqlitedbpool.h"
#include "meta/exivutil.h"
#include "records/histaglist.h"
#include "sys/fontutil.h"
#include "sys/platform.h"
#include "sys/qtlanguage.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    platform::ignoreFileSizeSignal();
    QApplication app(argc, argv);
    installFontFallbacks();
    installQtTranslations();
    QCoreApplication::setOrganizationName("tamrolek");
    QCoreApplication::setApplicationName("vornsort");
    initExiv2();
    TidyCfg::instance(0)->load();
    createDbPools();
    HisTagList::loadHisTagAtStart();

    auto* wnd = new VornsortWnd();
    wnd->setAttribute(Qt::WA_DeleteOnClose);
    wnd->loadLess();
    wnd->show();

    // VORN_QUIT_AFTER_MS (tests only): close the window and quit normally after that many milliseconds.
    const int quitAfter = qEnvironmentVariableIntValue("VORN_QUIT_AFTER_MS");
    if (quitAfter > 0) {
        QTimer::singleShot(quitAfter, &app, [] {
            QApplication::closeAllWindows();
            QCoreApplication::quit();
        });
    }
    const int result = app.exec();
    destroyDbPools();
    TidyCfg::get()->save();
    TidyCfg::release();
    return result;
}
