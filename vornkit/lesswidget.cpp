#include "lesswidget.h"

#include "lessframe.h"

LessWidget::LessWidget(QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags)
    , m_frame(std::make_unique<LessFrame>(this, [this](const QPoint& pos) { return hitCaption(pos); }))
{
    setContentsMargins(
        LessFrame::RestoredMargin, LessFrame::RestoredMargin, LessFrame::RestoredMargin, LessFrame::RestoredMargin);
}

LessWidget::~LessWidget() = default;

void LessWidget::loadLess()
{
    m_frame->loadLess();
}

int LessWidget::hitTest(const QPoint& pos)
{
    return m_frame->hitTest(pos);
}

bool LessWidget::hitCaption(const QPoint&)
{
    return false;
}

int LessWidget::getHitWidth() const
{
    return m_frame->hitWidth();
}

void LessWidget::setHitWidth(int width)
{
    m_frame->setHitWidth(width);
}

QPen& LessWidget::getBorderPen()
{
    return m_frame->borderPen();
}

bool LessWidget::getLessSet() const
{
    return m_frame->lessSet() != 0;
}

bool LessWidget::getWndShow() const
{
    return m_frame->wndShow() != 0;
}

bool LessWidget::getWndLayout() const
{
    return m_frame->wndLayout() != 0;
}

bool LessWidget::getWndPaint() const
{
    return m_frame->wndPaint() != 0;
}

void LessWidget::onClose()
{
    close();
}

void LessWidget::onMaximize()
{
    m_frame->toggleMaximized();
}

void LessWidget::onMinimize()
{
    showMinimized();
}

void LessWidget::firstShowEvent(QEvent*) { }

void LessWidget::firstShowedEvent(QEvent*) { }

void LessWidget::firstLayoutEvent(QEvent*) { }

void LessWidget::firstLayoutedEvent(QEvent*) { }

void LessWidget::firstPaintEvent(QEvent*) { }

void LessWidget::firstPaintedEvent(QEvent*) { }

bool LessWidget::event(QEvent* event)
{
    const bool result = QWidget::event(event);
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

void LessWidget::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    m_frame->paintBorder();
}
