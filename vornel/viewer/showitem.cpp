#include "viewer/showitem.h"

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QPixmap>
#include <QScrollBar>
#include <QTransform>

#include <algorithm>

namespace {
constexpr double kZoomIn = 1.1;
constexpr double kZoomOut = 0.9;
constexpr double kMaxScale = 32.0;
constexpr double kMinScale = 0.01;
} // namespace

void ShowItem::hideItem()
{
    if (!item)
        return;
    item->hide();
    item->setRotation(0);
}

void ShowItem::showItem()
{
    if (item)
        item->show();
}

QSize ShowItem::itemSize() const
{
    if (!item)
        return QSize();
    const QRectF rc = item->boundingRect();
    return QSize(int(rc.width()), int(rc.height()));
}

// What the view has to hold: the item's own size turned by its rotation, so a turned image fits too.
QSize ShowItem::turnedSize() const
{
    if (!item || item->rotation() == 0)
        return itemSize();
    const QRectF rc = QTransform().rotate(item->rotation()).mapRect(item->boundingRect());
    return QSize(qRound(rc.width()), qRound(rc.height()));
}

// An item without a size (an unreadable file) or a view without area has no scale to fit.
bool ShowItem::hasArea() const
{
    if (!item || !view)
        return false;
    const QSize s = itemSize();
    return s.width() > 0 && s.height() > 0 && view->width() > 0 && view->height() > 0;
}

void ShowItem::best()
{
    if (!item || !view)
        return;
    const QSize s = turnedSize();
    const int w = view->width();
    const int h = view->height();
    if (w >= s.width() && h >= s.height())
        item->setScale(1);
    else if (hasArea())
        item->setScale(std::min(double(w) / s.width(), double(h) / s.height()));
    center();
}

void ShowItem::fit()
{
    if (!hasArea())
        return;
    const QSize s = turnedSize();
    item->setScale(std::min(double(view->width()) / s.width(), double(view->height()) / s.height()));
    center();
}

void ShowItem::original()
{
    if (!item)
        return;
    item->setScale(1);
    center();
}

void ShowItem::rotate(double angle)
{
    if (item)
        item->setRotation(item->rotation() + angle);
}

void ShowItem::center()
{
    if (!item || !view || !scene)
        return;
    QScrollBar* hs = view->horizontalScrollBar();
    QScrollBar* vs = view->verticalScrollBar();
    hs->setValue((hs->maximum() - hs->minimum()) / 2);
    vs->setValue((vs->maximum() - vs->minimum()) / 2);
    const QSize s = itemSize();
    // Scaled and rotated about its middle, the item stays centred on the scene whatever its scale and angle.
    item->setTransformOriginPoint(item->boundingRect().center());
    item->setPos((scene->width() - s.width()) * 0.5, (scene->height() - s.height()) * 0.5);
    view->centerOn(item);
}

void ShowItem::zoom(int step)
{
    if (!hasArea())
        return;
    const QPolygonF visible = item->mapFromScene(view->mapToScene(view->viewport()->rect()));
    const QPointF p = visible.boundingRect().intersected(item->boundingRect()).center();
    scaleAround(p, step >= 1);
}

void ShowItem::zoomAt(int delta, const QPointF& p)
{
    if (!hasArea())
        return;
    scaleAround(p, delta > 0);
}

void ShowItem::scaleAround(const QPointF& p, bool zoomIn)
{
    const double s = item->scale();
    if (zoomIn ? s >= kMaxScale : s <= kMinScale)
        return;
    const QPointF before = item->mapToScene(p);
    item->setScale(s * (zoomIn ? kZoomIn : kZoomOut));
    const QPointF after = item->mapToScene(p);
    item->moveBy(before.x() - after.x(), before.y() - after.y());
}

QCursor ShowItem::handCursor(bool closed)
{
    const QPixmap pix(
        closed ? QStringLiteral(":/pic/closedhandcursor.png") : QStringLiteral(":/pic/openhandcursor.png"));
    return QCursor(pix, pix.width() / 2, pix.height() / 2);
}

QString ShowItem::absolutePath(const ItemInfoPtr& info)
{
    return info ? info->fileInfo.absoluteFilePath() : QString();
}

double ShowItem::scale() const
{
    return item ? item->scale() : 1.0;
}
