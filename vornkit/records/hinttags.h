#pragma once

#include "sys/vornkit_global.h"

#include <QImage>
#include <QList>
#include <QStringList>

// Tags suggested for an image from its pixels; only the colours are computed.
class VORNKIT_EXPORT HintTags {
public:
    HintTags();

    // Computes the hints of the image; always 0.
    int hintTagsFromData(const QImage& image);

    const QList<uint>& getHintColorTag() const { return hintColorTags; }
    void setHintColorTag(const QList<uint>& v) { hintColorTags = v; }
    int getHintStarTag() const { return hintStarTags; }
    void setHintStarTag(int v) { hintStarTags = v; }
    const QStringList& getHintTextTag() const { return hintTextTags; }
    void setHintTextTag(const QStringList& v) { hintTextTags = v; }

protected:
    // The two dominant palette colours of the image (scaled into 200 x 200 first when larger).
    bool hintColorTag();
    bool hintStarTag();
    bool hintTextTag();

    QImage image;
    QList<uint> hintColorTags;
    int hintStarTags = 0;
    QStringList hintTextTags;
};
