#include "records/hinttags.h"

#include "meta/colorstat.h"

HintTags::HintTags() = default;

int HintTags::hintTagsFromData(const QImage& img)
{
    image = img;
    hintColorTag();
    hintStarTag();
    hintTextTag();
    return 0;
}

bool HintTags::hintColorTag()
{
    if (image.isNull())
        return false;
    const QImage work = (image.width() > 200 || image.height() > 200)
        ? image.scaled(200, 200, Qt::KeepAspectRatio, Qt::SmoothTransformation)
        : image;
    const QVector<ColorStatResult> kept = ColorStat::filterColor(ColorStat::statColor(work), 2);
    for (const ColorStatResult& r : kept)
        hintColorTags.append(r.rgb);
    return true;
}

bool HintTags::hintStarTag()
{
    return false;
}

bool HintTags::hintTextTag()
{
    return false;
}
