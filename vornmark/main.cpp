#include "sys/fontutil.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    installFontFallbacks();
    QCoreApplication::setOrganizationName("tamrolek");
    QCoreApplication::setApplicationName("vornmark");
    QLabel wnd(QStringLiteral("vornmark"));
    wnd.show();
    return app.exec();
}
