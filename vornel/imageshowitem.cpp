#include "imageshowitem.h"

#include <QGraphicsSceneMouseEvent>
#include <QGraphicsSceneWheelEvent>
#include <QImage>
#include <QPixmap>

#include <utility>

ImageShowItem::ImageShowItem(QGraphicsItem* parent)
    : QGraphicsPixmapItem(parent)
    , m_closedHand(handCursor(true))
    , m_openHand(handCursor(false))
{
    item = this;
    setFlags(ItemIsMovable | ItemIsFocusable);
    setTransformationMode(Qt::SmoothTransformation);
    setCursor(m_openHand);
}

int ImageShowItem::load(const ItemInfoPtr& info)
{
    if (!info)
        return -1;
    filePath = absolutePath(info);
    QImage image = info->fullImage();
    if (image.isNull())
        image.load(filePath);
    setPixmap(QPixmap::fromImage(std::move(image)));
    return 0;
}

void ImageShowItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    setCursor(m_closedHand);
    QGraphicsPixmapItem::mousePressEvent(event);
}

void ImageShowItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    setCursor(m_openHand);
    QGraphicsPixmapItem::mouseReleaseEvent(event);
}

void ImageShowItem::wheelEvent(QGraphicsSceneWheelEvent* event)
{
    zoomAt(event->delta(), event->pos());
    event->accept();
}
