#include "app/cfgcache.h"

void CfgCache::fromJson(const QJsonObject& obj)
{
    cacheBigImage = obj.value("CacheBigImage").toInt(0);
    thumbWidth = obj.value("ThumbWidth").toInt(192);
    if (thumbWidth < 10)
        thumbWidth = 192;
    thumbHeight = obj.value("ThumbHeight").toInt(108);
    if (thumbHeight < 10)
        thumbHeight = 108;
}

void CfgCache::toJson(QJsonObject& obj) const
{
    obj.insert("CacheBigImage", cacheBigImage);
    obj.insert("ThumbWidth", thumbWidth);
    obj.insert("ThumbHeight", thumbHeight);
}
