#pragma once

#include "sys/vornkit_global.h"

#include <QAbstractSlider>
#include <QPixmap>

// A star rating: range 0 to 5 by default, one star per step. A click on a star sets the
// rating to it, a click on the star of the current rating (or before the first star)
// sets it to 0; the arrow, Home, End and page keys step it as on a slider.
class VORNKIT_EXPORT QxtStars : public QAbstractSlider {
    Q_OBJECT
public:
    explicit QxtStars(QWidget* parent = nullptr);

    // Where a star of the given number (1 for the first) is painted.
    QRect starRect(int star) const;
    // The number of the star at a point, 0 when the point is on none.
    int starAt(const QPoint& pos) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int starCount() const;
    int starSize() const;

    QPixmap m_on;
    QPixmap m_off;
};
