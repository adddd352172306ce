#pragma once

#include "sys/vornkit_global.h"

#include <QToolButton>

// A tool button painted with a plus sign (blue while the mouse is over it).
class VORNKIT_EXPORT XAddButton : public QToolButton {
    Q_OBJECT
public:
    explicit XAddButton(QWidget* parent = nullptr);

    int getHSpace() const { return hSpace; }
    void setHSpace(int space) { hSpace = space; }
    int getVSpace() const { return vSpace; }
    void setVSpace(int space) { vSpace = space; }
    Qt::GlobalColor getLineColor() const { return lineColor; }
    void setLineColor(Qt::GlobalColor color) { lineColor = color; }
    int getLineWidth() const { return lineWidth; }
    void setLineWidth(int width) { lineWidth = width; }
    Qt::PenStyle getLineStyle() const { return lineStyle; }
    void setLineStyle(Qt::PenStyle style) { lineStyle = style; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int hSpace = 8;
    int vSpace = 6;
    Qt::GlobalColor lineColor = Qt::darkGray;
    int lineWidth = 2;
    Qt::PenStyle lineStyle = Qt::SolidLine;
};
