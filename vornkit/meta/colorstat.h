#pragma once

#include "meta/colorstatresult.h"
#include "sys/vornkit_global.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QVector>

// The fixed named palette of colour tags, and pixel statistics against it.
class VORNKIT_EXPORT ColorStat {
public:
    struct ColorValue {
        int hueFrom; // inclusive
        int hueTo; // exclusive
        int hue;
        int saturation;
        int value;
        int red;
        int green;
        int blue;
        QString name;

        uint rgb() const { return 0xFF000000u | uint(red) << 16 | uint(green) << 8 | uint(blue); }
    };

    static constexpr int cvCount = 13;
    static constexpr int cvCandidateCount = 12;
    // The colours offered as tags: the palette without its second red.
    static const ColorValue cvCandidate[cvCandidateCount];

    // Pixel counts per palette colour (12 entries, the two reds folded), largest first.
    static QVector<ColorStatResult> statColor(const QImage& image);
    // The leading entries (at most n examined) that hold more than a tenth of the counted pixels.
    static QVector<ColorStatResult> filterColor(const QVector<ColorStatResult>& results, int n);
    // As statColor, a hued pixel shared between its row and the neighbouring row by hue distance.
    static QVector<ColorStatResult> statColorWeight(const QImage& image);
    static QList<uint> getPalette();

protected:
    static const ColorValue cv[cvCount];

    static int findColorIndex(int h, int s, int v);
    static int findColorIndex(uint rgb);
    static uint findColorValue(uint rgb);

private:
    ColorStat() = default;
    static QVector<ColorStatResult> initialResults();
    static void foldAndSort(QVector<ColorStatResult>& results);
};
