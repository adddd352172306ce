#include "widgets/lessmainwindow.h"

LessMainWindow::LessMainWindow(QWidget* parent, Qt::WindowFlags flags)
    : LessBase<QMainWindow>(parent, flags)
{
}

LessMainWindow::~LessMainWindow() = default;
