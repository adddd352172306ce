#include "common/testutil.h"
#include "meta/colorstat.h"

#include <QTest>

// Reaches the protected classification helpers.
class ColorStatProbe : public ColorStat {
public:
    using ColorStat::cv;
    using ColorStat::findColorIndex;
    using ColorStat::findColorValue;
};

class TestColorStat : public QObject {
    Q_OBJECT
private slots:
    void classification();
    void statAndFilter();
};

static QImage pixels(const QList<QRgb>& colors)
{
    QImage img(colors.size(), 1, QImage::Format_RGB32);
    for (int i = 0; i < colors.size(); ++i)
        img.setPixel(i, 0, colors[i]);
    return img;
}

static QVector<ColorStatResult> counts(const QList<int>& values)
{
    QVector<ColorStatResult> out;
    for (int i = 0; i < values.size(); ++i)
        out.append(ColorStatResult(i, values[i], 0));
    return out;
}

void TestColorStat::classification()
{
    // The palette and the candidates are the colour table without its second red (hues above 330).
    const QList<uint> palette = ColorStat::getPalette();
    QCOMPARE(palette.size(), ColorStat::cvCandidateCount);
    for (int i = 0; i < ColorStat::cvCandidateCount; ++i)
        QCOMPARE(ColorStat::cvCandidate[i].rgb(), palette[i]);
    QCOMPARE(ColorStat::cvCandidate[9].name, QString("黑色"));
    QCOMPARE(ColorStatProbe::cv[9].rgb(), 0xFFFF0000u);

    // Hue ranges and their edges, then the dark, white and grey rules; -1 for no match.
    const QList<QPair<QRgb, int>> cases { { 0xFFFF0000u, 0 }, { QColor::fromHsv(340, 255, 255).rgb(), 9 },
        { QColor::fromHsv(40, 255, 255).rgb(), 1 }, { QColor::fromHsv(70, 255, 255).rgb(), 3 },
        { QColor::fromHsv(327, 255, 255).rgb(), 8 }, { 0xFF000000u, 10 }, { qRgb(60, 50, 50), 10 }, { 0xFFFFFFFFu, 11 },
        { qRgb(200, 200, 200), 12 }, { qRgb(128, 128, 128), -1 }, { qRgb(230, 230, 230), -1 } };
    for (const auto& c : cases) {
        QCOMPARE(qMakePair(c.first, ColorStatProbe::findColorIndex(c.first)), c);
        QCOMPARE(
            ColorStatProbe::findColorValue(c.first), c.second < 0 ? 0xFFFFFFFFu : ColorStatProbe::cv[c.second].rgb());
    }
}

void TestColorStat::statAndFilter()
{
    // Both reds fold into the first; unmatched greys count nowhere; sorted by count.
    QVector<ColorStatResult> r = ColorStat::statColor(
        pixels({ QColor::fromHsv(340, 255, 255).rgb(), qRgb(255, 0, 0), qRgb(0, 0, 0), qRgb(0, 255, 0), qRgb(0, 250, 0),
            qRgb(0, 240, 10), qRgb(128, 128, 128), qRgb(230, 230, 230), qRgb(255, 255, 255) }));
    QCOMPARE(r.size(), 12);
    QCOMPARE(r[0].toString(), QString("index=3, count=3, red=0, greeb=255, blue=0"));
    QCOMPARE(r[1].toString(), QString("index=0, count=2, red=255, greeb=0, blue=0"));
    int total = 0;
    for (const ColorStatResult& x : r) {
        QVERIFY(x.index != 9);
        total += x.count;
    }
    QCOMPARE(total, 7);

    // A drawing's transparent background is no colour at all, not black.
    QImage drawing(4, 1, QImage::Format_ARGB32);
    drawing.fill(Qt::transparent);
    drawing.setPixel(0, 0, qRgb(0, 255, 0));
    r = ColorStat::statColor(drawing);
    QCOMPARE(r[0].toString(), QString("index=3, count=1, red=0, greeb=255, blue=0"));
    QCOMPARE(r[1].count, 0);

    r = ColorStat::statColor(QImage());
    QCOMPARE(r.size(), 12);
    QVERIFY(ColorStat::filterColor(r, 2).isEmpty());

    const QVector<ColorStatResult> w = ColorStat::statColorWeight(pixels({ QColor::fromHsv(120, 255, 255).rgb() }));
    QCOMPARE(w.value(0).toString(), QString("index=3, count=10, red=0, greeb=255, blue=0"));

    QVector<ColorStatResult> kept = ColorStat::filterColor(counts({ 50, 30, 20 }), 2);
    QCOMPARE(kept.size(), 2);
    QCOMPARE(kept[0].count, 50);
    QCOMPARE(kept[1].count, 30);
    // Exactly one tenth is kept (single-precision share).
    QCOMPARE(ColorStat::filterColor(counts({ 90, 10 }), 2).size(), 2);
    QCOMPARE(ColorStat::filterColor(counts({ 95, 5 }), 2).size(), 1);
    QCOMPARE(ColorStat::filterColor(counts({ 40, 30, 30 }), 5).size(), 3);
    QVERIFY(ColorStat::filterColor(counts({ 40, 30 }), 0).isEmpty());
}

QTEST_GUILESS_MAIN(TestColorStat)
#include "tst_colorstat.moc"
