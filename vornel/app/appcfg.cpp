#include "app/appcfg.h"

#include "sys/fileutil.h"
#include "sys/platform.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

AppCfg* AppCfg::ms_instance = nullptr;

AppCfg* AppCfg::instance(int recreate)
{
    if (recreate > 0)
        release();
    if (!ms_instance)
        ms_instance = new AppCfg();
    return ms_instance;
}

bool AppCfg::release()
{
    if (!ms_instance)
        return false;
    delete ms_instance;
    ms_instance = nullptr;
    return true;
}

QString AppCfg::cfgFile()
{
    const QString dir = pathJoin(platform::programDir(), "profile");
    QDir().mkpath(dir);
    return pathJoin(dir, "vornel.cfg");
}

int AppCfg::load()
{
    QByteArray data;
    QFile file;
    // Never blocks start-up: a FIFO or a device under the name counts as no file.
    if (platform::openRegularFile(file, cfgFile()))
        data = file.readAll();
    const QJsonObject obj = QJsonDocument::fromJson(data).object();
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

    // Written beside and renamed over, so a failed write never leaves a half file.
    QSaveFile file(cfgFile());
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    file.write(QJsonDocument(obj).toJson(QJsonDocument::Indented));
    return file.commit() ? 0 : -1;
}
