#include "widgets/multicombobox.h"

#include "sys/fileutil.h"
#include "widgets/checkmarkdelegate.h"

#include <QAbstractItemView>
#include <QMouseEvent>
#include <QSignalBlocker>

MultiComboBox::MultiComboBox(QWidget* parent)
    : QComboBox(parent)
{
    setItemDelegate(new CheckMarkDelegate(this));
    view()->viewport()->installEventFilter(this);
}

QStringList MultiComboBox::getCurrentText()
{
    return currentText().split(delimiter, Qt::SkipEmptyParts);
}

void MultiComboBox::setCurrentText(const QString& text)
{
    ::setCurrentText(*this, text);
}

QString MultiComboBox::getSelectText()
{
    QStringList texts;
    for (int i = 0; i < count(); ++i) {
        if (!itemData(i, Qt::CheckStateRole).toBool())
            continue;
        const QString text = itemText(i).simplified();
        if (!text.isEmpty())
            texts.append(text);
    }
    return texts.join(delimiter);
}

bool MultiComboBox::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && watched == view()->viewport()) {
        const QModelIndex index = view()->indexAt(static_cast<QMouseEvent*>(event)->pos());
        if (index.isValid()) {
            const bool checked = index.data(Qt::CheckStateRole).toBool();
            view()->model()->setData(index, !checked, Qt::CheckStateRole);
            setCurrentText(getSelectText());
        }
        // Consumed, so that the list stays open.
        return true;
    }
    return QComboBox::eventFilter(watched, event);
}

void MultiComboBox::showPopup()
{
    const QStringList parts = currentText().simplified().split(delimiter, Qt::SkipEmptyParts);
    {
        const QSignalBlocker blocker(model());
        for (int i = 0; i < count(); ++i)
            setItemData(i, parts.contains(itemText(i)), Qt::CheckStateRole);
    }
    QComboBox::showPopup();
}

void MultiComboBox::hidePopup()
{
    QComboBox::hidePopup();
}
