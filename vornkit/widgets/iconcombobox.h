#pragma once

#include "sys/vornkit_global.h"

#include "widgets/icontextlabeldata.h"

#include <QComboBox>
#include <QList>

class IconLineEdit;

// A combo box for choosing several items: each click in the open list toggles the item's
// check mark (a bool under Qt::CheckStateRole) and the list stays open; the edit field
// shows the checked items as icon-and-text chips carrying each item's Qt::UserRole data.
class VORNKIT_EXPORT IconComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit IconComboBox(QWidget* parent = nullptr);
    ~IconComboBox() override;

    QString getDelimiter() const { return delimiter; }
    void setDelimiter(const QString& value) { delimiter = value; }
    IconLineEdit* iconLineEdit() const { return m_lineEdit; }

    // Replaces the chips and emits userDataChanged.
    void setCurrentTags(const QList<IconTextLabelData>& tags);
    // Appends the chips' data, in chip order.
    void getCurrentTags(QList<IconTextLabelData>& tags);
    // Removes the chips and every check mark; emits nothing.
    void clearCurrentTags();

    bool eventFilter(QObject* watched, QEvent* event) override;
    void showPopup() override;
    void hidePopup() override;

signals:
    void beforePopupOpen();
    void beforePopupClose();
    void userDataChanged();

protected:
    void getSelectTags(QList<IconTextLabelData>& tags);
    bool findTag(const QList<IconTextLabelData>& tags, const QString& text);

private:
    QString delimiter;
    IconLineEdit* m_lineEdit;
};
