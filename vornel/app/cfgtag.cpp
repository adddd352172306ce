#include "app/cfgtag.h"

void CfgTag::fromJson(const QJsonObject& obj)
{
    tagAutoSave = obj.value("TagAutoSave").toInt(1);
    tagSaveToFile = obj.value("TagSaveToFile").toInt(1);
}

void CfgTag::toJson(QJsonObject& obj) const
{
    obj.insert("TagAutoSave", tagAutoSave);
    obj.insert("TagSaveToFile", tagSaveToFile);
}
