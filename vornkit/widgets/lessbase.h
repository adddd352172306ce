#pragma once

#include "widgets/lessframe.h"

#include <QEvent>
#include <QPen>
#include <QPoint>
#include <QWidget>

#include <memory>

// A frameless top-level window on any QWidget class (QWidget, QMainWindow, QDialog).
// Frameless mode (loadLess) draws no frame of the window system's: the window answers
// its own hit test (resize bands along the edges, the caption where hitCaption says),
// draws a one-pixel border and offers its own title-bar actions. The hooks run once each:
// at the first Show, LayoutRequest and Paint, and again from events posted then
// (65500, 65501, 65502).
template <class Base> class LessBase : public Base {
public:
    explicit LessBase(QWidget* parent, Qt::WindowFlags flags)
        : Base(parent, flags)
        , m_frame(std::make_unique<LessFrame>(this, [this](const QPoint& pos) { return hitCaption(pos); }))
    {
        const int m = LessFrame::RestoredMargin;
        this->setContentsMargins(m, m, m, m);
    }

    // Switches frameless mode on, once; call before the first show.
    void loadLess() { m_frame->loadLess(); }
    // The hit-test code of a point in window coordinates (see LessFrame::HitCode).
    int hitTest(const QPoint& pos) { return m_frame->hitTest(pos); }
    // True where a press should move the window; the title bar of a derived window.
    virtual bool hitCaption(const QPoint&) { return false; }

    int getHitWidth() const { return m_frame->hitWidth(); }
    void setHitWidth(int width) { m_frame->setHitWidth(width); }
    // Callers may change the pen; width 0 draws no border.
    QPen& getBorderPen() { return m_frame->borderPen(); }
    bool getLessSet() const { return m_frame->lessSet() != 0; }
    bool getWndShow() const { return m_frame->wndShow() != 0; }
    bool getWndLayout() const { return m_frame->wndLayout() != 0; }
    bool getWndPaint() const { return m_frame->wndPaint() != 0; }

    // Maximises the window, or restores it when maximised. Each window class offers it, with close and minimise,
    // as the slots of its title bar (onClose, onMaximize, onMinimize): a class template can hold no slots.
    void toggleMaximized() { m_frame->toggleMaximized(); }

protected:
    virtual void firstShowEvent(QEvent*) { }
    virtual void firstShowedEvent(QEvent*) { }
    virtual void firstLayoutEvent(QEvent*) { }
    virtual void firstLayoutedEvent(QEvent*) { }
    virtual void firstPaintEvent(QEvent*) { }
    virtual void firstPaintedEvent(QEvent*) { }

    bool event(QEvent* event) override
    {
        // A deferred delete ends with this object gone: nothing of it may be touched afterwards.
        if (event->type() == QEvent::DeferredDelete)
            return Base::event(event);
        const bool result = Base::event(event);
        const LessFrame::Hook hook = m_frame->firstEvent(event);
        switch (hook) {
        case LessFrame::FirstShow:
            firstShowEvent(event);
            break;
        case LessFrame::FirstShowed:
            firstShowedEvent(event);
            break;
        case LessFrame::FirstLayout:
            firstLayoutEvent(event);
            break;
        case LessFrame::FirstLayouted:
            firstLayoutedEvent(event);
            break;
        case LessFrame::FirstPaint:
            firstPaintEvent(event);
            break;
        case LessFrame::FirstPainted:
            firstPaintedEvent(event);
            break;
        case LessFrame::NoHook:
            break;
        }
        m_frame->postFollowUp(hook);
        m_frame->afterEvent(event);
        return result;
    }

    void paintEvent(QPaintEvent* event) override
    {
        Base::paintEvent(event);
        m_frame->paintBorder();
    }

private:
    std::unique_ptr<LessFrame> m_frame;
};
