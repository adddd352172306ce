#include "app/cfgitem.h"

#include <climits>

int colorSlotOfPart(int part)
{
    return part >= PartColor1 && part <= PartColor4 ? part - PartColor1 : -1;
}

namespace {

// A number with its default when missing or not an integer; below min it falls back to the default too.
int readInt(const QJsonObject& obj, const char* key, int def, int min = INT_MIN)
{
    const int v = obj.value(QLatin1String(key)).toInt(def);
    return v < min ? def : v;
}

} // namespace

CfgItem::CfgItem()
{
    updateRects();
}

void CfgItem::fromJson(const QJsonObject& obj)
{
    itemSpace = readInt(obj, "ItemSpace", 2, 0);
    itemWidth = readInt(obj, "ItemWidth", 192, 10);
    itemHeight = readInt(obj, "ItemHeight", 192, 10);
    borderSpace = readInt(obj, "BorderSpace", 2, 0);
    verticalSpace = readInt(obj, "VerticalSpace", 2, 0);
    horizontalSpace = readInt(obj, "HorizontalSpace", 2, 0);
    textHeight = readInt(obj, "TextHeight", 20, 4);
    buttonWidth = readInt(obj, "ButtonWidth", 16, 4);
    buttonHeight = readInt(obj, "ButtonHeight", 20, 4);
    colorHeight = readInt(obj, "ColorHeight", 8, 2);
    showImageSize = readInt(obj, "ShowImageSize", 0);
    showFileSize = readInt(obj, "ShowFileSize", 0);
    showFileName = readInt(obj, "ShowFileName", 0);
    showColor = readInt(obj, "ShowColor", 1);
    showTag = readInt(obj, "ShowTag", 1);
    showItemBorder = readInt(obj, "ShowItemBorder", 1);
    showColorBorder = readInt(obj, "ShowColorBorder", 1);
    showTagBorder = readInt(obj, "ShowTagBorder", 1);
    updateRects();
}

void CfgItem::toJson(QJsonObject& obj) const
{
    obj.insert("ItemSpace", itemSpace);
    obj.insert("ItemWidth", itemWidth);
    obj.insert("ItemHeight", itemHeight);
    obj.insert("BorderSpace", borderSpace);
    obj.insert("VerticalSpace", verticalSpace);
    obj.insert("HorizontalSpace", horizontalSpace);
    obj.insert("TextHeight", textHeight);
    obj.insert("ButtonWidth", buttonWidth);
    obj.insert("ButtonHeight", buttonHeight);
    obj.insert("ColorHeight", colorHeight);
    obj.insert("ShowImageSize", showImageSize);
    obj.insert("ShowFileSize", showFileSize);
    obj.insert("ShowFileName", showFileName);
    obj.insert("ShowColor", showColor);
    obj.insert("ShowTag", showTag);
    obj.insert("ShowItemBorder", showItemBorder);
    obj.insert("ShowColorBorder", showColorBorder);
    obj.insert("ShowTagBorder", showTagBorder);
}

void CfgItem::updateRects()
{
    const int W = itemWidth, H = itemHeight, b = borderSpace, v = verticalSpace, h = horizontalSpace;
    const int t = textHeight, w = buttonWidth, bh = buttonHeight, c = colorHeight;

    rcItem = QRect(0, 0, W, H);
    int ih = H - 2 * b;
    if (showColor > 0)
        ih -= c + v;
    if (showTag > 0)
        ih -= bh + v;
    rcImage = QRect(b, b, W - 2 * b, ih);

    const int half = (W - 2 * b) / 2;
    rcImageSize = QRect(b, b, half, t);
    rcFileSize = QRect(b + half, b, half, t);
    rcFileName = QRect(b, rcImage.bottom() - t, W - 2 * b, t);

    const int q = (W - 2 * b) / 4;
    int y = H - c - b;
    if (showTag > 0)
        y -= bh + v;
    for (int k = 0; k < 4; ++k)
        rcColor[k] = QRect(b + k * q, y, q, c);

    const int rowTop = H - bh - b;
    rcTag = QRect(b, rowTop, W - 2 * (h + b + w), bh);
    rcTagButton = QRect(W - 2 * w - b - h, rowTop, w, bh);
    rcStarButton = QRect(W - w - b, rowTop, w, bh);
}

int CfgItem::hitTest(const QPoint& p) const
{
    QRect rect;
    return hitTest(p, rect);
}

int CfgItem::hitTest(const QPoint& p, QRect& rect) const
{
    if (rcImage.contains(p)) {
        if (showImageSize > 0 && rcImageSize.contains(p)) {
            rect = rcImageSize;
            return PartImageSize;
        }
        if (showFileSize > 0 && rcFileSize.contains(p)) {
            rect = rcFileSize;
            return PartFileSize;
        }
        if (showFileName > 0 && rcFileName.contains(p)) {
            rect = rcFileName;
            return PartFileName;
        }
        rect = rcImage;
        return PartImage;
    }
    if (showColor > 0) {
        for (int k = 0; k < 4; ++k) {
            if (rcColor[k].contains(p)) {
                rect = rcColor[k];
                return PartColor1 + k;
            }
        }
    }
    // Reached also when the swatch row is shown but the point is on none of them.
    if (showTag > 0) {
        const struct {
            const QRect& rc;
            int code;
        } parts[] = { { rcTag, PartTagRow }, { rcTagButton, PartTagButton }, { rcStarButton, PartStarButton } };
        for (const auto& part : parts) {
            if (part.rc.contains(p)) {
                rect = part.rc;
                return part.code;
            }
        }
    }
    rect = QRect();
    return PartNone;
}

void CfgItem::translate(int dx, int dy)
{
    for (QRect* r : { &rcItem, &rcImage, &rcImageSize, &rcFileSize, &rcFileName, &rcColor[0], &rcColor[1], &rcColor[2],
             &rcColor[3], &rcTag, &rcTagButton, &rcStarButton })
        r->translate(dx, dy);
}

void CfgItem::setZoom(int value)
{
    itemWidth = value * 32;
    itemHeight = value * 32;
    updateRects();
}
