#pragma once

#include "iteminfo.h"
#include "showitem.h"

#include <QCursor>
#include <QGraphicsSvgItem>

class QSvgRenderer;

// An SVG drawing on the canvas, rendered as vectors at every scale.
class SvgShowItem : public QGraphicsSvgItem, public ShowItem {
public:
    explicit SvgShowItem(QGraphicsItem* parent = nullptr);

    // -1 for an empty pointer or a drawing that cannot be parsed (the item is then empty), else 0.
    int load(const ItemInfoPtr& info);

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    void wheelEvent(QGraphicsSceneWheelEvent* event) override;

private:
    QCursor m_closedHand;
    QCursor m_openHand;
    QSvgRenderer* m_renderer = nullptr; // child of the item
};
