#pragma once

#include "grid/iteminfo.h"
#include "viewer/handitem.h"

#include <QGraphicsPixmapItem>

// A still image on the canvas, dragged with the hand cursors and zoomed by the wheel.
class ImageShowItem : public HandItem<QGraphicsPixmapItem> {
public:
    explicit ImageShowItem(QGraphicsItem* parent = nullptr);

    // -1 for an empty pointer, else 0 (an unreadable file leaves the pixmap empty).
    int load(const ItemInfoPtr& info);
};
