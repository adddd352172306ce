#include "tagwidgets/xalltagcontainer.h"

#include "tagwidgets/xaddbutton.h"
#include "tagwidgets/xtaglabel.h"

XAllTagContainer::XAllTagContainer(QWidget* parent)
    : XTagContainer(parent)
    , m_addButton(new XAddButton(this))
{
    m_addButton->setGeometry(0, 0, 24, 20);
    m_addButton->setAutoRaise(true);
    connect(m_addButton, &XAddButton::clicked, this, &XAllTagContainer::sign_add_clicked);
}

int XAllTagContainer::arrangeCtrl(int width)
{
    QPoint pos(margin, margin);
    int total = margin;
    if (flowCtrl(width, pos, total)) {
        pos.ry() += ctrls.first()->minimumSizeHint().height() + spacing;
        pos.rx() = margin;
    }
    m_addButton->move(pos);
    m_addButton->show();
    return total + m_addButton->height() + margin;
}
