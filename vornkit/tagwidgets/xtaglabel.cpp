#include "tagwidgets/xtaglabel.h"

#include "tagwidgets/xclosebutton.h"

#include <QMouseEvent>
#include <QPainter>

XTagLabel::XTagLabel(QWidget* parent)
    : XTagLabel(QString(), false, parent)
{
}

XTagLabel::XTagLabel(bool showClose, QWidget* parent)
    : XTagLabel(QString(), showClose, parent)
{
}

XTagLabel::XTagLabel(const QString& text, QWidget* parent)
    : XTagLabel(text, false, parent)
{
}

XTagLabel::XTagLabel(const QString& text, bool showClose, QWidget* parent)
    : QLabel(parent)
{
    // Tag texts come from users and files: never markup.
    setTextFormat(Qt::PlainText);
    setText(text);
    if (showClose)
        createClose();
}

void XTagLabel::createClose()
{
    closeButton = new XCloseButton(this);
    closeButton->setGeometry(0, 0, 16, 16);
    closeButton->setAutoRaise(true);
    connect(closeButton, &XCloseButton::clicked, this, &XTagLabel::slot_close_clicked);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
}

void XTagLabel::setShowClose(bool show)
{
    if (!show) {
        if (closeButton) {
            // The button may be the one whose click led here.
            closeButton->hide();
            closeButton->deleteLater();
            closeButton = nullptr;
        }
        updateGeometry();
        return;
    }
    if (closeButton)
        return;
    createClose();
    placeClose();
    closeButton->show();
    updateGeometry();
}

void XTagLabel::setRgb(uint value)
{
    hoverPen = QPen(Qt::gray, 2);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    rgbChip = true;
    rgb = value;
    setStyleSheet(
        QString("QLabel{background-color:rgb(%1,%2,%3);}").arg(qRed(value)).arg(qGreen(value)).arg(qBlue(value)));
    updateGeometry();
}

void XTagLabel::setRgb(int red, int green, int blue)
{
    setRgb(0xFF000000u | uint(red & 0xFF) << 16 | uint(green & 0xFF) << 8 | uint(blue & 0xFF));
}

QSize XTagLabel::chipSize(const QSize& labelHint) const
{
    if (rgbChip)
        return QSize(SwatchWidth, SwatchHeight);
    if (closeButton)
        return QSize(labelHint.width() + closeButton->width() - 4, labelHint.height());
    return labelHint;
}

QSize XTagLabel::sizeHint() const
{
    return chipSize(QLabel::sizeHint());
}

QSize XTagLabel::minimumSizeHint() const
{
    return chipSize(QLabel::minimumSizeHint());
}

void XTagLabel::slot_close_clicked(bool)
{
    emit sign_close_clicked(this);
}

void XTagLabel::enterEvent(QEvent* event)
{
    hover = true;
    update();
    QLabel::enterEvent(event);
}

void XTagLabel::leaveEvent(QEvent* event)
{
    hover = false;
    update();
    QLabel::leaveEvent(event);
}

void XTagLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hover)
        return;
    QPainter painter(this);
    painter.setPen(hoverPen);
    QRect r = contentsRect();
    if (!rgbChip && !closeButton)
        r.adjust(0, 0, -1, -1);
    painter.drawRect(r);
}

void XTagLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit sign_tag_clicked(this);
    else
        QLabel::mouseReleaseEvent(event);
}

void XTagLabel::placeClose()
{
    if (closeButton)
        closeButton->move(width() - closeButton->width(), 0);
}

void XTagLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    placeClose();
}

void XTagLabel::showEvent(QShowEvent* event)
{
    QLabel::showEvent(event);
    placeClose();
}
