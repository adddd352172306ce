#include "tagwidgets/xstatusbarlabel.h"

#include <QMouseEvent>

XStatusBarLabel::XStatusBarLabel(QWidget* parent)
    : QLabel(parent)
{
}

XStatusBarLabel::XStatusBarLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
}

void XStatusBarLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit sign_clicked();
    else
        QLabel::mousePressEvent(event);
}
