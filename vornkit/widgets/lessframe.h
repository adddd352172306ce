#pragma once

#include "sys/vornkit_global.h"

#include <QEvent>
#include <QObject>
#include <QPen>
#include <QPointer>
#include <QRect>

#include <functional>
#include <initializer_list>

class QWidget;
class QWindow;

// What the three frameless window bases share: the first-event bookkeeping, the hit
// test, and moving and resizing a window that has no frame of its own.
class VORNKIT_EXPORT LessFrame : public QObject {
    Q_OBJECT
public:
    enum HitCode {
        HitNone = 0,
        HitCaption = 2,
        HitLeft = 10,
        HitRight = 11,
        HitTop = 12,
        HitTopLeft = 13,
        HitTopRight = 14,
        HitBottom = 15,
        HitBottomLeft = 16,
        HitBottomRight = 17,
    };
    enum Hook { NoHook, FirstShow, FirstShowed, FirstLayout, FirstLayouted, FirstPaint, FirstPainted };

    static constexpr QEvent::Type ShowedEvent = QEvent::Type(65500);
    static constexpr QEvent::Type LayoutedEvent = QEvent::Type(65501);
    static constexpr QEvent::Type PaintedEvent = QEvent::Type(65502);
    // Window flags of frameless mode: window, no frame, minimise and maximise buttons.
    static constexpr int LessFlags = 0xC801;
    static constexpr int RestoredMargin = 2;

    // The resize band of a point of a window of the given size: a corner or edge code, else HitNone.
    static int hitBand(const QPoint& pos, const QSize& size, int hitWidth);
    static Qt::Edges bandEdges(int code);
    static Qt::CursorShape bandCursor(int code);
    // The geometry after dragging the given edges of start by delta, kept within the size limits.
    static QRect resizedGeometry(
        const QRect& start, Qt::Edges edges, const QPoint& delta, const QSize& minSize, const QSize& maxSize);

    // The usual caption test: pos (window coordinates) lies on a shown title bar, on no child of it or on one of
    // its passive labels.
    static bool onTitleBar(
        const QWidget* wnd, const QWidget* titleBar, const QPoint& pos, std::initializer_list<const QWidget*> labels);

    LessFrame(QWidget* wnd, std::function<bool(const QPoint&)> caption);
    ~LessFrame() override;

    // Band code, HitCaption where the window's caption test accepts the point, else HitNone.
    int hitTest(const QPoint& pos) const;

    void loadLess();
    // Advances the first-event states for an event the window has handled; returns the hook to run.
    Hook firstEvent(QEvent* event);
    // Posts the follow-up event of a first Show, LayoutRequest or Paint, after its hook ran.
    void postFollowUp(Hook hook);
    // Caption presses and double clicks that no child used, state changes, a new native window.
    void afterEvent(QEvent* event);
    void paintBorder();
    void toggleMaximized();

    int wndShow() const { return m_wndShow; }
    int wndLayout() const { return m_wndLayout; }
    int wndPaint() const { return m_wndPaint; }
    int lessSet() const { return m_lessSet; }
    int hitWidth() const { return m_hitWidth; }
    void setHitWidth(int width) { m_hitWidth = width; }
    QPen& borderPen() { return m_borderPen; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum Drag { NoDrag, DragMove, DragResize };

    bool canResize() const;
    void watchWindow();
    void startMove(const QPoint& globalPos);
    void startResize(int code, const QPoint& globalPos);
    void dragTo(const QPoint& globalPos);
    void updateCursor(const QPoint& pos);
    void restoreCursor(const QPoint& pos);

    QWidget* m_wnd;
    std::function<bool(const QPoint&)> m_caption;
    int m_wndShow = 0;
    int m_wndLayout = 0;
    int m_wndPaint = 0;
    QPen m_borderPen { Qt::darkGray, 1 };
    int m_hitWidth = 6;
    int m_lessSet = 0;

    QPointer<QWindow> m_watched;
    Drag m_drag = NoDrag;
    Qt::Edges m_edges;
    QPoint m_pressGlobal;
    QRect m_startGeometry;
    bool m_swallowRelease = false;
    bool m_pendingMove = false;
    bool m_cursorSet = false;
};
