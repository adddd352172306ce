#pragma once

#include "grid/iteminfo.h"

#include <QCursor>
#include <QPointF>
#include <QSize>
#include <QString>

class QGraphicsItem;
class QGraphicsScene;
class QGraphicsView;

// The part every display item of the image canvas shares: where it lives and how it is sized, zoomed, rotated and
// centred in its view.
class ShowItem {
public:
    virtual ~ShowItem() = default;

    virtual void hideItem();
    virtual void showItem();

    // Scale 1 when the item fits the view, else the largest scale that fits it; then centred.
    void best();
    // The scale that fits the view, small items enlarged; then centred.
    void fit();
    void original();
    void rotate(double angle);
    void center();
    // One step around the visible centre: in for step >= 1, out otherwise.
    void zoom(int step);
    // One step around p (item coordinates): in for delta > 0, out otherwise; p stays where it is on screen.
    void zoomAt(int delta, const QPointF& p);
    double scale() const;

    QGraphicsView* view = nullptr;
    QGraphicsScene* scene = nullptr;
    QGraphicsItem* item = nullptr;
    QString filePath;

protected:
    // The item's own size, unscaled and unrotated.
    QSize itemSize() const;
    // The item's size turned by its rotation, unscaled.
    QSize turnedSize() const;
    // The hand cursors of the items, hot spot in the middle.
    static QCursor handCursor(bool closed);
    static QString absolutePath(const ItemInfoPtr& info);

private:
    bool hasArea() const;
    void scaleAround(const QPointF& p, bool zoomIn);
};
