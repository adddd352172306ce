#include "meta/exivutil.h"
#include "search/filedbholder.h"
#include "search/likefindcfg.h"
#include "sys/fontutil.h"
#include "sys/platform.h"
#include "sys/qtlanguage.h"
#include "window/likefindwnd.h"

#include <QApplication>
#include <QLocale>
#include <QTranslator>

int main(int argc, char** argv)
{
    platform::ignoreFileSizeSignal();
    QApplication app(argc, argv);
    installFontFallbacks();
    installQtTranslations();
    QCoreApplication::setOrganizationName("tamrolek");
    QCoreApplication::setApplicationName("vorntwin");

    QTranslator translator;
    for (const QString& language : QLocale::system().uiLanguages()) {
        if (translator.load(QStringLiteral(":/i18n/vorntwin_") + QLocale(language).name())) {
            QCoreApplication::installTranslator(&translator);
            break;
        }
    }

    initExiv2();
    LikeFindCfg::instance(0)->load("vorntwin.cfg");
    FileDbHolder::create();
    if (QPointer<LikeFindWnd> wnd = LikeFindWnd::instance())
        wnd->show();

    const int result = app.exec();
    // The window (and a search it still ran) goes before the store it uses.
    delete LikeFindWnd::current().data();
    FileDbHolder::destroy();
    LikeFindCfg::get()->save("vorntwin.cfg");
    LikeFindCfg::release();
    return result;
}
