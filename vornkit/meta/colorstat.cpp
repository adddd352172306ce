#include "meta/colorstat.h"

#include <QColor>

#include <algorithm>
#include <functional>

const ColorStat::ColorValue ColorStat::cv[ColorStat::cvCount] = {
    { 0, 30, 20, 255, 255, 255, 0, 0, QString::fromUtf8("红色") },
    { 30, 50, 40, 255, 255, 255, 170, 0, QString::fromUtf8("橙色") },
    { 50, 70, 60, 255, 255, 255, 255, 0, QString::fromUtf8("黄色") },
    { 70, 160, 120, 255, 255, 0, 255, 0, QString::fromUtf8("绿色") },
    { 160, 190, 180, 255, 255, 0, 255, 255, QString::fromUtf8("蓝色") },
    { 190, 210, 200, 255, 255, 0, 170, 255, QString::fromUtf8("深蓝") },
    { 210, 270, 240, 255, 255, 0, 0, 255, QString::fromUtf8("紫蓝") },
    { 270, 290, 280, 255, 255, 170, 0, 255, QString::fromUtf8("紫色") },
    { 290, 328, 300, 255, 255, 255, 0, 255, QString::fromUtf8("玫红") },
    { 328, 360, 336, 255, 255, 255, 0, 0, QString::fromUtf8("红色") },
    { 0, 0, 0, 0, 0, 0, 0, 0, QString::fromUtf8("黑色") },
    { 0, 0, 0, 0, 255, 255, 255, 255, QString::fromUtf8("白色") },
    { 0, 0, 0, 0, 200, 200, 200, 200, QString::fromUtf8("灰色") },
};

const ColorStat::ColorValue ColorStat::cvCandidate[ColorStat::cvCandidateCount] = {
    cv[0],
    cv[1],
    cv[2],
    cv[3],
    cv[4],
    cv[5],
    cv[6],
    cv[7],
    cv[8],
    cv[10],
    cv[11],
    cv[12],
};

namespace {
const int kBlack = 10;
const int kWhite = 11;
const int kGrey = 12;
const int kSecondRed = 9;

// Black, white or grey by saturation and value; -1 for anything else.
int neutralIndex(int s, int v)
{
    if (s < 80 && v < 80)
        return kBlack;
    if (s < 5 && v > 240)
        return kWhite;
    if (s < 5 && v >= 161 && v <= 219)
        return kGrey;
    return -1;
}

// Calls fn(h, s, v) for every pixel, column by column; fully transparent pixels have no colour and are skipped
// (a drawing's empty background is not black).
template <class F> void forEachPixelHsv(const QImage& image, F&& fn)
{
    const bool alpha = image.hasAlphaChannel();
    int h = 0, s = 0, v = 0;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            const QRgb rgb = image.pixel(x, y);
            if (alpha && qAlpha(rgb) == 0)
                continue;
            QColor::fromRgb(rgb).toHsv().getHsv(&h, &s, &v);
            fn(h, s, v);
        }
    }
}
} // namespace

int ColorStat::findColorIndex(int h, int s, int v)
{
    const int neutral = neutralIndex(s, v);
    if (neutral >= 0)
        return neutral;
    for (int i = 0; i < cvCount; ++i) {
        if (cv[i].hueFrom <= h && h < cv[i].hueTo)
            return i;
    }
    return -1;
}

int ColorStat::findColorIndex(uint rgb)
{
    int h = 0, s = 0, v = 0;
    QColor::fromRgb(rgb).toHsv().getHsv(&h, &s, &v);
    return findColorIndex(h, s, v);
}

uint ColorStat::findColorValue(uint rgb)
{
    const int index = findColorIndex(rgb);
    return index < 0 ? 0xFFFFFFFFu : cv[index].rgb();
}

QVector<ColorStatResult> ColorStat::initialResults()
{
    QVector<ColorStatResult> results;
    results.reserve(cvCount);
    for (int i = 0; i < cvCount; ++i)
        results.append(ColorStatResult(i, 0, cv[i].rgb()));
    return results;
}

void ColorStat::foldAndSort(QVector<ColorStatResult>& results)
{
    results[0].count += results[kSecondRed].count;
    results.remove(kSecondRed);
    std::stable_sort(results.begin(), results.end(), std::greater<ColorStatResult>());
}

QVector<ColorStatResult> ColorStat::statColor(const QImage& image)
{
    QVector<ColorStatResult> results = initialResults();
    forEachPixelHsv(image, [&results](int h, int s, int v) {
        const int index = findColorIndex(h, s, v);
        if (index >= 0)
            ++results[index].count;
    });
    foldAndSort(results);
    return results;
}

QVector<ColorStatResult> ColorStat::filterColor(const QVector<ColorStatResult>& results, int n)
{
    QVector<ColorStatResult> kept;
    int total = 0;
    for (const ColorStatResult& r : results)
        total += r.count;
    if (total <= 0 || n <= 0)
        return kept;
    const int last = qMin(n, results.size());
    for (int i = 0; i < last; ++i) {
        // The share is taken in single precision, so exactly one tenth is kept.
        const float share = float(results[i].count) / float(total);
        if (double(share) > 0.1)
            kept.append(results[i]);
    }
    return kept;
}

QVector<ColorStatResult> ColorStat::statColorWeight(const QImage& image)
{
    QVector<ColorStatResult> results = initialResults();
    forEachPixelHsv(image, [&results](int h, int s, int v) {
        // Achromatic pixels (no hue) are left out, as are out-of-range values.
        if (s > 255 || v > 255 || h < 0 || h > 359)
            return;
        const int neutral = neutralIndex(s, v);
        if (neutral >= 0) {
            results[neutral].count += 1;
            return;
        }
        int row = -1;
        for (int i = 0; i <= kSecondRed; ++i) {
            if (cv[i].hueFrom <= h && h < cv[i].hueTo) {
                row = i;
                break;
            }
        }
        if (row < 0)
            return;
        const int hue = cv[row].hue;
        if (h > hue && row + 1 <= kSecondRed) {
            const int next = cv[row + 1].hue;
            const int o = (next - h) * 10 / (next - hue);
            results[row].count += o;
            results[row + 1].count += 10 - o;
        } else if (h < hue && row >= 1) {
            const int prev = cv[row - 1].hue;
            const int o = (h - prev) * 10 / (hue - prev);
            results[row].count += o;
            results[row - 1].count += 10 - o;
        } else {
            results[row].count += 10;
        }
    });
    foldAndSort(results);
    return results;
}

QList<uint> ColorStat::getPalette()
{
    QList<uint> palette;
    for (int i = 0; i < cvCount; ++i)
        palette.append(cv[i].rgb());
    if (palette.size() > kSecondRed)
        palette.removeAt(kSecondRed);
    return palette;
}
