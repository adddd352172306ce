#include "app/cfglist.h"

namespace {

int readRanged(const QJsonObject& obj, const char* key, int def, int fix, int min, int max)
{
    const int v = obj.value(QLatin1String(key)).toInt(def);
    return v < min || v > max ? fix : v;
}

} // namespace

CfgList::CfgList()
{
    updateRects();
}

void CfgList::fromJson(const QJsonObject& obj)
{
    borderSpace = readRanged(obj, "BorderSpace", 1, 4, 1, 8);
    thumbWidth = readRanged(obj, "ThumbWidth", 96, 96, 1, 512);
    thumbHeight = readRanged(obj, "ThumbHeight", 54, 54, 1, 512);
    showFileName = obj.value("ShowFileName").toInt(1);
    showImageSize = obj.value("ShowImageSize").toInt(0);
    showFileSize = obj.value("ShowFileSize").toInt(0);
    cacheImageCount = readRanged(obj, "CacheImageCount", 10, 10, 1, 512);
    loadThumbCount = readRanged(obj, "LoadThumbCount", 10, 10, 1, 512);
    updateRects();
}

void CfgList::toJson(QJsonObject& obj) const
{
    obj.insert("BorderSpace", borderSpace);
    obj.insert("ThumbWidth", thumbWidth);
    obj.insert("ThumbHeight", thumbHeight);
    obj.insert("ShowFileName", showFileName);
    obj.insert("ShowImageSize", showImageSize);
    obj.insert("ShowFileSize", showFileSize);
    obj.insert("CacheImageCount", cacheImageCount);
    obj.insert("LoadThumbCount", loadThumbCount);
}

void CfgList::updateRects()
{
    const int b = borderSpace, tw = thumbWidth, th = thumbHeight;
    rcRow = QRect(0, 0, 4 * b + 2 * tw, 2 * b + th);
    rcThumb = QRect(b, b, tw, th);
    const int x = tw + 4 * b;

    // Visible lines stacked in this order; hidden ones get a null rectangle.
    QRect* lines[3] = { nullptr, nullptr, nullptr };
    int n = 0;
    rcFileName = rcImageSize = rcFileSize = QRect();
    if (showFileName > 0)
        lines[n++] = &rcFileName;
    if (showImageSize > 0)
        lines[n++] = &rcImageSize;
    if (showFileSize > 0)
        lines[n++] = &rcFileSize;
    if (n == 1) {
        *lines[0] = QRect(x, b, tw, th);
    } else if (n == 2) {
        const int a = (th - b) / 2;
        *lines[0] = QRect(x, b, tw, a);
        *lines[1] = QRect(x, a + 2 * b, tw, a);
    } else if (n == 3) {
        const int a = (th - 2 * b) / 3;
        for (int i = 0; i < 3; ++i)
            *lines[i] = QRect(x, b + i * (a + b), tw, a);
    }
    rowHeight = rcRow.height();
}

void CfgList::translate(int dx, int dy)
{
    for (QRect* r : { &rcRow, &rcThumb, &rcFileName, &rcImageSize, &rcFileSize })
        r->translate(dx, dy);
}

void CfgList::fitWidth(int width)
{
    if (rcRow.width() >= width)
        return;
    rcRow.setWidth(width);
    for (QRect* r : { &rcFileName, &rcImageSize, &rcFileSize }) {
        if (!r->isNull())
            r->setRight(rcRow.left() + width - borderSpace);
    }
}
