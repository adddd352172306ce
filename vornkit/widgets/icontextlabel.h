#pragma once

#include "sys/vornkit_global.h"

#include "widgets/icontextlabeldata.h"

#include <QLabel>

class QHBoxLayout;
class QToolButton;
class QVBoxLayout;

// One chip of an IconLineEdit: a 16 x 16 icon, a plain text and an optional small button.
class VORNKIT_EXPORT IconTextLabel : public QLabel {
    Q_OBJECT
public:
    explicit IconTextLabel(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    explicit IconTextLabel(const QString& text, QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

    void setInfo(const IconTextLabelData& data);
    void setIcon(const QIcon& icon);
    void setIcon(const QPixmap& pixmap);
    // An image file.
    void setIcon(const QString& file);
    QIcon getIcon() const;
    void setTextTag(const QString& text);
    QString getTextTag() const;
    // An icon file.
    void setButtonIcon(const QString& file);
    QIcon getButtonIcon() const;
    void setShowButton(bool show);
    bool getShowButton() const;
    void setUserData(const QVariant& data) { userData = data; }
    QVariant getUserData() const { return userData; }

    QLabel* getIconLabel() const { return m_icon; }
    QLabel* getTextLabel() const { return m_text; }
    QToolButton* getButton() const { return m_button; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    void build();

    QLabel* m_icon = nullptr;
    QLabel* m_text = nullptr;
    QToolButton* m_button = nullptr;
    QHBoxLayout* m_lay1 = nullptr;
    QVBoxLayout* m_lay2 = nullptr;
    QVariant userData;
};
