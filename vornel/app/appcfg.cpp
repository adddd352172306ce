#include "app/appcfg.h"

#include "sys/fileutil.h"

#include <QJsonObject>

QString AppCfg::cfgFile()
{
    return profileFile(QStringLiteral("vornel.cfg"));
}

int AppCfg::load()
{
    QJsonObject obj;
    readJsonObject(cfgFile(), obj);
    lastPath = obj.value("LastPath").toString();
    item.fromJson(obj.value("item").toObject());
    cache.fromJson(obj.value("cache").toObject());
    tag.fromJson(obj.value("tag").toObject());
    list.fromJson(obj.value("list").toObject());
    return 0;
}

int AppCfg::save() const
{
    QJsonObject obj;
    obj.insert("LastPath", lastPath);
    QJsonObject section;
    item.toJson(section);
    obj.insert("item", section);
    section = QJsonObject();
    cache.toJson(section);
    obj.insert("cache", section);
    section = QJsonObject();
    tag.toJson(section);
    obj.insert("tag", section);
    section = QJsonObject();
    list.toJson(section);
    obj.insert("list", section);
    obj.insert("fileAss", QJsonObject());

    return writeJsonObject(cfgFile(), obj) ? 0 : -1;
}
