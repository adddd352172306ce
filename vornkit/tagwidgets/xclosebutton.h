#pragma once

#include "sys/vornkit_global.h"

#include <QToolButton>

// A tool button painted with a cross (red while the mouse is over it).
class VORNKIT_EXPORT XCloseButton : public QToolButton {
    Q_OBJECT
public:
    explicit XCloseButton(QWidget* parent = nullptr);

    int shrink() const { return m_shrink; }
    void setShrink(int shrink) { m_shrink = shrink; }
    Qt::GlobalColor lineColor() const { return m_lineColor; }
    void setLineColor(Qt::GlobalColor color) { m_lineColor = color; }
    int lineWidth() const { return m_lineWidth; }
    void setLineWidth(int width) { m_lineWidth = width; }
    Qt::PenStyle lineStyle() const { return m_lineStyle; }
    void setLineStyle(Qt::PenStyle style) { m_lineStyle = style; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_shrink = 6;
    Qt::GlobalColor m_lineColor = Qt::darkGray;
    int m_lineWidth = 2;
    Qt::PenStyle m_lineStyle = Qt::SolidLine;
};
