#include "records/tagutil.h"

#include <QTest>

class TestTagUtil : public QObject {
    Q_OBJECT
private slots:
    void joinReadAndCombine();
    void splitTagsFromFiles();
};

void TestTagUtil::joinReadAndCombine()
{
    QCOMPARE(StringListToStr({}), QString());
    QCOMPARE(RgbListToStr({ 0xFFFF0000u, 0xFF000000u }), QString("4294901760 4278190080 "));

    const QStringList tags { "海边", "sky", "2020" };
    QCOMPARE(StrToStringList(StringListToStr(tags)), tags);
    QCOMPARE(StrToStringList(" 海边，sky；2020、\r\n\t,; "), tags);
    QCOMPARE(stdSplit1("a，b\tc"), QString("a b c"));

    // The appending forms keep what is there.
    QStringList out { "x" };
    StrToStringList("y z", out);
    QCOMPARE(out, QStringList({ "x", "y", "z" }));

    const QList<uint> rgbs { 0xFFFF0000u, 0xFFFFFFFFu };
    QCOMPARE(StrToRgbList(RgbListToStr(rgbs)), rgbs);
    QCOMPARE(StrToRgbList("4294901760 red 99999999999 7,"), QList<uint>({ 0xFFFF0000u, 0u, 0u, 7u }));

    QCOMPARE(UnionTextTag({ "x", "y" }, { "y", "z" }), QStringList({ "x", "y", "z" }));
    QCOMPARE(UnionTextTag({ "x", "x" }, {}), QStringList({ "x" }));
    QCOMPARE(UnionTextTag({ "Sea" }, { "sea" }), QStringList({ "Sea", "sea" }));
    out = QStringList({ "z" });
    UnionTextTag({ "x", "z" }, { "y" }, out);
    QCOMPARE(out, QStringList({ "z", "x", "y" }));
    QCOMPARE(UnionRgb({ 1, 2 }, { 2, 3 }), QList<uint>({ 1, 2, 3 }));

    QCOMPARE(IntersectionTextTag({ "x", "y", "x" }, { "x" }), QStringList({ "x", "x" }));
    QVERIFY(IntersectionTextTag({ "x" }, {}).isEmpty());
    QVERIFY(IntersectionTextTag({ "Sea" }, { "sea" }).isEmpty());
    QCOMPARE(IntersectionRgb({ 3, 1, 2 }, { 2, 3 }), QList<uint>({ 3, 2 }));
}

void TestTagUtil::splitTagsFromFiles()
{
    // What a file may hold: blanks and separators inside one tag, empty tags.
    const QStringList fromFile { "beach sunset", "家人，朋友", "", "  ", "a\tb\nc", "ok" };
    const QStringList split = splitTextTags(fromFile);
    QCOMPARE(split, QStringList({ "beach", "sunset", "家人", "朋友", "a", "b", "c", "ok" }));
    // The joined text of the split list reads back as the same list.
    QCOMPARE(StrToStringList(StringListToStr(split)), split);
    QVERIFY(splitTextTags({}).isEmpty());
}

QTEST_GUILESS_MAIN(TestTagUtil)
#include "tst_tagutil.moc"
