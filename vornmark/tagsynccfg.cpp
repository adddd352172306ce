#include "tagsynccfg.h"

#include "sys/fileutil.h"

#include <QJsonArray>
#include <QJsonObject>

QString TagSyncCfg::filePath()
{
    return profileFile(QStringLiteral("vornmark.cfg"));
}

int TagSyncCfg::load()
{
    QJsonObject root;
    if (!readJsonObject(filePath(), root))
        return -1;
    LastPath = root.value("LastPath").toString();

    const QJsonObject t = root.value("tag").toObject();
    tag.DeleteInvalidTag = t.value("DeleteInvalidTag").toBool(false);
    tag.DeleteOutSyncTag = t.value("DeleteOutSyncTag").toBool(false);
    tag.ColorSync = t.value("ColorSync").toBool(false);
    tag.ColorSyncTactics = t.value("ColorSyncTactics").toInt(0);
    tag.ColorConflictTactics = t.value("ColorConflictTactics").toInt(0);
    tag.StarSync = t.value("StarSync").toBool(false);
    tag.StarSyncTactics = t.value("StarSyncTactics").toInt(0);
    tag.StarConflictTactics = t.value("StarConflictTactics").toInt(0);
    tag.TextTagSync = t.value("TextTagSync").toBool(false);
    tag.TextTagSyncTactics = t.value("TextTagSyncTactics").toInt(0);
    tag.TextTagConflictTactics = t.value("TextTagConflictTactics").toInt(0);

    const QJsonObject th = root.value("thumb").toObject();
    thumb.DeleteInvalidThumb = th.value("DeleteInvalidThumb").toBool(false);
    thumb.ResizeThumb = th.value("ResizeThumb").toBool(false);
    thumb.ThumbWidth = th.value("ThumbWidth").toInt(192);
    thumb.ThumbHeight = th.value("ThumbHeight").toInt(108);

    const QJsonObject fav = root.value("fav").toObject();
    DeleteInvalidFileFav = fav.value("DeleteInvalidFileFav").toBool(false);
    DeleteInvalidPathFav = fav.value("DeleteInvalidPathFav").toBool(false);

    const QJsonObject b = root.value("build").toObject();
    build.BuildThumb = b.value("BuildThumb").toBool(false);
    for (const QJsonValue& v : b.value("paths").toArray())
        build.paths.append(v.toString());
    build.CacheBigImage = b.value("CacheBigImage").toBool(false);
    build.ThumbWidth = b.value("ThumbWidth").toInt(192);
    build.ThumbHeight = b.value("ThumbHeight").toInt(108);
    return 0;
}

int TagSyncCfg::save()
{
    QJsonObject t;
    t.insert("DeleteInvalidTag", tag.DeleteInvalidTag);
    t.insert("DeleteOutSyncTag", tag.DeleteOutSyncTag);
    t.insert("ColorSync", tag.ColorSync);
    t.insert("ColorSyncTactics", tag.ColorSyncTactics);
    t.insert("ColorConflictTactics", tag.ColorConflictTactics);
    t.insert("StarSync", tag.StarSync);
    t.insert("StarSyncTactics", tag.StarSyncTactics);
    t.insert("StarConflictTactics", tag.StarConflictTactics);
    t.insert("TextTagSync", tag.TextTagSync);
    t.insert("TextTagSyncTactics", tag.TextTagSyncTactics);
    t.insert("TextTagConflictTactics", tag.TextTagConflictTactics);

    QJsonObject th;
    th.insert("DeleteInvalidThumb", thumb.DeleteInvalidThumb);
    th.insert("ResizeThumb", thumb.ResizeThumb);
    th.insert("ThumbWidth", thumb.ThumbWidth);
    th.insert("ThumbHeight", thumb.ThumbHeight);

    QJsonObject fav;
    fav.insert("DeleteInvalidFileFav", DeleteInvalidFileFav);
    fav.insert("DeleteInvalidPathFav", DeleteInvalidPathFav);

    QJsonObject b;
    b.insert("BuildThumb", build.BuildThumb);
    b.insert("paths", QJsonArray::fromStringList(build.paths));
    b.insert("CacheBigImage", build.CacheBigImage);
    b.insert("ThumbWidth", build.ThumbWidth);
    b.insert("ThumbHeight", build.ThumbHeight);

    QJsonObject root;
    root.insert("LastPath", LastPath);
    root.insert("tag", t);
    root.insert("thumb", th);
    root.insert("fav", fav);
    root.insert("build", b);

    return writeJsonObject(filePath(), root) ? 0 : -1;
}
