#include "widgets/lesswidget.h"

LessWidget::LessWidget(QWidget* parent, Qt::WindowFlags flags)
    : LessBase<QWidget>(parent, flags)
{
}

LessWidget::~LessWidget() = default;
