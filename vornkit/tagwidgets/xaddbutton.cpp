#include "tagwidgets/xaddbutton.h"

#include <QPainter>
#include <QStyleOptionToolButton>

XAddButton::XAddButton(QWidget* parent)
    : QToolButton(parent)
{
}

void XAddButton::paintEvent(QPaintEvent* event)
{
    QToolButton::paintEvent(event);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    const bool over = option.state & QStyle::State_MouseOver;
    QPainter painter(this);
    painter.setPen(QPen(QBrush(over ? Qt::blue : lineColor), lineWidth, lineStyle, Qt::SquareCap, Qt::BevelJoin));
    const int w = width();
    const int h = height();
    painter.drawLine(hSpace, h / 2, w - hSpace, h / 2);
    painter.drawLine(w / 2, vSpace, w / 2, h - vSpace);
}
