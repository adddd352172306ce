#include "colorstat.h"
#include "testutil.h"

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
    void paletteTables();
    void classification_data();
    void classification();
    void statColorCounts();
    void filterColorShares();
    void resultText();
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

void TestColorStat::paletteTables()
{
    const QList<uint> palette = ColorStat::getPalette();
    QCOMPARE(palette.size(), 12);
    QCOMPARE(palette.first(), 0xFFFF0000u);
    QCOMPARE(palette.mid(9), QList<uint>({ 0xFF000000u, 0xFFFFFFFFu, 0xFFC8C8C8u }));
    QCOMPARE(ColorStat::cvCandidateCount, 12);
    for (int i = 0; i < ColorStat::cvCandidateCount; ++i)
        QCOMPARE(ColorStat::cvCandidate[i].rgb(), palette[i]);
    QCOMPARE(ColorStat::cvCandidate[0].name, QString("红色"));
    QCOMPARE(ColorStat::cvCandidate[9].name, QString("黑色"));
    QCOMPARE(ColorStat::cvCandidate[11].name, QString("灰色"));
    QCOMPARE(ColorStatProbe::cv[9].name, QString("红色"));
    QCOMPARE(ColorStatProbe::cv[9].rgb(), 0xFFFF0000u);
}

void TestColorStat::classification_data()
{
    QTest::addColumn<uint>("rgb");
    QTest::addColumn<int>("index");
    QTest::newRow("red") << 0xFFFF0000u << 0;
    QTest::newRow("hue 340") << QColor::fromHsv(340, 255, 255).rgb() << 9;
    QTest::newRow("orange") << QColor::fromHsv(40, 255, 255).rgb() << 1;
    QTest::newRow("green edge 70") << QColor::fromHsv(70, 255, 255).rgb() << 3;
    QTest::newRow("rose 327") << QColor::fromHsv(327, 255, 255).rgb() << 8;
    QTest::newRow("black") << 0xFF000000u << 10;
    QTest::newRow("dark dull red is black") << qRgb(60, 50, 50) << 10;
    QTest::newRow("white") << 0xFFFFFFFFu << 11;
    QTest::newRow("grey") << qRgb(200, 200, 200) << 12;
    QTest::newRow("mid grey") << qRgb(128, 128, 128) << -1;
    QTest::newRow("light grey") << qRgb(230, 230, 230) << -1;
}

void TestColorStat::classification()
{
    QFETCH(uint, rgb);
    QFETCH(int, index);
    QCOMPARE(ColorStatProbe::findColorIndex(rgb), index);
    QCOMPARE(ColorStatProbe::findColorValue(rgb), index < 0 ? 0xFFFFFFFFu : ColorStatProbe::cv[index].rgb());
}

void TestColorStat::statColorCounts()
{
    QVector<ColorStatResult> r = ColorStat::statColor(pixels({ qRgb(255, 0, 0) }));
    QCOMPARE(r.size(), 12);
    QCOMPARE(r[0].index, 0);
    QCOMPARE(r[0].count, 1);
    QCOMPARE(r[0].rgb, 0xFFFF0000u);
    for (int i = 1; i < r.size(); ++i)
        QCOMPARE(r[i].count, 0);

    // Both reds fold into the first; unmatched greys count nowhere.
    r = ColorStat::statColor(
        pixels({ QColor::fromHsv(340, 255, 255).rgb(), qRgb(255, 0, 0), qRgb(0, 0, 0), qRgb(0, 255, 0), qRgb(0, 250, 0),
            qRgb(0, 240, 10), qRgb(128, 128, 128), qRgb(230, 230, 230), qRgb(255, 255, 255) }));
    QCOMPARE(r.size(), 12);
    QCOMPARE(r[0].index, 3);
    QCOMPARE(r[0].count, 3);
    QCOMPARE(r[1].index, 0);
    QCOMPARE(r[1].count, 2);
    int total = 0;
    for (const ColorStatResult& x : r) {
        QVERIFY(x.index != 9);
        total += x.count;
    }
    QCOMPARE(total, 7);

    r = ColorStat::statColor(QImage());
    QCOMPARE(r.size(), 12);
    for (const ColorStatResult& x : r)
        QCOMPARE(x.count, 0);
    QVERIFY(ColorStat::filterColor(r, 2).isEmpty());

    const QVector<ColorStatResult> w = ColorStat::statColorWeight(pixels({ QColor::fromHsv(120, 255, 255).rgb() }));
    QCOMPARE(w.size(), 12);
    QCOMPARE(w[0].index, 3);
    QCOMPARE(w[0].count, 10);
}

void TestColorStat::filterColorShares()
{
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

void TestColorStat::resultText()
{
    QCOMPARE(ColorStatResult(3, 7, 0xFF00AA10u).toString(), QString("index=3, count=7, red=0, greeb=170, blue=16"));
}

QTEST_GUILESS_MAIN(TestColorStat)
#include "tst_colorstat.moc"
