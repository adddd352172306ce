#include "widgets/iconlineedit.h"

#include "widgets/icontextlabel.h"

#include <QHBoxLayout>

IconLineEdit::IconLineEdit(QWidget* parent)
    : QLineEdit(parent)
{
    build();
}

IconLineEdit::IconLineEdit(const QString& text, QWidget* parent)
    : QLineEdit(text, parent)
{
    build();
}

void IconLineEdit::build()
{
    m_lay1 = new QHBoxLayout(this);
    m_lay1->setObjectName("m_lay1");
    m_lay1->setContentsMargins(0, 0, 0, 0);
    m_lay1->setSpacing(4);
    m_lay1->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
}

IconTextLabel* IconLineEdit::addTag(const IconTextLabelData& data)
{
    auto* label = new IconTextLabel(this);
    label->setInfo(data);
    labels.append(label);
    m_lay1->insertWidget(labels.size() - 1, label);
    return label;
}

void IconLineEdit::setTags(const QList<IconTextLabelData>& tags)
{
    clearTag();
    for (const IconTextLabelData& data : tags)
        addTag(data);
    setText(labels.isEmpty() ? QString() : QString(" "));
}

void IconLineEdit::getTags(QList<IconTextLabelData>& tags) const
{
    for (IconTextLabel* label : labels)
        tags.append(IconTextLabelData(label->getIcon(), label->getTextTag(), label->getButtonIcon(),
            label->getShowButton(), label->getUserData()));
}

void IconLineEdit::clearTag()
{
    for (IconTextLabel* label : qAsConst(labels)) {
        m_lay1->removeWidget(label);
        label->hide();
        label->deleteLater();
    }
    labels.clear();
    setText(QString());
}
