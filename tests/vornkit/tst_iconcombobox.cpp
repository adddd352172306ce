#include "widgets/iconcombobox.h"
#include "widgets/iconlineedit.h"
#include "widgets/icontextlabel.h"
#include "widgets/multicombobox.h"

#include <QAbstractItemView>
#include <QSignalSpy>
#include <QTest>

namespace {

QIcon solidIcon(const QColor& color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

// Clicks an item of the open list as a user would.
void clickItem(QComboBox& box, int row)
{
    QAbstractItemView* view = box.view();
    const QRect rect = view->visualRect(view->model()->index(row, box.modelColumn()));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

// The items' check marks, "1" for checked, "0" for not.
QString checks(QComboBox& box)
{
    QString marks;
    for (int i = 0; i < box.count(); ++i)
        marks += box.itemData(i, Qt::CheckStateRole).toBool() ? '1' : '0';
    return marks;
}

QStringList chipTexts(IconComboBox& box)
{
    QList<IconTextLabelData> tags;
    box.getCurrentTags(tags);
    QStringList texts;
    for (const IconTextLabelData& tag : tags)
        texts << tag.text;
    return texts;
}

} // namespace

class TestIconComboBox : public QObject {
    Q_OBJECT
private slots:
    void clicksToggleChecksAndChips();
    void chipLabels();
    void multiComboBoxText();
};

void TestIconComboBox::clicksToggleChecksAndChips()
{
    IconComboBox box;
    box.addItem(solidIcon(Qt::red), "红色", 0xFFFF0000u);
    box.addItem(solidIcon(Qt::green), "绿色", 0xFF00FF00u);
    box.addItem(solidIcon(Qt::blue), "<i>蓝色</i>", 0xFF0000FFu);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QSignalSpy changed(&box, &IconComboBox::userDataChanged);
    box.showPopup();
    QTRY_VERIFY(box.view()->isVisible());

    // Each click toggles its item and signals; the list stays open; the chips carry the items' data.
    clickItem(box, 1);
    clickItem(box, 2);
    QVERIFY(box.view()->isVisible());
    QCOMPARE(checks(box), QString("011"));
    QCOMPARE(chipTexts(box), QStringList({ "绿色", "<i>蓝色</i>" }));
    QList<IconTextLabelData> tags;
    box.getCurrentTags(tags);
    QCOMPARE(tags.at(1).userData.toUInt(), 0xFF0000FFu);
    QVERIFY(!tags.at(1).icon.isNull());
    clickItem(box, 1);
    QCOMPARE(box.itemData(1, Qt::CheckStateRole).type(), QVariant::Bool);
    QCOMPARE(checks(box), QString("001"));
    QCOMPARE(chipTexts(box), QStringList({ "<i>蓝色</i>" }));
    QCOMPARE(changed.count(), 3);
    box.hidePopup();

    // Clearing is silent and unchecks everything.
    box.clearCurrentTags();
    QCOMPARE(changed.count(), 3);
    QVERIFY(chipTexts(box).isEmpty());
    QCOMPARE(checks(box), QString("000"));

    // The list checks the items named by the chips when it opens: case matters, every match counts.
    IconComboBox named;
    for (const char* text : { "a", "b", "a", "A" })
        named.addItem(QString::fromLatin1(text));
    named.show();
    QSignalSpy namedChanged(&named, &IconComboBox::userDataChanged);
    named.setCurrentTags({ IconTextLabelData(QIcon(), "a") });
    QCOMPARE(namedChanged.count(), 1);
    named.showPopup();
    QCOMPARE(checks(named), QString("1010"));
    named.hidePopup();
    named.setCurrentTags({});
    named.showPopup();
    QCOMPARE(checks(named), QString("0000"));
    named.hidePopup();
}

void TestIconComboBox::chipLabels()
{
    IconLineEdit edit;
    IconTextLabel* first = edit.addTag(IconTextLabelData(solidIcon(Qt::red), "<b>x</b>", QIcon(), true, 5));
    edit.addTag(IconTextLabelData(QIcon(), "y"));
    QCOMPARE(first->getTextLabel()->textFormat(), Qt::PlainText);
    QCOMPARE(first->getTextLabel()->text(), QString("<b>x</b>"));
    first->setShowButton(false);
    QList<IconTextLabelData> tags;
    edit.getTags(tags);
    QCOMPARE(tags.size(), 2);
    QCOMPARE(tags.at(0).userData.toInt(), 5);
    QVERIFY(!tags.at(0).showButton);

    // The text is blank while there are chips.
    edit.setTags({ IconTextLabelData(QIcon(), "z") });
    QCOMPARE(edit.text(), QString(" "));
    edit.clearTag();
    QCOMPARE(edit.text(), QString());
}

void TestIconComboBox::multiComboBoxText()
{
    MultiComboBox editable;
    editable.setEditable(true);
    editable.addItems({ "a", "b", "c" });
    editable.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editable));
    editable.setEditText("");
    editable.showPopup();
    clickItem(editable, 0);
    clickItem(editable, 1);
    QCOMPARE(editable.currentText(), QString("a b"));
    clickItem(editable, 0);
    QCOMPARE(editable.currentText(), QString("b"));
    editable.hidePopup();

    // The checks follow the text when the list opens.
    editable.setEditText("  c   a ");
    editable.showPopup();
    QCOMPARE(checks(editable), QString("101"));
    editable.hidePopup();

    // Not editable: an item shows only while exactly one is checked.
    MultiComboBox fixed;
    fixed.addItems({ "a", "b" });
    fixed.show();
    QVERIFY(QTest::qWaitForWindowExposed(&fixed));
    fixed.setCurrentIndex(-1);
    fixed.showPopup();
    for (const auto& step : { std::make_pair(0, 0), std::make_pair(1, -1), std::make_pair(0, 1) }) {
        clickItem(fixed, step.first);
        QCOMPARE(fixed.currentIndex(), step.second);
    }
    fixed.hidePopup();
}

QTEST_MAIN(TestIconComboBox)
#include "tst_iconcombobox.moc"
