#include "widgets/lessframe.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>
#include <QWidget>
#include <QWindow>

#include <algorithm>

int LessFrame::hitBand(const QPoint& pos, const QSize& size, int hitWidth)
{
    const bool left = pos.x() < hitWidth;
    const bool right = pos.x() > size.width() - hitWidth;
    const bool top = pos.y() < hitWidth;
    const bool bottom = pos.y() > size.height() - hitWidth;
    if (left && top)
        return HitTopLeft;
    if (left && bottom)
        return HitBottomLeft;
    if (right && top)
        return HitTopRight;
    if (right && bottom)
        return HitBottomRight;
    if (left)
        return HitLeft;
    if (right)
        return HitRight;
    if (top)
        return HitTop;
    if (bottom)
        return HitBottom;
    return HitNone;
}

Qt::Edges LessFrame::bandEdges(int code)
{
    switch (code) {
    case HitTopLeft:
        return Qt::TopEdge | Qt::LeftEdge;
    case HitBottomLeft:
        return Qt::BottomEdge | Qt::LeftEdge;
    case HitTopRight:
        return Qt::TopEdge | Qt::RightEdge;
    case HitBottomRight:
        return Qt::BottomEdge | Qt::RightEdge;
    case HitLeft:
        return Qt::LeftEdge;
    case HitRight:
        return Qt::RightEdge;
    case HitTop:
        return Qt::TopEdge;
    case HitBottom:
        return Qt::BottomEdge;
    default:
        return {};
    }
}

Qt::CursorShape LessFrame::bandCursor(int code)
{
    switch (code) {
    case HitTopLeft:
    case HitBottomRight:
        return Qt::SizeFDiagCursor;
    case HitTopRight:
    case HitBottomLeft:
        return Qt::SizeBDiagCursor;
    case HitLeft:
    case HitRight:
        return Qt::SizeHorCursor;
    case HitTop:
    case HitBottom:
        return Qt::SizeVerCursor;
    default:
        return Qt::ArrowCursor;
    }
}

QRect LessFrame::resizedGeometry(
    const QRect& start, Qt::Edges edges, const QPoint& delta, const QSize& minSize, const QSize& maxSize)
{
    const int minW = qMax(1, minSize.width());
    const int minH = qMax(1, minSize.height());
    const int maxW = qMax(minW, maxSize.width());
    const int maxH = qMax(minH, maxSize.height());
    QRect r = start;
    if (edges & Qt::LeftEdge)
        r.setLeft(qBound(start.right() + 1 - maxW, start.left() + delta.x(), start.right() + 1 - minW));
    else if (edges & Qt::RightEdge)
        r.setRight(qBound(start.left() - 1 + minW, start.right() + delta.x(), start.left() - 1 + maxW));
    if (edges & Qt::TopEdge)
        r.setTop(qBound(start.bottom() + 1 - maxH, start.top() + delta.y(), start.bottom() + 1 - minH));
    else if (edges & Qt::BottomEdge)
        r.setBottom(qBound(start.top() - 1 + minH, start.bottom() + delta.y(), start.top() - 1 + maxH));
    return r;
}

bool LessFrame::onTitleBar(
    const QWidget* wnd, const QWidget* titleBar, const QPoint& pos, std::initializer_list<const QWidget*> labels)
{
    if (titleBar->isHidden())
        return false;
    const QPoint p = titleBar->mapFrom(wnd, pos);
    if (!titleBar->rect().contains(p))
        return false;
    const QWidget* child = titleBar->childAt(p);
    return !child || std::find(labels.begin(), labels.end(), child) != labels.end();
}

LessFrame::LessFrame(QWidget* wnd, std::function<bool(const QPoint&)> caption)
    : m_wnd(wnd)
    , m_caption(std::move(caption))
{
}

LessFrame::~LessFrame()
{
    if (m_watched)
        m_watched->removeEventFilter(this);
}

int LessFrame::hitTest(const QPoint& pos) const
{
    const int band = hitBand(pos, m_wnd->size(), m_hitWidth);
    if (band != HitNone)
        return band;
    return m_caption && m_caption(pos) ? HitCaption : HitNone;
}

void LessFrame::loadLess()
{
    if (m_lessSet > 0)
        return;
    m_lessSet = 1;
    m_wnd->setWindowFlags(Qt::WindowFlags(LessFlags));
    m_wnd->winId();
    watchWindow();
}

LessFrame::Hook LessFrame::firstEvent(QEvent* event)
{
    const QEvent::Type type = event->type();
    if (m_wndShow == 0 && type == QEvent::Show) {
        m_wndShow = 1;
        return FirstShow;
    }
    if (m_wndLayout == 0 && type == QEvent::LayoutRequest) {
        m_wndLayout = 1;
        return FirstLayout;
    }
    if (m_wndPaint == 0 && type == QEvent::Paint) {
        m_wndPaint = 1;
        return FirstPaint;
    }
    if (m_wndShow == 1 && type == ShowedEvent) {
        m_wndShow = 2;
        return FirstShowed;
    }
    if (m_wndLayout == 1 && type == LayoutedEvent) {
        m_wndLayout = 2;
        return FirstLayouted;
    }
    if (m_wndPaint == 1 && type == PaintedEvent) {
        m_wndPaint = 2;
        return FirstPainted;
    }
    return NoHook;
}

void LessFrame::postFollowUp(Hook hook)
{
    QEvent::Type type;
    switch (hook) {
    case FirstShow:
        type = ShowedEvent;
        break;
    case FirstLayout:
        type = LayoutedEvent;
        break;
    case FirstPaint:
        type = PaintedEvent;
        break;
    default:
        return;
    }
    QCoreApplication::postEvent(m_wnd, new QEvent(type), Qt::NormalEventPriority);
}

void LessFrame::afterEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (!m_lessSet || me->button() != Qt::LeftButton || me->isAccepted())
            return;
        if (hitTest(me->pos()) != HitCaption)
            return;
        me->accept();
        if (event->type() == QEvent::MouseButtonPress) {
            // The move starts once the mouse has left the double-click distance, so that a double click
            // still reaches the window (a window manager's move would take the second press).
            m_pendingMove = !(m_wnd->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
            m_pressGlobal = me->globalPos();
        } else {
            toggleMaximized();
        }
        break;
    }
    case QEvent::WindowStateChange:
        if (m_lessSet) {
            const bool full = m_wnd->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen);
            const int m = full ? 0 : RestoredMargin;
            m_wnd->setContentsMargins(m, m, m, m);
        }
        break;
    case QEvent::Show:
    case QEvent::WinIdChange:
        if (m_lessSet)
            watchWindow();
        break;
    default:
        break;
    }
}

void LessFrame::paintBorder()
{
    if (m_borderPen.width() <= 0)
        return;
    QPainter painter(m_wnd);
    painter.setPen(m_borderPen);
    painter.drawRect(m_wnd->rect().adjusted(0, 0, -1, -1));
}

void LessFrame::toggleMaximized()
{
    m_drag = NoDrag;
    m_pendingMove = false;
    if (m_wnd->isMaximized())
        m_wnd->showNormal();
    else
        m_wnd->showMaximized();
}

bool LessFrame::canResize() const
{
    if (!m_lessSet || m_wnd->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))
        return false;
    return m_wnd->minimumSize() != m_wnd->maximumSize();
}

void LessFrame::watchWindow()
{
    QWindow* handle = m_wnd->windowHandle();
    if (handle == m_watched)
        return;
    if (m_watched)
        m_watched->removeEventFilter(this);
    m_watched = handle;
    if (handle)
        handle->installEventFilter(this);
}

void LessFrame::startMove(const QPoint& globalPos)
{
    m_pendingMove = false;
    QWindow* handle = m_wnd->windowHandle();
    if (handle && handle->startSystemMove())
        return;
    // Moved by the mouse from the press on; the first step catches up at once.
    m_drag = DragMove;
    m_startGeometry = m_wnd->geometry();
    dragTo(globalPos);
}

void LessFrame::startResize(int code, const QPoint& globalPos)
{
    const Qt::Edges edges = bandEdges(code);
    QWindow* handle = m_wnd->windowHandle();
    if (handle && handle->startSystemResize(edges))
        return;
    m_drag = DragResize;
    m_edges = edges;
    m_pressGlobal = globalPos;
    m_startGeometry = m_wnd->geometry();
}

void LessFrame::dragTo(const QPoint& globalPos)
{
    const QPoint delta = globalPos - m_pressGlobal;
    if (m_drag == DragMove)
        m_wnd->move(m_startGeometry.topLeft() + delta);
    else if (m_drag == DragResize)
        m_wnd->setGeometry(
            resizedGeometry(m_startGeometry, m_edges, delta, m_wnd->minimumSize(), m_wnd->maximumSize()));
}

void LessFrame::updateCursor(const QPoint& pos)
{
    const int band = canResize() ? hitBand(pos, m_wnd->size(), m_hitWidth) : HitNone;
    if (band == HitNone) {
        restoreCursor(pos);
        return;
    }
    const Qt::CursorShape shape = bandCursor(band);
    if (!m_cursorSet || m_watched->cursor().shape() != shape)
        m_watched->setCursor(shape);
    m_cursorSet = true;
}

void LessFrame::restoreCursor(const QPoint& pos)
{
    if (!m_cursorSet)
        return;
    m_cursorSet = false;
    QWidget* under = m_wnd->childAt(pos);
    m_watched->setCursor(under ? under->cursor() : m_wnd->cursor());
}

bool LessFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_watched)
        return false;
    switch (event->type()) {
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (m_pendingMove) {
            if (!(me->buttons() & Qt::LeftButton)) {
                m_pendingMove = false;
            } else if ((me->globalPos() - m_pressGlobal).manhattanLength()
                > QGuiApplication::styleHints()->mouseDoubleClickDistance()) {
                startMove(me->globalPos());
                if (m_drag == NoDrag)
                    return true;
            }
        }
        if (m_drag != NoDrag) {
            if (me->buttons() & Qt::LeftButton) {
                dragTo(me->globalPos());
                return true;
            }
            m_drag = NoDrag;
        }
        if (me->buttons() != Qt::NoButton)
            break;
        // Widgets set their own cursors while the move is dispatched: set the band's after them.
        const QPoint pos = me->pos();
        QPointer<LessFrame> self(this);
        watched->event(event);
        if (self && m_watched)
            updateCursor(pos);
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() != Qt::LeftButton || !canResize())
            break;
        const int band = hitBand(me->pos(), m_wnd->size(), m_hitWidth);
        if (band == HitNone)
            break;
        m_swallowRelease = true;
        if (event->type() == QEvent::MouseButtonPress)
            startResize(band, me->globalPos());
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() != Qt::LeftButton)
            break;
        m_drag = NoDrag;
        m_pendingMove = false;
        if (m_swallowRelease) {
            m_swallowRelease = false;
            return true;
        }
        break;
    }
    case QEvent::Leave:
        if (m_drag == NoDrag && m_cursorSet) {
            m_cursorSet = false;
            m_watched->setCursor(m_wnd->cursor());
        }
        break;
    default:
        break;
    }
    return false;
}
