#include "sys/fontutil.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    installFontFallbacks();
    QCoreApplication::setOrganizationName("tamrolek");
    QCoreApplication::setApplicationName("vorntwin");
    QLabel wnd(QStringLiteral("vorntwin"));
    wnd.show();
    return app.exec();
}
