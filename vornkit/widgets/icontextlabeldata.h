#pragma once

#include "sys/vornkit_global.h"

#include <QIcon>
#include <QString>
#include <QVariant>

// What one icon-and-text chip shows and carries.
class VORNKIT_EXPORT IconTextLabelData {
public:
    IconTextLabelData() = default;
    IconTextLabelData(const QIcon& icon, const QString& text, const QIcon& buttonIcon = QIcon(),
        bool showButton = false, const QVariant& userData = QVariant())
        : icon(icon)
        , text(text)
        , buttonIcon(buttonIcon)
        , showButton(showButton)
        , userData(userData)
    {
    }

    bool getShowButton() const { return showButton; }
    void setShowButton(bool show) { showButton = show; }
    void setIcon(const QIcon& value) { icon = value; }
    void setText(const QString& value) { text = value; }
    void setButtonIcon(const QIcon& value) { buttonIcon = value; }
    void setUserData(const QVariant& value) { userData = value; }

    QIcon icon;
    QString text;
    QIcon buttonIcon;
    bool showButton = false;
    QVariant userData;
};
