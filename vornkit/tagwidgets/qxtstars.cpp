#include "tagwidgets/qxtstars.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace {
const int Spacing = 2;
const int Padding = 2;
const int PreferredStar = 20;
} // namespace

QxtStars::QxtStars(QWidget* parent)
    : QAbstractSlider(parent)
    , m_on(":/pic/staron.png")
    , m_off(":/pic/staroff.png")
{
    setRange(0, 5);
    setPageStep(1);
    setOrientation(Qt::Horizontal);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QAbstractSlider::rangeChanged, this, [this] { updateGeometry(); });
}

int QxtStars::starCount() const
{
    return qMax(0, maximum() - minimum());
}

int QxtStars::starSize() const
{
    const int across = orientation() == Qt::Horizontal ? height() : width();
    return qMax(4, across - 2 * Padding);
}

QRect QxtStars::starRect(int star) const
{
    const int size = starSize();
    const int offset = Padding + (star - 1) * (size + Spacing);
    if (orientation() == Qt::Horizontal)
        return QRect(offset, Padding, size, size);
    // Vertical: the first star at the bottom.
    return QRect(Padding, height() - offset - size, size, size);
}

int QxtStars::starAt(const QPoint& pos) const
{
    for (int star = 1; star <= starCount(); ++star) {
        // The gap after a star belongs to it, so no point between two stars is dead.
        const QRect r = starRect(star);
        const QRect hit = orientation() == Qt::Horizontal ? r.adjusted(0, -Padding, Spacing, Padding)
                                                          : r.adjusted(-Padding, -Spacing, Padding, 0);
        if (hit.contains(pos))
            return star;
    }
    return 0;
}

QSize QxtStars::sizeHint() const
{
    const int n = starCount();
    const int along = 2 * Padding + n * PreferredStar + qMax(0, n - 1) * Spacing;
    const int across = PreferredStar + 2 * Padding;
    return orientation() == Qt::Horizontal ? QSize(along, across) : QSize(across, along);
}

QSize QxtStars::minimumSizeHint() const
{
    return sizeHint();
}

void QxtStars::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const int lit = value() - minimum();
    for (int star = 1; star <= starCount(); ++star)
        painter.drawPixmap(starRect(star), star <= lit ? m_on : m_off);
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.backgroundColor = palette().color(QPalette::Window);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void QxtStars::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractSlider::mousePressEvent(event);
        return;
    }
    const int star = starAt(event->pos());
    const int current = value() - minimum();
    setValue(minimum() + (star == current ? 0 : star));
    event->accept();
}
