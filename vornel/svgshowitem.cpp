#include "svgshowitem.h"

#include <QGraphicsSceneMouseEvent>
#include <QGraphicsSceneWheelEvent>
#include <QSvgRenderer>

SvgShowItem::SvgShowItem(QGraphicsItem* parent)
    : QGraphicsSvgItem(parent)
    , m_closedHand(handCursor(true))
    , m_openHand(handCursor(false))
{
    item = this;
    m_renderer = new QSvgRenderer(this);
    setSharedRenderer(m_renderer);
    setFlags(ItemIsMovable | ItemIsFocusable);
    setCursor(m_openHand);
}

int SvgShowItem::load(const ItemInfoPtr& info)
{
    if (!info)
        return -1;
    filePath = absolutePath(info);
    const bool loaded = m_renderer->load(filePath);
    // The whole document; also refreshes the size, so a drawing that failed leaves an empty item.
    setElementId(QString());
    return loaded ? 0 : -1;
}

void SvgShowItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    setCursor(m_closedHand);
    QGraphicsSvgItem::mousePressEvent(event);
}

void SvgShowItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    setCursor(m_openHand);
    QGraphicsSvgItem::mouseReleaseEvent(event);
}

void SvgShowItem::wheelEvent(QGraphicsSceneWheelEvent* event)
{
    zoomAt(event->delta(), event->pos());
    event->accept();
}
