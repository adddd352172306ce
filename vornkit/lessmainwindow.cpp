#include "lessmainwindow.h"

#include "lessframe.h"

LessMainWindow::LessMainWindow(QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
    , m_frame(std::make_unique<LessFrame>(this, [this](const QPoint& pos) { return hitCaption(pos); }))
{
    setContentsMargins(
        LessFrame::RestoredMargin, LessFrame::RestoredMargin, LessFrame::RestoredMargin, LessFrame::RestoredMargin);
}

LessMainWindow::~LessMainWindow() = default;

void LessMainWindow::loadLess()
{
    m_frame->loadLess();
}

int LessMainWindow::hitTest(const QPoint& pos)
{
    return m_frame->hitTest(pos);
}

bool LessMainWindow::hitCaption(const QPoint&)
{
    return false;
}

int LessMainWindow::getHitWidth() const
{
    return m_frame->hitWidth();
}

void LessMainWindow::setHitWidth(int width)
{
    m_frame->setHitWidth(width);
}

QPen& LessMainWindow::getBorderPen()
{
    return m_frame->borderPen();
}

bool LessMainWindow::getLessSet() const
{
    return m_frame->lessSet() != 0;
}

bool LessMainWindow::getWndShow() const
{
    return m_frame->wndShow() != 0;
}

bool LessMainWindow::getWndLayout() const
{
    return m_frame->wndLayout() != 0;
}

bool LessMainWindow::getWndPaint() const
{
    return m_frame->wndPaint() != 0;
}

void LessMainWindow::onClose()
{
    close();
}

void LessMainWindow::onMaximize()
{
    m_frame->toggleMaximized();
}

void LessMainWindow::onMinimize()
{
    showMinimized();
}

void LessMainWindow::firstShowEvent(QEvent*) { }

void LessMainWindow::firstShowedEvent(QEvent*) { }

void LessMainWindow::firstLayoutEvent(QEvent*) { }

void LessMainWindow::firstLayoutedEvent(QEvent*) { }

void LessMainWindow::firstPaintEvent(QEvent*) { }

void LessMainWindow::firstPaintedEvent(QEvent*) { }

bool LessMainWindow::event(QEvent* event)
{
    const bool result = QMainWindow::event(event);
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

void LessMainWindow::paintEvent(QPaintEvent* event)
{
    QMainWindow::paintEvent(event);
    m_frame->paintBorder();
}
