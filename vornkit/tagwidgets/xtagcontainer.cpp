#include "tagwidgets/xtagcontainer.h"

#include "tagwidgets/xtaglabel.h"

XTagContainer::XTagContainer(QWidget* parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
}

bool XTagContainer::addTag(QString text, bool showClose)
{
    ctrls.append(takeCtrl(text, showClose));
    return true;
}

bool XTagContainer::addTag(const QStringList& texts, bool showClose)
{
    for (const QString& text : texts)
        addTag(text, showClose);
    return true;
}

bool XTagContainer::addColor(uint rgb, bool showClose)
{
    ctrls.append(takeCtrl(rgb, showClose));
    return true;
}

bool XTagContainer::addColor(const QStringList& rgbs, bool showClose)
{
    for (const QString& text : rgbs) {
        bool ok = false;
        const uint rgb = text.trimmed().toUInt(&ok);
        if (ok)
            addColor(rgb, showClose);
    }
    return true;
}

bool XTagContainer::setTag(const QStringList& texts, bool showClose)
{
    hideAllCtrl();
    return addTag(texts, showClose);
}

bool XTagContainer::setColor(const QList<uint>& rgbs, bool showClose)
{
    hideAllCtrl();
    for (uint rgb : rgbs)
        addColor(rgb, showClose);
    return true;
}

bool XTagContainer::delTag(XTagLabel* ctl)
{
    if (!ctl || !ctrls.removeOne(ctl))
        return false;
    ctl->hide();
    spares.append(ctl);
    return true;
}

bool XTagContainer::delColor(XTagLabel* ctl)
{
    return delTag(ctl);
}

XTagLabel* XTagContainer::findTag(QString text)
{
    for (XTagLabel* ctl : qAsConst(ctrls)) {
        if (ctl->text() == text)
            return ctl;
    }
    return nullptr;
}

XTagLabel* XTagContainer::findColor(uint rgb)
{
    for (XTagLabel* ctl : qAsConst(ctrls)) {
        if (ctl->getRgb() == rgb)
            return ctl;
    }
    return nullptr;
}

XTagLabel* XTagContainer::findColor(QString rgb)
{
    bool ok = false;
    const uint value = rgb.trimmed().toUInt(&ok);
    return ok ? findColor(value) : nullptr;
}

QStringList XTagContainer::getTag()
{
    QStringList texts;
    for (XTagLabel* ctl : qAsConst(ctrls))
        texts.append(ctl->text());
    return texts;
}

QList<uint> XTagContainer::getColor()
{
    QList<uint> rgbs;
    for (XTagLabel* ctl : qAsConst(ctrls))
        rgbs.append(ctl->getRgb());
    return rgbs;
}

bool XTagContainer::flowCtrl(int width, QPoint& pos, int& total)
{
    bool rowStart = true;
    bool placed = false;
    for (XTagLabel* ctl : qAsConst(ctrls)) {
        const QSize size = ctl->minimumSizeHint();
        if (!rowStart && width < pos.x() + size.width() + margin) {
            pos.ry() += size.height() + spacing;
            pos.rx() = margin;
            rowStart = true;
        }
        ctl->setGeometry(QRect(pos, size));
        ctl->show();
        pos.rx() += size.width() + spacing;
        if (rowStart)
            total += size.height() + spacing;
        rowStart = false;
        placed = true;
    }
    return placed;
}

int XTagContainer::arrangeCtrl(int width)
{
    QPoint pos(margin, margin);
    int total = margin;
    flowCtrl(width, pos, total);
    return total + margin - spacing;
}

void XTagContainer::hideAllCtrl()
{
    while (!ctrls.isEmpty()) {
        XTagLabel* ctl = ctrls.takeLast();
        ctl->hide();
        spares.append(ctl);
    }
}

XTagLabel* XTagContainer::takeSpare(bool showClose)
{
    if (!spares.isEmpty())
        return spares.takeLast();
    auto* ctl = new XTagLabel(showClose, this);
    ctl->hide();
    connect(ctl, &XTagLabel::sign_close_clicked, this, &XTagContainer::sign_close_clicked);
    connect(ctl, &XTagLabel::sign_tag_clicked, this, &XTagContainer::sign_tag_clicked);
    return ctl;
}

XTagLabel* XTagContainer::takeCtrl(QString text, bool showClose)
{
    XTagLabel* ctl = takeSpare(showClose);
    ctl->setText(text);
    return ctl;
}

XTagLabel* XTagContainer::takeCtrl(uint rgb, bool showClose)
{
    XTagLabel* ctl = takeSpare(showClose);
    ctl->setRgb(rgb);
    return ctl;
}

void XTagContainer::resizeEvent(QResizeEvent*) { }
