#include "window/imagelistwidget.h"

#include "search/likefindcfg.h"
#include "window/filemenu.h"
#include "window/imagelistdelegate.h"
#include "window/imagelistwidgetitem.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QtConcurrent>

#include <functional>

ImageListWidget::ImageListWidget(QWidget* parent)
    : QListWidget(parent)
    , m_delegate(new ImageListDelegate(this))
{
    setItemDelegate(m_delegate);
    const LikeFindCfg* cfg = LikeFindCfg::get();
    setSpacing(cfg ? cfg->layout.BorderSpace : 2);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setViewMode(QListView::IconMode);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setSelectionRectVisible(true);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTextElideMode(Qt::ElideNone);
    setFlow(QListView::LeftToRight);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMouseTracking(true);

    const FileMenu menu = buildFileMenu(this);
    m_menu = menu.menu;
    m_cut = menu.cut;
    m_copy = menu.copy;
    m_delete = menu.remove;
    connect(m_cut, &QAction::triggered, this, &ImageListWidget::onCut);
    connect(m_copy, &QAction::triggered, this, &ImageListWidget::onCopy);
    connect(m_delete, &QAction::triggered, this, &ImageListWidget::onDelete);
}

ImageListWidget::~ImageListWidget()
{
    stopLoading();
}

bool ImageListWidget::isLoading() const
{
    return m_loader != nullptr;
}

void ImageListWidget::stopLoading()
{
    if (!m_loader)
        return;
    // Decodes already running finish on their own; their pictures are no longer taken.
    m_loader->disconnect(this);
    m_loader->cancel();
    QFutureWatcher<QImage>* old = m_loader;
    m_loader = nullptr;
    connect(old, &QFutureWatcherBase::finished, old, &QObject::deleteLater);
    if (old->isFinished())
        old->deleteLater();
}

void ImageListWidget::startLoading()
{
    stopLoading();
    const LikeFindCfg* cfg = LikeFindCfg::get();
    const QSize box = cfg ? cfg->layout.imageRect.size() : QSize();
    QStringList paths;
    for (int i = 0; i < count(); ++i)
        paths << static_cast<ImageListWidgetItem*>(item(i))->path;
    if (paths.isEmpty() || box.isEmpty()) {
        emit imagesLoaded();
        return;
    }
    m_loader = new QFutureWatcher<QImage>(this);
    QFutureWatcher<QImage>* loader = m_loader;
    connect(loader, &QFutureWatcher<QImage>::resultReadyAt, this, [this, loader](int row) {
        if (auto* cell = static_cast<ImageListWidgetItem*>(item(row))) {
            if (cell->setImage(loader->resultAt(row)) == 0)
                update(indexFromItem(cell));
        }
    });
    connect(loader, &QFutureWatcher<QImage>::finished, this, [this, loader] {
        if (m_loader == loader) {
            m_loader = nullptr;
            loader->deleteLater();
            emit imagesLoaded();
        }
    });
    const std::function<QImage(const QString&)> decode
        = [box](const QString& path) { return ImageListWidgetItem::decode(path, box); };
    loader->setFuture(QtConcurrent::mapped(paths, decode));
}

void ImageListWidget::onLoadFiles(QStringList files)
{
    stopLoading();
    clear();
    for (const QString& path : files)
        addItem(new ImageListWidgetItem(path));
    startLoading();
}

void ImageListWidget::rescaleItems()
{
    for (int i = 0; i < count(); ++i) {
        auto* cell = static_cast<ImageListWidgetItem*>(item(i));
        if (!cell)
            break;
        cell->rescale();
    }
    startLoading();
}

void ImageListWidget::onSelectItem(QString file)
{
    for (int i = 0; i < count(); ++i) {
        auto* cell = static_cast<ImageListWidgetItem*>(item(i));
        // Paths compare exactly: "a.jpg" and "A.jpg" are two files here.
        if (cell->path == file)
            setCurrentItem(cell);
    }
}

QStringList ImageListWidget::selectedPaths() const
{
    QStringList paths;
    for (QListWidgetItem* i : selectedItems()) {
        const QString path = static_cast<ImageListWidgetItem*>(i)->path;
        if (!path.isEmpty())
            paths << path;
    }
    return paths;
}

void ImageListWidget::onCut()
{
    clipFiles(selectedPaths(), false);
}

void ImageListWidget::onCopy()
{
    clipFiles(selectedPaths(), true);
}

void ImageListWidget::onDelete()
{
    const QStringList paths = selectedPaths();
    if (!paths.isEmpty())
        emit trashRequested(paths);
}

void ImageListWidget::contextMenuEvent(QContextMenuEvent* event)
{
    m_menu->exec(event->globalPos());
    QAbstractScrollArea::contextMenuEvent(event);
}
