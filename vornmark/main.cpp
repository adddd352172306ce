#include "markstartup.h"
#include "tagsyncwnd.h"

#include "meta/exivutil.h"
#include "sys/fontutil.h"
#include "sys/platform.h"
#include "sys/qtlanguage.h"

#include <QApplication>

int main(int argc, char** argv)
{
    platform::ignoreFileSizeSignal();
    QApplication app(argc, argv);
    installFontFallbacks();
    installQtTranslations();
    QCoreApplication::setOrganizationName("tamrolek");
    QCoreApplication::setApplicationName("vornmark");
    initExiv2();
    MarkStartup::start();

    auto* wnd = new TagSyncWnd(nullptr);
    wnd->setAttribute(Qt::WA_DeleteOnClose);
    wnd->loadLess();
    wnd->show();
    const int result = app.exec();

    MarkStartup::stop();
    return result;
}
