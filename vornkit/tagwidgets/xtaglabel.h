#pragma once

#include "sys/vornkit_global.h"

#include <QLabel>
#include <QPen>

class XCloseButton;

// One tag chip: a text (shown as plain text) or a colour swatch, with an optional close
// button in its top-right corner. A left click on the chip reports sign_tag_clicked, a
// click on the close button sign_close_clicked.
class VORNKIT_EXPORT XTagLabel : public QLabel {
    Q_OBJECT
public:
    static constexpr int SwatchWidth = 48;
    static constexpr int SwatchHeight = 20;

    explicit XTagLabel(QWidget* parent = nullptr);
    XTagLabel(bool showClose, QWidget* parent);
    explicit XTagLabel(const QString& text, QWidget* parent = nullptr);
    XTagLabel(const QString& text, bool showClose, QWidget* parent);

    const QPen& getPen() const { return hoverPen; }
    void setPen(const QPen& pen) { hoverPen = pen; }
    uint getRgb() const { return rgb; }
    bool isRgb() const { return rgbChip; }
    bool getShowClose() const { return closeButton != nullptr; }
    void setShowClose(bool show);
    // Makes the chip a swatch of the colour 0xAARRGGBB.
    void setRgb(uint value);
    void setRgb(int red, int green, int blue);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void sign_close_clicked(XTagLabel* ctl);
    void sign_tag_clicked(XTagLabel* ctl);

public slots:
    void slot_close_clicked(bool checked);

protected:
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createClose();
    void placeClose();
    QSize chipSize(const QSize& labelHint) const;

    QPen hoverPen { Qt::black, 1 };
    bool hover = false;
    XCloseButton* closeButton = nullptr;
    bool rgbChip = false;
    uint rgb = 0;
};
