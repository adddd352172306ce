#pragma once

#include <QJsonObject>
#include <QPoint>
#include <QRect>

// Part codes of a grid cell, as returned by CfgItem::hitTest.
enum CellPart {
    PartNone = -1,
    PartImage = 2,
    PartImageSize = 3,
    PartFileSize = 4,
    PartFileName = 5,
    PartColor1 = 6,
    PartColor4 = 9,
    PartTagRow = 10,
    PartTagButton = 11,
    PartStarButton = 12,
};

// The swatch slot 0..3 of a colour part code, else -1.
int colorSlotOfPart(int part);

// Geometry and visible parts of one thumbnail-grid cell (section "item"), with the rectangles of its parts in
// cell coordinates.
class CfgItem {
public:
    CfgItem();
    virtual ~CfgItem() = default;
    CfgItem(const CfgItem&) = default;
    CfgItem& operator=(const CfgItem&) = default;

    void fromJson(const QJsonObject& obj);
    void toJson(QJsonObject& obj) const;
    void updateRects();

    int hitTest(const QPoint& p) const;
    int hitTest(const QPoint& p, QRect& rect) const;
    void translate(int dx, int dy);

    int zoomValue() const { return itemWidth >> 5; }
    void setZoom(int value);

    int itemSpace = 2;
    int itemWidth = 192;
    int itemHeight = 192;
    int borderSpace = 2;
    int verticalSpace = 2;
    int horizontalSpace = 2;
    int textHeight = 20;
    int buttonWidth = 16;
    int buttonHeight = 20;
    int colorHeight = 8;
    int showImageSize = 1;
    int showFileSize = 1;
    int showFileName = 1;
    int showColor = 1;
    int showTag = 1;
    int showItemBorder = 1;
    int showColorBorder = 1;
    int showTagBorder = 1;

    QRect rcItem;
    QRect rcImage;
    QRect rcImageSize;
    QRect rcFileSize;
    QRect rcFileName;
    QRect rcColor[4];
    QRect rcTag;
    QRect rcTagButton;
    QRect rcStarButton;
};
