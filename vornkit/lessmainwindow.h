#pragma once

#include "vornkit_global.h"

#include <QMainWindow>

#include <QPen>

#include <memory>

class LessFrame;

// A frameless top-level window on QMainWindow.
// Frameless mode (loadLess) draws no frame of the window system's: the window answers
// its own hit test (resize bands along the edges, the caption where hitCaption says),
// draws a one-pixel border and offers slots for its own title-bar buttons. The hooks
// run once each: at the first Show, LayoutRequest and Paint, and again from events
// posted then (65500, 65501, 65502).
class VORNKIT_EXPORT LessMainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit LessMainWindow(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~LessMainWindow() override;

    // Switches frameless mode on, once; call before the first show.
    void loadLess();
    // The hit-test code of a point in window coordinates (see LessFrame::HitCode).
    int hitTest(const QPoint& pos);
    // True where a press should move the window; the title bar of a derived window.
    virtual bool hitCaption(const QPoint& pos);

    int getHitWidth() const;
    void setHitWidth(int width);
    // Callers may change the pen; width 0 draws no border.
    QPen& getBorderPen();
    bool getLessSet() const;
    bool getWndShow() const;
    bool getWndLayout() const;
    bool getWndPaint() const;

public slots:
    void onClose();
    void onMaximize();
    void onMinimize();

protected:
    virtual void firstShowEvent(QEvent* event);
    virtual void firstShowedEvent(QEvent* event);
    virtual void firstLayoutEvent(QEvent* event);
    virtual void firstLayoutedEvent(QEvent* event);
    virtual void firstPaintEvent(QEvent* event);
    virtual void firstPaintedEvent(QEvent* event);

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::unique_ptr<LessFrame> m_frame;
};
