#include "panels/imagepreview.h"

#include "dialogs/askbox.h"
#include "panels/panelvisibility.h"
#include "sys/fileutil.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QResizeEvent>

ImagePreview::ImagePreview(QWidget* parent)
    : QWidget(parent)
    , m_job([this](const Loaded& loaded) { onLoaded(loaded); })
{
    m_label = new QLabel(this);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setFrameShape(QFrame::StyledPanel);
    m_label->setFrameShadow(QFrame::Plain);
    m_label->setGeometry(0, 0, 100, 100);

    m_menu = new QMenu(this);
    m_atFileLocation = m_menu->addAction(QStringLiteral("打开文件目录"));
    m_atFileLocation->setStatusTip(m_atFileLocation->text());
    connect(m_atFileLocation, &QAction::triggered, this, &ImagePreview::slot_atFileLocation);
}

ImagePreview::~ImagePreview() = default;

QSize ImagePreview::labelBox() const
{
    return m_label->contentsRect().size().expandedTo(QSize(1, 1));
}

void ImagePreview::onLoadFile(ItemInfoPtr info)
{
    if (!info) {
        // No current picture: the label goes blank, and a decode still running is dropped when it ends.
        m_fileInfo = QFileInfo();
        m_image = QImage();
        m_fullSize = QSize();
        m_state = Shown;
        putImage();
        return;
    }
    if (isPanelHidden(this))
        return;
    m_fileInfo = info->fileInfo;
    m_state = Loading;
    startLoad();
}

void ImagePreview::startLoad()
{
    // Path and size go to the job by value: the job never looks at the widgets.
    const QString path = m_fileInfo.absoluteFilePath();
    const QSize box = labelBox();
    m_job.request([path, box] { return Loaded { path, box, ImageDecoder::decodeFileToFit(path, box) }; });
}

void ImagePreview::onLoaded(const Loaded& loaded)
{
    if (loaded.path != m_fileInfo.absoluteFilePath())
        return;
    m_image = loaded.result.image;
    m_fullSize = loaded.result.fullSize;
    m_isSvg = loaded.result.format == "svg" || loaded.result.format == "svgz";
    m_loadedBox = loaded.box;
    m_state = Shown;
    putImage();
    // The label may have grown while the picture was decoded.
    if (needsReload())
        startLoad();
}

void ImagePreview::putImage()
{
    if (m_image.isNull()) {
        m_label->clear();
        return;
    }
    const QSize box = labelBox();
    if (box.width() >= m_image.width() && box.height() >= m_image.height())
        m_label->setPixmap(QPixmap::fromImage(m_image));
    else
        m_label->setPixmap(QPixmap::fromImage(m_image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

bool ImagePreview::needsReload() const
{
    if (m_image.isNull() || m_fullSize.isEmpty())
        return false;
    const QSize box = labelBox();
    // The decoder alone knows the size it renders a drawing at; each box is asked for once.
    if (m_isSvg)
        return box != m_loadedBox;
    const QSize wanted = ImageDecoder::fitSize(m_fullSize, box);
    return wanted.width() > m_image.width() || wanted.height() > m_image.height();
}

void ImagePreview::resizeEvent(QResizeEvent* event)
{
    m_label->resize(event->size());
    if (m_state != Shown)
        return;
    putImage();
    if (needsReload())
        startLoad();
}

void ImagePreview::contextMenuEvent(QContextMenuEvent* event)
{
    m_menu->exec(event->globalPos());
    QWidget::contextMenuEvent(event);
}

void ImagePreview::slot_atFileLocation()
{
    const QString path = m_fileInfo.absoluteFilePath();
    if (path.isEmpty())
        return;
    if (!explorerFilePos(path))
        AskBox::info(this, QStringLiteral("文件不存在：\n%1").arg(path));
}
