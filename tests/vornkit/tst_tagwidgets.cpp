#include "colorstat.h"
#include "qxtstars.h"
#include "xaddbutton.h"
#include "xalltagcontainer.h"
#include "xclosebutton.h"
#include "xpainterbegin.h"
#include "xpainterrestore.h"
#include "xseltagcontainer.h"
#include "xstatusbarlabel.h"
#include "xtaglabel.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>

class TestTagWidgets : public QObject {
    Q_OBJECT
private slots:
    void colourChipsFlowIntoRows();
    void addButtonRow();
    void textChipsFlowAndStayPlain();
    void recycleFindAndDelete();
    void chipSignalsAndSizes();
    void paintersAndStatusLabel();
    void starsByClickAndKey();
};

void TestTagWidgets::colourChipsFlowIntoRows()
{
    XTagContainer box;
    QCOMPARE(box.frameShape(), QFrame::Panel);
    QCOMPARE(box.frameShadow(), QFrame::Sunken);
    QCOMPARE(box.arrangeCtrl(100), 6);

    const QList<uint> palette = ColorStat::getPalette();
    QCOMPARE(palette.size(), 12);
    box.setColor(palette.mid(0, 5));
    // 48 x 20 swatches: two fit in 120 (6..54, 60..108; a third would end at 168 + 6).
    QCOMPARE(box.arrangeCtrl(120), 6 + 3 * 26 + 6 - 6);
    const QPoint expected[] = { { 6, 6 }, { 60, 6 }, { 6, 32 }, { 60, 32 }, { 6, 58 } };
    for (int i = 0; i < 5; ++i) {
        XTagLabel* chip = box.findColor(palette.at(i));
        QVERIFY(chip);
        QCOMPARE(chip->geometry(), QRect(expected[i], QSize(48, 20)));
        QVERIFY(!chip->isHidden());
    }
    // The second chip needs exactly 60 + 48 + 6 = 114.
    box.setColor(palette.mid(0, 2));
    QCOMPARE(box.arrangeCtrl(114), 32);
    QCOMPARE(box.arrangeCtrl(113), 58);
    // The first chip of a row is placed even when the frame is narrower.
    QCOMPARE(box.arrangeCtrl(20), 58);
    QCOMPARE(box.findColor(palette.at(1))->pos(), QPoint(6, 32));
    QCOMPARE(box.getColor(), palette.mid(0, 2));
}

void TestTagWidgets::addButtonRow()
{
    XAllTagContainer box;
    QSignalSpy added(&box, &XAllTagContainer::sign_add_clicked);
    QCOMPARE(box.arrangeCtrl(100), 6 + 20 + 6);
    QCOMPARE(box.addButton()->pos(), QPoint(6, 6));
    QCOMPARE(box.addButton()->size(), QSize(24, 20));

    box.addColor(QStringList { "4294901760", "not a colour", "4278190335" });
    QCOMPARE(box.getColor(), QList<uint>({ 0xFFFF0000u, 0xFF0000FFu }));
    QCOMPARE(box.arrangeCtrl(200), 6 + 26 + 20 + 6);
    QCOMPARE(box.addButton()->pos(), QPoint(6, 32));

    box.show();
    QTest::mouseClick(box.addButton(), Qt::LeftButton);
    QCOMPARE(added.count(), 1);

    XSelTagContainer sel;
    sel.setTag({ "a" }, true);
    QCOMPARE(sel.getTag(), QStringList({ "a" }));
    QVERIFY(sel.findTag("a")->getShowClose());
}

void TestTagWidgets::textChipsFlowAndStayPlain()
{
    XTagContainer box;
    const QStringList texts { "风景", "<b>bold</b>", "a longer tag text", "x", "人物 家庭", "&amp;" };
    box.setTag(texts);
    QCOMPARE(box.getTag(), texts);
    const int width = 160;
    const int height = box.arrangeCtrl(width);
    QRect all;
    QList<QRect> placed;
    for (const QString& text : texts) {
        XTagLabel* chip = box.findTag(text);
        QVERIFY(chip);
        QCOMPARE(chip->textFormat(), Qt::PlainText);
        QCOMPARE(chip->text(), text);
        const QRect r = chip->geometry();
        QCOMPARE(r.size(), chip->minimumSizeHint());
        QVERIFY(r.left() == 6 || r.right() + 1 + 6 <= width);
        for (const QRect& other : placed)
            QVERIFY(!other.intersects(r));
        placed << r;
        all |= r;
    }
    QCOMPARE(height, all.bottom() + 1 + 6);
    // Rows are in order: a later chip is never above or left of an earlier one in its row.
    for (int i = 1; i < placed.size(); ++i)
        QVERIFY(placed[i].top() > placed[i - 1].top()
            || (placed[i].top() == placed[i - 1].top() && placed[i].left() > placed[i - 1].left()));
}

void TestTagWidgets::recycleFindAndDelete()
{
    XTagContainer box;
    box.setTag({ "a", "b", "c" }, true);
    box.arrangeCtrl(300);
    XTagLabel* a = box.findTag("a");
    QCOMPARE(box.findChildren<XTagLabel*>().size(), 3);

    // Fewer tags reuse hidden chips; the rest stay hidden.
    box.setTag({ "x" }, false);
    box.arrangeCtrl(300);
    QCOMPARE(box.getTag(), QStringList({ "x" }));
    QCOMPARE(box.findChildren<XTagLabel*>().size(), 3);
    QCOMPARE(box.findTag("x"), a);
    QVERIFY(a->getShowClose()); // a reused chip keeps its close button
    int hidden = 0;
    for (XTagLabel* chip : box.findChildren<XTagLabel*>())
        hidden += chip->isHidden();
    QCOMPARE(hidden, 2);

    box.setTag({ "Tag", "tag" });
    QCOMPARE(box.findTag("TAG"), nullptr);
    XTagLabel* lower = box.findTag("tag");
    QVERIFY(lower && lower != box.findTag("Tag"));
    QVERIFY(box.delTag(lower));
    QVERIFY(lower->isHidden());
    QVERIFY(!box.delTag(lower));
    QVERIFY(!box.delColor(nullptr));
    XTagLabel stranger("Tag", nullptr);
    QVERIFY(!box.delTag(&stranger));
    QCOMPARE(box.getTag(), QStringList({ "Tag" }));

    XTagContainer colours;
    colours.addColor(0xFF00FF00u);
    QVERIFY(colours.findColor(0xFF00FF00u));
    QCOMPARE(colours.findColor(QString::number(0xFF00FF00u)), colours.findColor(0xFF00FF00u));
    QCOMPARE(colours.findColor("junk"), nullptr);
    QVERIFY(colours.delColor(colours.findColor(0xFF00FF00u)));
    QVERIFY(colours.getColor().isEmpty());
}

void TestTagWidgets::chipSignalsAndSizes()
{
    qRegisterMetaType<XTagLabel*>();
    XSelTagContainer box;
    QSignalSpy tagClicked(&box, &XTagContainer::sign_tag_clicked);
    QSignalSpy closeClicked(&box, &XTagContainer::sign_close_clicked);
    box.setTag({ "one", "two" }, true);
    box.resize(300, 100);
    box.arrangeCtrl(300);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));

    XTagLabel* two = box.findTag("two");
    QTest::mouseClick(two, Qt::LeftButton, {}, QPoint(4, two->height() / 2));
    QCOMPARE(tagClicked.count(), 1);
    QCOMPARE(tagClicked.first().first().value<XTagLabel*>(), two);
    QTest::mouseClick(two, Qt::RightButton, {}, QPoint(4, two->height() / 2));
    QCOMPARE(tagClicked.count(), 1);

    auto* close = two->findChild<XCloseButton*>();
    QVERIFY(close);
    QCOMPARE(close->geometry(), QRect(two->width() - 16, 0, 16, 16));
    QTest::mouseClick(close, Qt::LeftButton);
    QCOMPARE(closeClicked.count(), 1);
    QCOMPARE(closeClicked.first().first().value<XTagLabel*>(), two);

    // Sizes: a close button widens QLabel's hint by 12, a swatch is 48 x 20.
    XTagLabel plain("sample");
    XTagLabel closable("sample", true, nullptr);
    QCOMPARE(plain.frameShape(), QFrame::NoFrame);
    QCOMPARE(closable.frameShape(), QFrame::Panel);
    QCOMPARE(closable.frameShadow(), QFrame::Raised);
    plain.setFrameStyle(QFrame::Panel | QFrame::Raised);
    QCOMPARE(closable.sizeHint().width(), plain.sizeHint().width() + 12);
    closable.setShowClose(false);
    QVERIFY(!closable.getShowClose());
    QCOMPARE(closable.sizeHint(), plain.sizeHint());
    plain.setShowClose(true);
    QVERIFY(plain.getShowClose());

    XTagLabel swatch;
    swatch.setRgb(0x11, 0x22, 0x33);
    QVERIFY(swatch.isRgb());
    QCOMPARE(swatch.getRgb(), 0xFF112233u);
    QCOMPARE(swatch.sizeHint(), QSize(48, 20));
    QCOMPARE(swatch.minimumSizeHint(), QSize(48, 20));
    QVERIFY(swatch.styleSheet().contains("rgb(17,34,51)"));
    QCOMPARE(swatch.getPen().color(), QColor(Qt::gray));
    QCOMPARE(swatch.getPen().width(), 2);
}

void TestTagWidgets::paintersAndStatusLabel()
{
    QImage img(10, 10, QImage::Format_ARGB32);
    QPainter painter(&img);
    {
        XPainterBegin pause(painter);
        QVERIFY(!painter.isActive());
    }
    QVERIFY(painter.isActive());
    QCOMPARE(painter.device(), &img);
    painter.setPen(Qt::red);
    {
        XPainterRestore keep(&painter);
        painter.setPen(Qt::blue);
    }
    QCOMPARE(painter.pen().color(), QColor(Qt::red));
    painter.end();
    XPainterBegin nullBegin(static_cast<QPainter*>(nullptr));
    XPainterRestore nullRestore(static_cast<QPainter*>(nullptr));

    XStatusBarLabel label("状态");
    QSignalSpy clicked(&label, &XStatusBarLabel::sign_clicked);
    QTest::mousePress(&label, Qt::RightButton);
    QCOMPARE(clicked.count(), 0);
    QTest::mousePress(&label, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);

    XAddButton add;
    QCOMPARE(add.getHSpace(), 8);
    QCOMPARE(add.getLineColor(), Qt::darkGray);
    XCloseButton cross;
    QCOMPARE(cross.shrink(), 6);
    QCOMPARE(cross.lineWidth(), 2);
}

void TestTagWidgets::starsByClickAndKey()
{
    QWidget host;
    auto* stars = new QxtStars(&host);
    stars->setOrientation(Qt::Horizontal);
    QCOMPARE(stars->minimum(), 0);
    QCOMPARE(stars->maximum(), 5);
    QCOMPARE(stars->value(), 0);
    stars->resize(stars->sizeHint());
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QSignalSpy changed(stars, &QxtStars::valueChanged);

    QTest::mouseClick(stars, Qt::LeftButton, {}, stars->starRect(3).center());
    QCOMPARE(stars->value(), 3);
    QCOMPARE(changed.last().first().toInt(), 3);
    // The gap after a star belongs to it.
    QTest::mouseClick(stars, Qt::LeftButton, {}, QPoint(stars->starRect(4).right() + 1, stars->height() / 2));
    QCOMPARE(stars->value(), 4);
    // The current star again clears the rating.
    QTest::mouseClick(stars, Qt::LeftButton, {}, stars->starRect(4).center());
    QCOMPARE(stars->value(), 0);
    QTest::mouseClick(stars, Qt::LeftButton, {}, stars->starRect(5).center());
    QCOMPARE(stars->value(), 5);

    stars->setFocus();
    QTest::keyClick(stars, Qt::Key_Left);
    QCOMPARE(stars->value(), 4);
    QTest::keyClick(stars, Qt::Key_Home);
    QCOMPARE(stars->value(), 0);
    QTest::keyClick(stars, Qt::Key_Left);
    QCOMPARE(stars->value(), 0);
    QTest::keyClick(stars, Qt::Key_End);
    QCOMPARE(stars->value(), 5);
    QTest::keyClick(stars, Qt::Key_Down);
    QCOMPARE(stars->value(), 4);

    // Set in code: clamped, and silent while blocked (the tag panel loads a picture this way).
    const int signals_ = changed.count();
    stars->blockSignals(true);
    stars->setValue(9);
    stars->blockSignals(false);
    QCOMPARE(stars->value(), 5);
    QCOMPARE(changed.count(), signals_);

    // Five stars are painted: lit ones differ from unlit ones.
    stars->setValue(2);
    const QImage img = stars->grab().toImage();
    const QPoint lit = stars->starRect(1).center();
    const QPoint unlit = stars->starRect(5).center();
    QVERIFY(img.pixelColor(lit) != img.pixelColor(unlit));
    QCOMPARE(img.pixelColor(stars->starRect(2).center()), img.pixelColor(lit));
    QCOMPARE(img.pixelColor(stars->starRect(3).center()), img.pixelColor(unlit));
}

QTEST_MAIN(TestTagWidgets)
#include "tst_tagwidgets.moc"
