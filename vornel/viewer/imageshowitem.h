#pragma once

#include "grid/iteminfo.h"
#include "viewer/handitem.h"

#include <QGraphicsPixmapItem>

#include <memory>

class ReducedImage;

// A still image on the canvas, dragged with the hand cursors and zoomed by the wheel. It never decodes: it shows the
// item's full image, or until that comes the item's largest thumbnail stretched to the picture's size. Shown smaller
// than its pixels, the full image is drawn from a smoothly reduced copy once that is made.
class ImageShowItem : public HandItem<QGraphicsPixmapItem> {
public:
    explicit ImageShowItem(QGraphicsItem* parent = nullptr);
    ~ImageShowItem() override;

    // -1 for an empty pointer, else 0 (an unreadable file leaves the pixmap empty). Asks the item for its full image
    // when it does not hold it yet, and keeps it pinned while shown.
    int load(const ItemInfoPtr& info);
    // Takes what the shown item holds now; true when the picture's size changed.
    bool refresh();
    // Whether a thumbnail stands in for the full image.
    bool showsThumbnail() const { return m_standIn; }
    // The reduced copy of the full image (its scale is copyScale()).
    const ReducedImage& reduced() const { return *m_reduced; }
    const ItemInfoPtr& info() const { return m_info; }

    void hideItem() override;

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    // Unpins the shown item and lets it go; its last reference, if this was one, drops on the release pool.
    void release();

    ItemInfoPtr m_info;
    QSize m_size; // the picture's size as shown; a stand-in pixmap is drawn stretched to it
    bool m_standIn = false;
    std::unique_ptr<ReducedImage> m_reduced;
};
