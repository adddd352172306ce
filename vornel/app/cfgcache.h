#pragma once

#include <QJsonObject>

// Size of the thumbnails written to the cache (section "cache").
class CfgCache {
public:
    virtual ~CfgCache() = default;

    void fromJson(const QJsonObject& obj);
    void toJson(QJsonObject& obj) const;

    // On: cache only images larger than the thumbnail.
    int cacheBigImage = 0;
    int thumbWidth = 192;
    int thumbHeight = 108;
};
