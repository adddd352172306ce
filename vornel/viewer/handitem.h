#pragma once

#include "viewer/showitem.h"

#include <QCursor>
#include <QGraphicsItem>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsSceneWheelEvent>

// A canvas item on a QGraphicsItem class: dragged with the hand cursors, zoomed by the wheel around the pointer.
// Presses and releases go on to EventBase (an embedding item passes them by its widget to be dragged itself).
template <class Base, class EventBase = Base> class HandItem : public Base, public ShowItem {
public:
    explicit HandItem(QGraphicsItem* parent)
        : Base(parent)
        , m_closedHand(handCursor(true))
        , m_openHand(handCursor(false))
    {
        item = this;
        this->setCursor(m_openHand);
    }

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override
    {
        this->setCursor(m_closedHand);
        EventBase::mousePressEvent(event);
    }
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override
    {
        this->setCursor(m_openHand);
        EventBase::mouseReleaseEvent(event);
    }
    void wheelEvent(QGraphicsSceneWheelEvent* event) override
    {
        zoomAt(event->delta(), event->pos());
        event->accept();
    }

    QCursor m_closedHand;
    QCursor m_openHand;
};
