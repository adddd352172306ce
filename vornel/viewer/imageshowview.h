#pragma once

#include "grid/iteminfo.h"

#include <QGraphicsView>

class CanvasHost;
class GifShowItem;
class ImageShowItem;
class ShowItem;
class SvgShowItem;

// The viewer's canvas: one file at a time as a pixmap, a playing GIF or an SVG drawing, zoomed, rotated and dragged
// by the user.
class ImageShowView : public QGraphicsView {
    Q_OBJECT
public:
    enum Kind { KindNone = 0, KindImage = 1, KindSvg = 2, KindGif = 3 };

    explicit ImageShowView(QWidget* parent = nullptr);
    ~ImageShowView() override;

    // The window around the canvas (not owned); null leaves the manager and the view menu out of reach.
    void setHost(CanvasHost* host) { m_host = host; }
    CanvasHost* host() const { return m_host; }

    void itemBest();
    void itemCenter();
    void itemRotate(double angle);
    void itemFit();
    void itemOriginal();
    void itemZoom(int step);
    // Shows the current file in the file manager.
    void filePos();
    // Hides all three items; the current one stays recorded.
    void hideAll();
    // Brings the manager window forward with the shown file.
    void showPicMgr(bool hideViewer);

    int kind() const { return m_kind; }
    ShowItem* currentItem() const { return m_current; }
    // The current item's scale, 1 without one.
    double scale() const;

    // How the current item follows the canvas's size: fitted again on every resize as best or fit did it, until the
    // user zooms or asks for scale 1.
    enum class Fitting { None, Best, Fit };
    Fitting fitting() const { return m_fitting; }

signals:
    void scaleChanged(double scale);
    void imageChanged(ItemInfoPtr info);

public slots:
    void onShowImage(ItemInfoPtr info);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The shown still image's item has more than before (its full image, or a thumbnail to stand in for it).
    void onImageArrived(const ItemInfo* info);
    // Best or fit again as the fitting says, and the new scale told.
    void refit();

    CanvasHost* m_host = nullptr;
    QGraphicsScene* m_scene = nullptr;
    int m_kind = KindNone;
    ShowItem* m_current = nullptr;
    Fitting m_fitting = Fitting::None;
    ImageShowItem* m_image = nullptr; // the three items belong to the scene
    SvgShowItem* m_svg = nullptr;
    GifShowItem* m_gif = nullptr;
    QList<QMetaObject::Connection> m_imageWatch; // the shown still image's item
};
