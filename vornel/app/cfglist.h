#pragma once

#include <QJsonObject>
#include <QRect>

// Row geometry of the viewer's file strip (section "list").
struct CfgList {
    CfgList();

    void fromJson(const QJsonObject& obj);
    void toJson(QJsonObject& obj) const;
    void updateRects();
    void translate(int dx, int dy);
    // Widens the row to width and stretches the text lines up to its right margin.
    void fitWidth(int width);

    int borderSpace = 4;
    int thumbWidth = 96;
    int thumbHeight = 54;
    int showFileName = 1;
    int showImageSize = 0;
    int showFileSize = 0;
    // Rows around the current one that load their full image.
    int cacheImageCount = 10;
    // Rows loaded beyond the visible ones when the strip scrolls.
    int loadThumbCount = 10;

    QRect rcRow;
    QRect rcThumb;
    QRect rcFileName;
    QRect rcImageSize;
    QRect rcFileSize;
    int rowHeight = 0;
};
