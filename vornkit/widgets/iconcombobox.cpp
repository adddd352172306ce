#include "widgets/iconcombobox.h"

#include "widgets/checkmarkdelegate.h"
#include "widgets/iconlineedit.h"

#include <QAbstractItemView>
#include <QMouseEvent>

IconComboBox::IconComboBox(QWidget* parent)
    : QComboBox(parent)
    , m_lineEdit(new IconLineEdit(this))
{
    setItemDelegate(new CheckMarkDelegate(this));
    view()->viewport()->installEventFilter(this);
    setLineEdit(m_lineEdit);
}

IconComboBox::~IconComboBox() = default;

void IconComboBox::setCurrentTags(const QList<IconTextLabelData>& tags)
{
    m_lineEdit->setTags(tags);
    emit userDataChanged();
}

void IconComboBox::getCurrentTags(QList<IconTextLabelData>& tags)
{
    m_lineEdit->getTags(tags);
}

void IconComboBox::clearCurrentTags()
{
    m_lineEdit->clearTag();
    for (int i = 0; i < count(); ++i)
        setItemData(i, false, Qt::CheckStateRole);
}

void IconComboBox::getSelectTags(QList<IconTextLabelData>& tags)
{
    for (int i = 0; i < count(); ++i) {
        if (itemData(i, Qt::CheckStateRole).toBool())
            tags.append(IconTextLabelData(itemIcon(i), itemText(i), QIcon(), false, itemData(i, Qt::UserRole)));
    }
}

bool IconComboBox::findTag(const QList<IconTextLabelData>& tags, const QString& text)
{
    for (const IconTextLabelData& tag : tags) {
        if (tag.text == text)
            return true;
    }
    return false;
}

bool IconComboBox::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && watched == view()->viewport()) {
        const QModelIndex index = view()->indexAt(static_cast<QMouseEvent*>(event)->pos());
        if (index.isValid()) {
            const bool checked = index.data(Qt::CheckStateRole).toBool();
            view()->model()->setData(index, !checked, Qt::CheckStateRole);
            QList<IconTextLabelData> tags;
            getSelectTags(tags);
            m_lineEdit->setTags(tags);
            emit userDataChanged();
        }
        // Consumed, so that the list stays open.
        return true;
    }
    return QComboBox::eventFilter(watched, event);
}

void IconComboBox::showPopup()
{
    emit beforePopupOpen();
    QList<IconTextLabelData> tags;
    m_lineEdit->getTags(tags);
    for (int i = 0; i < count(); ++i)
        setItemData(i, findTag(tags, itemText(i)), Qt::CheckStateRole);
    QComboBox::showPopup();
}

void IconComboBox::hidePopup()
{
    emit beforePopupClose();
    QComboBox::hidePopup();
}
