#include "meta/colorstat.h"
#include "tagwidgets/qxtstars.h"
#include "tagwidgets/xaddbutton.h"
#include "tagwidgets/xalltagcontainer.h"
#include "tagwidgets/xclosebutton.h"
#include "tagwidgets/xseltagcontainer.h"
#include "tagwidgets/xtaglabel.h"

#include <QSignalSpy>
#include <QTest>

class TestTagWidgets : public QObject {
    Q_OBJECT
private slots:
    void colourChipsFlowIntoRows();
    void textChipsFlowAndStayPlain();
    void recycleFindAndDelete();
    void chipSignals();
    void starsByClickAndKey();
};

void TestTagWidgets::colourChipsFlowIntoRows()
{
    XTagContainer box;
    QCOMPARE(box.arrangeCtrl(100), 6);
    const QList<uint> palette = ColorStat::getPalette();
    box.setColor(palette.mid(0, 5));
    // 48 x 20 swatches: two fit in 120 (6..54, 60..108; a third would end at 168 + 6).
    QCOMPARE(box.arrangeCtrl(120), 6 + 3 * 26);
    const QPoint expected[] = { { 6, 6 }, { 60, 6 }, { 6, 32 }, { 60, 32 }, { 6, 58 } };
    for (int i = 0; i < 5; ++i)
        QCOMPARE(box.findColor(palette.at(i))->geometry(), QRect(expected[i], QSize(48, 20)));
    // The second chip needs exactly 60 + 48 + 6 = 114; the first of a row is placed even in a narrower frame.
    box.setColor(palette.mid(0, 2));
    QCOMPARE(box.arrangeCtrl(114), 32);
    QCOMPARE(box.arrangeCtrl(113), 58);
    QCOMPARE(box.arrangeCtrl(20), 58);
    QCOMPARE(box.findColor(palette.at(1))->pos(), QPoint(6, 32));

    // The add button follows the chips; colour texts that are no number are skipped.
    XAllTagContainer all;
    QCOMPARE(all.arrangeCtrl(100), 6 + 20 + 6);
    all.addColor(QStringList { "4294901760", "not a colour", "4278190335" });
    QCOMPARE(all.getColor(), QList<uint>({ 0xFFFF0000u, 0xFF0000FFu }));
    QCOMPARE(all.arrangeCtrl(200), 6 + 26 + 20 + 6);
    QCOMPARE(all.addButton()->pos(), QPoint(6, 32));
}

void TestTagWidgets::textChipsFlowAndStayPlain()
{
    XTagContainer box;
    const QStringList texts { "风景", "<b>bold</b>", "a longer tag text", "x", "人物 家庭", "&amp;" };
    box.setTag(texts);
    const int width = 160;
    const int height = box.arrangeCtrl(width);
    QRect all;
    QList<QRect> placed;
    for (const QString& text : texts) {
        XTagLabel* chip = box.findTag(text);
        QCOMPARE(chip->textFormat(), Qt::PlainText);
        QCOMPARE(chip->text(), text);
        const QRect r = chip->geometry();
        QCOMPARE(r.size(), chip->minimumSizeHint());
        QVERIFY(r.left() == 6 || r.right() + 1 + 6 <= width);
        // In order: a later chip is below the earlier ones, or right of them in their row.
        for (const QRect& other : placed)
            QVERIFY(
                !other.intersects(r) && (r.top() > other.top() || (r.top() == other.top() && r.left() > other.left())));
        placed << r;
        all |= r;
    }
    QCOMPARE(height, all.bottom() + 1 + 6);
}

void TestTagWidgets::recycleFindAndDelete()
{
    XTagContainer box;
    box.setTag({ "a", "b", "c" }, true);
    box.arrangeCtrl(300);
    XTagLabel* a = box.findTag("a");

    // Fewer tags reuse hidden chips; the rest stay hidden.
    box.setTag({ "x" }, false);
    box.arrangeCtrl(300);
    QCOMPARE(box.getTag(), QStringList({ "x" }));
    QCOMPARE(box.findTag("x"), a);
    const QList<XTagLabel*> chips = box.findChildren<XTagLabel*>();
    QCOMPARE(std::count_if(chips.begin(), chips.end(), [](XTagLabel* chip) { return chip->isHidden(); }), 2);

    // Names compare exactly; only its own shown chips are deleted.
    box.setTag({ "Tag", "tag" });
    QCOMPARE(box.findTag("TAG"), nullptr);
    XTagLabel* lower = box.findTag("tag");
    QVERIFY(box.delTag(lower) && !box.delTag(lower));
    XTagLabel stranger("Tag", nullptr);
    QVERIFY(!box.delTag(&stranger));
    QCOMPARE(box.getTag(), QStringList({ "Tag" }));
}

void TestTagWidgets::chipSignals()
{
    qRegisterMetaType<XTagLabel*>();
    XSelTagContainer box;
    QSignalSpy tagClicked(&box, &XTagContainer::sign_tag_clicked);
    QSignalSpy closeClicked(&box, &XTagContainer::sign_close_clicked);
    box.setTag({ "one", "two" }, true);
    box.arrangeCtrl(300);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    XTagLabel* two = box.findTag("two");
    QTest::mouseClick(two, Qt::RightButton, {}, QPoint(4, two->height() / 2));
    QTest::mouseClick(two, Qt::LeftButton, {}, QPoint(4, two->height() / 2));
    QTest::mouseClick(two->findChild<XCloseButton*>(), Qt::LeftButton);
    QCOMPARE(tagClicked.count(), 1); // the right click is ignored
    QCOMPARE(closeClicked.count(), 1);
    QCOMPARE(closeClicked.first().first().value<XTagLabel*>(), two);
}

void TestTagWidgets::starsByClickAndKey()
{
    QWidget host;
    auto* stars = new QxtStars(&host);
    stars->setOrientation(Qt::Horizontal);
    stars->resize(stars->sizeHint());
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QSignalSpy changed(stars, &QxtStars::valueChanged);
    auto click = [&](const QPoint& at) {
        QTest::mouseClick(stars, Qt::LeftButton, {}, at);
        return stars->value();
    };
    QCOMPARE(click(stars->starRect(3).center()), 3);
    QCOMPARE(changed.last().first().toInt(), 3);
    // The gap after a star belongs to it; the current star again clears the rating.
    QCOMPARE(click(QPoint(stars->starRect(4).right() + 1, stars->height() / 2)), 4);
    QCOMPARE(click(stars->starRect(4).center()), 0);
    QCOMPARE(click(stars->starRect(5).center()), 5);

    stars->setFocus();
    const std::pair<Qt::Key, int> keys[]
        = { { Qt::Key_Left, 4 }, { Qt::Key_Home, 0 }, { Qt::Key_Left, 0 }, { Qt::Key_End, 5 }, { Qt::Key_Down, 4 } };
    for (const auto& key : keys) {
        QTest::keyClick(stars, key.first);
        QCOMPARE(stars->value(), key.second);
    }

    stars->setValue(9); // clamped
    QCOMPARE(stars->value(), 5);
}

QTEST_MAIN(TestTagWidgets)
#include "tst_tagwidgets.moc"
