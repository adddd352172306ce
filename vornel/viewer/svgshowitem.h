#pragma once

#include "grid/iteminfo.h"
#include "viewer/handitem.h"

#include <QGraphicsSvgItem>

class QSvgRenderer;

// An SVG drawing on the canvas, rendered as vectors at every scale.
class SvgShowItem : public HandItem<QGraphicsSvgItem> {
public:
    explicit SvgShowItem(QGraphicsItem* parent = nullptr);

    // -1 for an empty pointer or a drawing that cannot be parsed (the item is then empty), else 0.
    int load(const ItemInfoPtr& info);

private:
    QSvgRenderer* m_renderer = nullptr; // child of the item
};
