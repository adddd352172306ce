#include "viewer/imageshowview.h"

#include "app/windows.h"
#include "sys/fileutil.h"
#include "viewer/canvashost.h"
#include "viewer/gifshowitem.h"
#include "viewer/imageshowitem.h"
#include "viewer/svgshowitem.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMenu>
#include <QWheelEvent>

static void initCanvasResources()
{
    Q_INIT_RESOURCE(canvas);
}

ImageShowView::ImageShowView(QWidget* parent)
    : QGraphicsView(parent)
{
    initCanvasResources();
    setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A resized canvas keeps what was in its middle there.
    setResizeAnchor(QGraphicsView::AnchorViewCenter);

    m_scene = new QGraphicsScene(this);
    m_scene->setSceneRect(0, 0, 20000, 20000);
    setScene(m_scene);

    m_image = new ImageShowItem();
    m_svg = new SvgShowItem();
    m_gif = new GifShowItem();
    const QList<ShowItem*> items { m_image, m_svg, m_gif };
    for (ShowItem* s : items) {
        s->view = this;
        s->scene = m_scene;
        s->item->hide();
        m_scene->addItem(s->item);
    }
    for (ShowItem* s : items)
        s->center();
    show();
}

ImageShowView::~ImageShowView() = default;

double ImageShowView::scale() const
{
    return m_current ? m_current->scale() : 1.0;
}

void ImageShowView::onShowImage(ItemInfoPtr info)
{
    if (!info)
        return;
    for (const QMetaObject::Connection& c : qAsConst(m_imageWatch))
        disconnect(c);
    m_imageWatch.clear();
    const QString suffix = info->fileInfo.suffix();
    if (m_kind == KindNone) {
        m_image->hideItem();
        m_svg->hideItem();
        m_gif->hideItem();
    } else if (m_current) {
        m_current->hideItem();
    }

    if (suffix.compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0) {
        m_svg->load(info);
        m_current = m_svg;
        m_kind = KindSvg;
    } else if (suffix.compare(QLatin1String("gif"), Qt::CaseInsensitive) == 0) {
        m_gif->load(info);
        m_current = m_gif;
        m_kind = KindGif;
    } else {
        // Shown at once from what the item holds; the full image is swapped in when it arrives.
        const ItemInfo* item = info.data();
        for (auto signal : { &ItemInfo::fullImageLoaded, &ItemInfo::cacheLoaded })
            m_imageWatch << connect(item, signal, this, [this, item] { onImageArrived(item); });
        m_image->load(info);
        m_current = m_image;
        m_kind = KindImage;
    }
    m_current->showItem();
    m_current->best();
    emit scaleChanged(m_current->scale());
    emit imageChanged(info);
}

void ImageShowView::onImageArrived(const ItemInfo* info)
{
    if (m_current != m_image || m_image->info().data() != info || !m_image->isVisible())
        return;
    if (!m_image->showsThumbnail() && !m_image->pixmap().isNull())
        return; // the full image is already shown
    // The same size keeps the user's zoom, turn and place; a new one is fitted again.
    if (m_image->refresh())
        itemBest();
}

void ImageShowView::itemBest()
{
    if (!m_current)
        return;
    m_current->best();
    emit scaleChanged(m_current->scale());
}

void ImageShowView::itemCenter()
{
    if (m_current)
        m_current->center();
}

void ImageShowView::itemRotate(double angle)
{
    if (m_current)
        m_current->rotate(angle);
}

void ImageShowView::itemFit()
{
    if (!m_current)
        return;
    m_current->fit();
    emit scaleChanged(m_current->scale());
}

void ImageShowView::itemOriginal()
{
    if (!m_current)
        return;
    m_current->original();
    emit scaleChanged(m_current->scale());
}

void ImageShowView::itemZoom(int step)
{
    if (!m_current)
        return;
    m_current->zoom(step);
    emit scaleChanged(m_current->scale());
}

void ImageShowView::filePos()
{
    if (m_current && !m_current->filePath.isEmpty())
        explorerFilePos(m_current->filePath);
}

void ImageShowView::hideAll()
{
    m_image->hideItem();
    m_svg->hideItem();
    m_gif->hideItem();
}

void ImageShowView::showPicMgr(bool hideViewer)
{
    CanvasManager* manager = m_host ? m_host->manager() : nullptr;
    if (!manager)
        return;
    if (hideViewer)
        m_host->viewerWidget()->hide();
    // A minimised manager comes back as it was, normal or maximised.
    bringForward(manager->managerWidget());

    if (!m_current || m_current->filePath.isEmpty())
        return;
    const QString path = m_current->filePath;
    if (manager->isCurrentPath(path)) {
        manager->selectFile(path);
    } else {
        QLinkedList<ItemInfoPtr> items;
        m_host->getItems(items);
        manager->loadItems(items, path);
    }
}

void ImageShowView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!itemAt(event->pos()))
        showPicMgr(false);
    QGraphicsView::mouseDoubleClickEvent(event);
}

void ImageShowView::wheelEvent(QWheelEvent* event)
{
    if (itemAt(event->position().toPoint())) {
        QGraphicsView::wheelEvent(event);
        emit scaleChanged(scale());
        return;
    }
    const int delta = event->angleDelta().y();
    if (m_current && delta != 0) {
        m_current->zoom(delta);
        emit scaleChanged(m_current->scale());
    }
    event->accept();
}

void ImageShowView::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
}

void ImageShowView::contextMenuEvent(QContextMenuEvent* event)
{
    if (!itemAt(event->pos())) {
        if (QMenu* menu = m_host ? m_host->viewMenu() : nullptr)
            menu->popup(QCursor::pos());
    }
    QGraphicsView::contextMenuEvent(event);
}
