#include "viewer/standinview.h"

#include "app/threadpools.h"
#include "manager/picmgr.h"
#include "sys/fileutil.h"
#include "task/pooljob.h"
#include "viewer/imageshowview.h"

#include <QBoxLayout>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

QPointer<StandInView> StandInView::ms_instance;

StandInView* StandInView::instance()
{
    if (!ms_instance)
        ms_instance = new StandInView();
    return ms_instance;
}

StandInView* StandInView::current()
{
    return ms_instance;
}

StandInView::StandInView()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("蔚禾照片管理 - 照片查看"));
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(2, 0, 2, 2);
    lay->setSpacing(2);
    m_info = new QLabel(this);
    lay->addWidget(m_info);
    m_canvas = new ImageShowView(this);
    m_canvas->setFrameShape(QFrame::NoFrame);
    m_canvas->setHost(this);
    lay->addWidget(m_canvas, 100);

    auto* bar = new QHBoxLayout();
    bar->setSpacing(0);
    m_scale = new QLabel(QStringLiteral("  1.0"), this);
    m_scale->setFixedWidth(40);
    bar->addWidget(m_scale);
    bar->addStretch();
    auto button = [this, bar](const QString& text, auto fn) {
        auto* bt = new QToolButton(this);
        bt->setText(text);
        bt->setAutoRaise(true);
        bt->setMinimumSize(30, 30);
        connect(bt, &QToolButton::clicked, this, fn);
        bar->addWidget(bt);
    };
    button(QStringLiteral("文件位置"), [this] { m_canvas->filePos(); });
    button(QStringLiteral("居中"), [this] { m_canvas->itemCenter(); });
    button(QStringLiteral("适合"), [this] {
        m_canvas->itemFit();
        m_canvas->itemCenter();
    });
    button(QStringLiteral("原始"), [this] {
        m_canvas->itemOriginal();
        m_canvas->itemCenter();
    });
    button(QStringLiteral("放大"), [this] { m_canvas->itemZoom(1); });
    button(QStringLiteral("缩小"), [this] { m_canvas->itemZoom(-1); });
    button(QStringLiteral("向左旋转"), [this] {
        m_canvas->itemRotate(-90);
        m_canvas->itemCenter();
    });
    button(QStringLiteral("向右旋转"), [this] {
        m_canvas->itemRotate(90);
        m_canvas->itemCenter();
    });
    button(QStringLiteral("上一张"), [this] { showRow(m_row - 1); });
    button(QStringLiteral("下一张"), [this] { showRow(m_row + 1); });
    bar->addStretch();
    lay->addLayout(bar);

    connect(m_canvas, &ImageShowView::scaleChanged, this, &StandInView::onScaleChanged);
    connect(m_canvas, &ImageShowView::imageChanged, this, &StandInView::onImageChanged);
    resize(1024, 700);
}

StandInView::~StandInView()
{
    releaseItems();
}

void StandInView::releaseItems()
{
    QList<ItemInfoPtr> items;
    items.swap(m_items);
    m_row = -1;
    m_folder.clear();
    if (items.isEmpty())
        return;
    // Moved in, so that no reference stays behind on this thread.
    runJob(itemReleasePool, [items = std::move(items)]() mutable {
        while (!items.isEmpty())
            items.removeLast();
    });
}

bool StandInView::isCurrentPath(const QString& filePath)
{
    return !m_folder.isEmpty() && QFileInfo(filePath).absolutePath() == m_folder;
}

int StandInView::rowOfFile(const QString& filePath) const
{
    // Compared as text: QFileInfo's == falls back to resolving both paths on disk, item by item.
    const QString wanted = QFileInfo(filePath).absoluteFilePath();
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i)->fileInfo.absoluteFilePath() == wanted)
            return i;
    }
    return -1;
}

int StandInView::selectFile(const QString& filePath)
{
    const int row = rowOfFile(filePath);
    if (row >= 0) {
        showRow(row);
        return 0;
    }
    if (isCurrentPath(filePath))
        return -1;
    // Another folder: the file alone.
    releaseItems();
    ItemInfoPtr info(new ItemInfo());
    info->setFile(filePath);
    info->load();
    m_items << info;
    m_folder = QFileInfo(filePath).absolutePath();
    showRow(0);
    return 1;
}

int StandInView::loadItems(QLinkedList<ItemInfoPtr>& items, const QString& curFile)
{
    releaseItems();
    for (const ItemInfoPtr& info : qAsConst(items)) {
        if (info)
            m_items << info;
    }
    m_folder = QFileInfo(curFile).absolutePath();
    const int row = rowOfFile(curFile);
    if (row < 0)
        return -1;
    showRow(row);
    return 0;
}

void StandInView::getItems(QLinkedList<ItemInfoPtr>& items)
{
    for (const ItemInfoPtr& info : qAsConst(m_items))
        items << info;
}

CanvasManager* StandInView::manager()
{
    return PicMgr::instance();
}

void StandInView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The canvas has its final size only once the window is up: fit the shown image again then.
    if (!m_shown) {
        m_shown = true;
        QTimer::singleShot(0, m_canvas, &ImageShowView::itemBest);
    }
}

bool StandInView::showRow(int row)
{
    if (row < 0 || row >= m_items.size())
        return false;
    m_row = row;
    const ItemInfoPtr info = m_items.at(row);
    disconnect(m_tagWatch);
    if (info->tagReady != 1) {
        m_tagWatch = connect(info.data(), &ItemInfo::tagLoaded, this, [this, item = info.data()] {
            if (m_row >= 0 && m_row < m_items.size() && m_items.at(m_row).data() == item)
                onImageChanged(m_items.at(m_row));
        });
    }
    m_canvas->onShowImage(info);
    return true;
}

void StandInView::onScaleChanged(double scale)
{
    m_scale->setText(QStringLiteral("  ") + QString::number(scale, 'g', 6).left(4));
}

void StandInView::onImageChanged(const ItemInfoPtr& info)
{
    if (!info)
        return;
    QString name = info->fileName();
    if (name.size() > 23)
        name = name.left(20) + QStringLiteral("...");
    m_info->setText(QStringLiteral(" : %1 (%2, %3 像素)").arg(name, info->fileSizeText(), info->imageSizeText()));
}
