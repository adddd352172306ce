#pragma once

#include <QJsonObject>

// Tag-saving options (section "tag").
class CfgTag {
public:
    virtual ~CfgTag() = default;

    void fromJson(const QJsonObject& obj);
    void toJson(QJsonObject& obj) const;

    int tagAutoSave = 1;
    // On: every tag edit is written into the image file too.
    int tagSaveToFile = 1;
};
