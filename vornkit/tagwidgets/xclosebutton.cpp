#include "tagwidgets/xclosebutton.h"

#include <QPainter>
#include <QStyleOptionToolButton>

XCloseButton::XCloseButton(QWidget* parent)
    : QToolButton(parent)
{
}

void XCloseButton::paintEvent(QPaintEvent* event)
{
    QToolButton::paintEvent(event);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    const bool over = option.state & QStyle::State_MouseOver;
    QPainter painter(this);
    painter.setPen(QPen(QBrush(over ? Qt::red : m_lineColor), m_lineWidth, m_lineStyle, Qt::SquareCap, Qt::BevelJoin));
    const int w = width();
    const int h = height();
    painter.drawLine(m_shrink, m_shrink, w - m_shrink, h - m_shrink);
    painter.drawLine(m_shrink, h - m_shrink, w - m_shrink, m_shrink);
}
