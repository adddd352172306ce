#include "sys/fontutil.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    installFontFallbacks();
    QCoreApplication::setOrganizationName("tamrolek");
    QCoreApplication::setApplicationName("vornsort");
    QLabel wnd(QStringLiteral("vornsort"));
    wnd.show();
    return app.exec();
}
