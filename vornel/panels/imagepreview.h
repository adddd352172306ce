#pragma once

#include "grid/iteminfo.h"
#include "meta/imagedecoder.h"
#include "panels/latestjob.h"

#include <QFileInfo>
#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>

class QAction;
class QLabel;
class QMenu;

// The preview panel: the current picture, decoded on the global pool at the size of the panel (upright, a JPEG at
// reduced scale, an SVG rendered at the panel's size) and shown centred, never enlarged unless it is an SVG.
class ImagePreview : public QWidget {
    Q_OBJECT
public:
    enum State { Loading = 0, Shown = 2 };

    explicit ImagePreview(QWidget* parent = nullptr);
    ~ImagePreview() override;

    QLabel* label() const { return m_label; }
    QMenu* menu() const { return m_menu; }
    QFileInfo fileInfo() const { return m_fileInfo; }
    // The picture as decoded for the current size; null when nothing could be decoded.
    QImage image() const { return m_image; }
    int state() const { return m_state; }
    // A decode runs or waits.
    bool isLoading() const { return m_job.isBusy(); }

public slots:
    // Shows the file in the desktop's file manager, without waiting for it.
    void slot_atFileLocation();
    // Shows the item's picture; an empty item leaves the panel blank.
    void onLoadFile(ItemInfoPtr info);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct Loaded {
        QString path;
        QSize box;
        ImageDecoder::Result result;
    };

    // The room for the picture inside the label's frame.
    QSize labelBox() const;
    void startLoad();
    void onLoaded(const Loaded& loaded);
    void putImage();
    // The held picture is too small for the label (a bitmap), or an SVG is drawn for another size.
    bool needsReload() const;

    QLabel* m_label = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_atFileLocation = nullptr;
    QFileInfo m_fileInfo;
    QImage m_image;
    QSize m_fullSize;
    // The box the held picture was decoded for.
    QSize m_loadedBox;
    bool m_isSvg = false;
    int m_state = Loading;
    LatestJob<Loaded> m_job;
};
