#include "lessdialog.h"

#include "lessframe.h"

LessDialog::LessDialog(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
    , m_frame(std::make_unique<LessFrame>(this, [this](const QPoint& pos) { return hitCaption(pos); }))
{
    setContentsMargins(
        LessFrame::RestoredMargin, LessFrame::RestoredMargin, LessFrame::RestoredMargin, LessFrame::RestoredMargin);
}

LessDialog::~LessDialog() = default;

void LessDialog::loadLess()
{
    m_frame->loadLess();
}

int LessDialog::hitTest(const QPoint& pos)
{
    return m_frame->hitTest(pos);
}

bool LessDialog::hitCaption(const QPoint&)
{
    return false;
}

int LessDialog::getHitWidth() const
{
    return m_frame->hitWidth();
}

void LessDialog::setHitWidth(int width)
{
    m_frame->setHitWidth(width);
}

QPen& LessDialog::getBorderPen()
{
    return m_frame->borderPen();
}

bool LessDialog::getLessSet() const
{
    return m_frame->lessSet() != 0;
}

bool LessDialog::getWndShow() const
{
    return m_frame->wndShow() != 0;
}

bool LessDialog::getWndLayout() const
{
    return m_frame->wndLayout() != 0;
}

bool LessDialog::getWndPaint() const
{
    return m_frame->wndPaint() != 0;
}

void LessDialog::onClose()
{
    close();
}

void LessDialog::onMaximize()
{
    m_frame->toggleMaximized();
}

void LessDialog::onMinimize()
{
    showMinimized();
}

void LessDialog::firstShowEvent(QEvent*) { }

void LessDialog::firstShowedEvent(QEvent*) { }

void LessDialog::firstLayoutEvent(QEvent*) { }

void LessDialog::firstLayoutedEvent(QEvent*) { }

void LessDialog::firstPaintEvent(QEvent*) { }

void LessDialog::firstPaintedEvent(QEvent*) { }

bool LessDialog::event(QEvent* event)
{
    const bool result = QDialog::event(event);
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

void LessDialog::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    m_frame->paintBorder();
}
