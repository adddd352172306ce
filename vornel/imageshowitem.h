#pragma once

#include "iteminfo.h"
#include "showitem.h"

#include <QCursor>
#include <QGraphicsPixmapItem>

// A still image on the canvas, dragged with the hand cursors and zoomed by the wheel.
class ImageShowItem : public QGraphicsPixmapItem, public ShowItem {
public:
    explicit ImageShowItem(QGraphicsItem* parent = nullptr);

    // -1 for an empty pointer, else 0 (an unreadable file leaves the pixmap empty).
    int load(const ItemInfoPtr& info);

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    void wheelEvent(QGraphicsSceneWheelEvent* event) override;

private:
    QCursor m_closedHand;
    QCursor m_openHand;
};
