#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("tamrolek");
    QCoreApplication::setApplicationName("vornel");
    QLabel wnd(QStringLiteral("vornel"));
    wnd.show();
    return app.exec();
}
