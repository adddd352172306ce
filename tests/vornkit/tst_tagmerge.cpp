#include "records/tagmerge.h"

#include <QTest>

// Writing one program's edits into a photo that another program may have written meanwhile.
class TestTagMerge : public QObject {
    Q_OBJECT
private slots:
    void mergeEdit_data();
    void mergeEdit();
};

Q_DECLARE_METATYPE(TagMerge::Values)

namespace {

const uint R = 0xFFFF0000u, G = 0xFF00FF00u, B = 0xFF0000FFu;

TagMerge::Values v(int star, const QList<uint>& rgb, const QStringList& text)
{
    return { star, rgb, text };
}

} // namespace

void TestTagMerge::mergeEdit_data()
{
    QTest::addColumn<TagMerge::Values>("base");
    QTest::addColumn<TagMerge::Values>("mine");
    QTest::addColumn<TagMerge::Values>("now");
    QTest::addColumn<bool>("nowHasTags");
    QTest::addColumn<TagMerge::Values>("expected");

    const TagMerge::Values base = v(1, { R }, { "a" });
    QTest::newRow("only this program changed")
        << base << v(3, { R, G }, { "a", "b" }) << base << true << v(3, { R, G }, { "a", "b" });
    // The other program set the star and colours; this one only added a text tag.
    QTest::newRow("each changed its own kinds")
        << base << v(1, { R }, { "a", "b" }) << v(5, { B }, { "a" }) << true << v(5, { B }, { "a", "b" });
    QTest::newRow("both changed the same kinds")
        << base << v(2, { G }, { "b" }) << v(4, { R, B }, { "a", "c" }) << true << v(2, { G, B }, { "b", "c" });
    QTest::newRow("other removed what this kept") << v(0, { R, G }, { "a", "b" }) << v(0, { R, G, B }, { "a", "b" })
                                                  << v(0, { G }, { "b" }) << true << v(0, { G, B }, { "b" });
    QTest::newRow("nothing changed here") << base << base << v(4, { G }, { "x" }) << true << v(4, { G }, { "x" });
    QTest::newRow("photo without our tags")
        << base << v(0, {}, { "a" }) << TagMerge::Values() << false << v(0, {}, { "a" });
}

void TestTagMerge::mergeEdit()
{
    QFETCH(TagMerge::Values, base);
    QFETCH(TagMerge::Values, mine);
    QFETCH(TagMerge::Values, now);
    QFETCH(bool, nowHasTags);
    QFETCH(TagMerge::Values, expected);
    const TagMerge::Values got = TagMerge::mergeEdit(base, mine, now, nowHasTags);
    QCOMPARE(got.star, expected.star);
    QCOMPARE(got.rgb, expected.rgb);
    QCOMPARE(got.text, expected.text);
}

QTEST_APPLESS_MAIN(TestTagMerge)
#include "tst_tagmerge.moc"
