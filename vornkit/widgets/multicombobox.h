#pragma once

#include "sys/vornkit_global.h"

#include <QComboBox>
#include <QStringList>

// A combo box for choosing several items that shows the checked items' texts joined by
// a delimiter; a click in the open list toggles the item's check mark (a bool under
// Qt::CheckStateRole) and the list stays open.
class VORNKIT_EXPORT MultiComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit MultiComboBox(QWidget* parent = nullptr);

    QString getDelimiter() const { return delimiter; }
    void setDelimiter(const QString& value) { delimiter = value; }
    // The current text split at the delimiter, empty parts skipped.
    QStringList getCurrentText();
    void setCurrentText(const QString& text);

    bool eventFilter(QObject* watched, QEvent* event) override;
    void showPopup() override;
    void hidePopup() override;

protected:
    QString getSelectText();

private:
    QString delimiter = " ";
};
