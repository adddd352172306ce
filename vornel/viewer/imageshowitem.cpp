#include "viewer/imageshowitem.h"

#include "app/threadpools.h"
#include "grid/fullimagecache.h"
#include "task/pooljob.h"
#include "viewer/reducedimage.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QStyleOptionGraphicsItem>

#include <utility>

ImageShowItem::ImageShowItem(QGraphicsItem* parent)
    : HandItem(parent)
    , m_reduced(std::make_unique<ReducedImage>())
{
    setFlags(ItemIsMovable | ItemIsFocusable);
    setTransformationMode(Qt::SmoothTransformation);
    QObject::connect(m_reduced.get(), &ReducedImage::ready, m_reduced.get(), [this] { update(); });
}

ImageShowItem::~ImageShowItem()
{
    release();
}

int ImageShowItem::load(const ItemInfoPtr& info)
{
    if (!info)
        return -1;
    release();
    m_info = info;
    filePath = absolutePath(info);
    FullImageCache::instance().pin(info.data());
    refresh();
    if (m_standIn || pixmap().isNull())
        info->loadFullImage();
    return 0;
}

bool ImageShowItem::refresh()
{
    const QSize before = itemSize();
    const QImage full = m_info ? m_info->fullImage() : QImage();
    prepareGeometryChange();
    if (!full.isNull()) {
        m_standIn = false;
        m_size = full.size();
        m_reduced->setSource(full);
        // Shares the image's pixels: it comes ready to paint.
        setPixmap(QPixmap::fromImage(full));
        return itemSize() != before;
    }
    QImage thumb;
    QSize size;
    if (m_info) {
        const QImage grid = m_info->thumbnail();
        const QImage strip = m_info->listThumbnail();
        thumb = grid.width() * qint64(grid.height()) >= strip.width() * qint64(strip.height()) ? grid : strip;
        size = m_info->imageSize();
    }
    m_reduced->clear();
    m_standIn = !thumb.isNull();
    m_size = m_standIn ? (size.isEmpty() ? thumb.size() : size) : QSize();
    setPixmap(m_standIn ? QPixmap::fromImage(thumb) : QPixmap());
    return itemSize() != before;
}

void ImageShowItem::hideItem()
{
    ShowItem::hideItem();
    release();
}

void ImageShowItem::release()
{
    m_reduced->clear();
    if (!m_info)
        return;
    FullImageCache::instance().unpin(m_info.data());
    // Its destructor waits for its jobs: never on this thread.
    if (itemReleasePool)
        runJob(itemReleasePool, [info = std::move(m_info)]() mutable { info.reset(); });
    m_info.reset();
}

QRectF ImageShowItem::boundingRect() const
{
    if (!m_standIn)
        return QGraphicsPixmapItem::boundingRect();
    return QRectF(offset(), QSizeF(m_size));
}

QPainterPath ImageShowItem::shape() const
{
    if (!m_standIn)
        return QGraphicsPixmapItem::shape();
    QPainterPath path;
    path.addRect(boundingRect());
    return path;
}

void ImageShowItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    if (!m_standIn) {
        // Drawn on screen smaller than its pixels: from the reduced copy, or the picture itself until that comes.
        const QImage copy
            = m_reduced->copyFor(QStyleOptionGraphicsItem::levelOfDetailFromTransform(painter->deviceTransform()));
        if (copy.isNull()) {
            QGraphicsPixmapItem::paint(painter, option, widget);
            return;
        }
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(QRectF(offset(), QSizeF(m_size)), copy);
        return;
    }
    painter->setRenderHint(QPainter::SmoothPixmapTransform, transformationMode() == Qt::SmoothTransformation);
    painter->drawPixmap(boundingRect(), pixmap(), QRectF(pixmap().rect()));
}
