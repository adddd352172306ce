#include "iconcombobox.h"
#include "iconlineedit.h"
#include "icontextlabel.h"
#include "multicombobox.h"

#include <QAbstractItemView>
#include <QLayout>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

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
    void popupRebuildsChecksFromChips();
    void chipLabelParts();
    void multiComboBoxText();
};

void TestIconComboBox::clicksToggleChecksAndChips()
{
    IconComboBox box;
    box.addItem(solidIcon(Qt::red), "红色", 0xFFFF0000u);
    box.addItem(solidIcon(Qt::green), "绿色", 0xFF00FF00u);
    box.addItem(solidIcon(Qt::blue), "<i>蓝色</i>", 0xFF0000FFu);
    QVERIFY(box.isEditable());
    QCOMPARE(box.lineEdit(), box.iconLineEdit());
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));

    QSignalSpy changed(&box, &IconComboBox::userDataChanged);
    QSignalSpy opened(&box, &IconComboBox::beforePopupOpen);
    QSignalSpy closing(&box, &IconComboBox::beforePopupClose);
    box.showPopup();
    QCOMPARE(opened.count(), 1);
    QTRY_VERIFY(box.view()->isVisible());

    clickItem(box, 1);
    QVERIFY(box.view()->isVisible()); // the list stays open
    QCOMPARE(box.itemData(1, Qt::CheckStateRole), QVariant(true));
    QCOMPARE(changed.count(), 1);
    clickItem(box, 2);
    QCOMPARE(chipTexts(box), QStringList({ "绿色", "<i>蓝色</i>" }));
    QList<IconTextLabelData> tags;
    box.getCurrentTags(tags);
    QCOMPARE(tags.at(0).userData.toUInt(), 0xFF00FF00u);
    QCOMPARE(tags.at(1).userData.toUInt(), 0xFF0000FFu);
    QVERIFY(!tags.at(0).icon.isNull());
    QCOMPARE(box.iconLineEdit()->text(), QString(" "));

    // The same item twice: no chip for it, and a signal each time.
    clickItem(box, 1);
    QCOMPARE(box.itemData(1, Qt::CheckStateRole).type(), QVariant::Bool);
    QCOMPARE(box.itemData(1, Qt::CheckStateRole).toBool(), false);
    QCOMPARE(chipTexts(box), QStringList({ "<i>蓝色</i>" }));
    QCOMPARE(changed.count(), 3);

    box.hidePopup();
    QCOMPARE(closing.count(), 1);

    // Clearing is silent and unchecks everything.
    box.clearCurrentTags();
    QCOMPARE(changed.count(), 3);
    QVERIFY(chipTexts(box).isEmpty());
    QCOMPARE(box.iconLineEdit()->text(), QString());
    for (int i = 0; i < box.count(); ++i)
        QCOMPARE(box.itemData(i, Qt::CheckStateRole), QVariant(false));
}

void TestIconComboBox::popupRebuildsChecksFromChips()
{
    IconComboBox box;
    for (const char* text : { "a", "b", "a", "A" })
        box.addItem(QString::fromLatin1(text));
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QSignalSpy changed(&box, &IconComboBox::userDataChanged);

    box.setCurrentTags({ IconTextLabelData(QIcon(), "a") });
    QCOMPARE(changed.count(), 1);
    box.showPopup();
    // Both items named "a" are checked, "A" is not.
    QCOMPARE(box.itemData(0, Qt::CheckStateRole), QVariant(true));
    QCOMPARE(box.itemData(1, Qt::CheckStateRole), QVariant(false));
    QCOMPARE(box.itemData(2, Qt::CheckStateRole), QVariant(true));
    QCOMPARE(box.itemData(3, Qt::CheckStateRole), QVariant(false));
    box.hidePopup();

    box.setCurrentTags({});
    QCOMPARE(changed.count(), 2);
    QCOMPARE(box.iconLineEdit()->text(), QString());
    box.showPopup();
    for (int i = 0; i < box.count(); ++i)
        QCOMPARE(box.itemData(i, Qt::CheckStateRole), QVariant(false));
    box.hidePopup();
}

void TestIconComboBox::chipLabelParts()
{
    IconLineEdit edit;
    auto* layout = edit.findChild<QLayout*>("m_lay1");
    QVERIFY(layout);
    QCOMPARE(layout->count(), 1); // the trailing spacer

    IconTextLabel* first = edit.addTag(IconTextLabelData(solidIcon(Qt::red), "<b>x</b>", QIcon(), true, 5));
    IconTextLabel* second = edit.addTag(IconTextLabelData(QIcon(), "y"));
    QCOMPARE(layout->count(), 3);
    QCOMPARE(layout->indexOf(first), 0);
    QCOMPARE(layout->indexOf(second), 1);

    QCOMPARE(first->getTextTag(), QString("<b>x</b>"));
    QCOMPARE(first->getTextLabel()->textFormat(), Qt::PlainText);
    QVERIFY(first->getShowButton());
    QVERIFY(!second->getShowButton());
    QVERIFY(!first->getIcon().isNull());
    QVERIFY(second->getIcon().isNull());
    QCOMPARE(first->getUserData().toInt(), 5);
    QCOMPARE(first->getIconLabel()->size(), QSize(16, 16));
    QCOMPARE(first->sizeHint().width(),
        16 + first->getTextLabel()->sizeHint().width() + first->getButton()->sizeHint().width());
    first->setShowButton(false);
    QCOMPARE(first->sizeHint().width(), 16 + first->getTextLabel()->sizeHint().width());

    QList<IconTextLabelData> tags;
    edit.getTags(tags);
    QCOMPARE(tags.size(), 2);
    QCOMPARE(tags.at(0).text, QString("<b>x</b>"));
    QCOMPARE(tags.at(0).userData.toInt(), 5);
    QVERIFY(!tags.at(0).showButton);

    edit.setTags({ IconTextLabelData(QIcon(), "z") });
    QCOMPARE(edit.text(), QString(" "));
    tags.clear();
    edit.getTags(tags);
    QCOMPARE(tags.size(), 1);
    QCOMPARE(layout->count(), 2);
    edit.clearTag();
    QCOMPARE(layout->count(), 1);
    QCOMPARE(edit.text(), QString());
}

void TestIconComboBox::multiComboBoxText()
{
    MultiComboBox editable;
    editable.setEditable(true);
    editable.addItems({ "a", "b", "c" });
    QCOMPARE(editable.getDelimiter(), QString(" "));
    editable.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editable));
    editable.setEditText("");
    editable.showPopup();
    clickItem(editable, 0);
    clickItem(editable, 1);
    QVERIFY(editable.view()->isVisible());
    QCOMPARE(editable.currentText(), QString("a b"));
    QCOMPARE(editable.getCurrentText(), QStringList({ "a", "b" }));
    clickItem(editable, 0);
    QCOMPARE(editable.currentText(), QString("b"));
    editable.hidePopup();

    // The checks follow the text when the list opens.
    editable.setEditText("  c   a ");
    editable.showPopup();
    QCOMPARE(editable.itemData(0, Qt::CheckStateRole), QVariant(true));
    QCOMPARE(editable.itemData(1, Qt::CheckStateRole), QVariant(false));
    QCOMPARE(editable.itemData(2, Qt::CheckStateRole), QVariant(true));
    editable.hidePopup();

    editable.setDelimiter(",");
    editable.setEditText("a,,c");
    QCOMPARE(editable.getCurrentText(), QStringList({ "a", "c" }));

    // Not editable: an item shows only while exactly one is checked.
    MultiComboBox fixed;
    fixed.addItems({ "a", "b" });
    fixed.show();
    QVERIFY(QTest::qWaitForWindowExposed(&fixed));
    fixed.setCurrentIndex(-1);
    fixed.showPopup();
    clickItem(fixed, 0);
    QCOMPARE(fixed.currentIndex(), 0);
    clickItem(fixed, 1);
    QCOMPARE(fixed.currentIndex(), -1);
    clickItem(fixed, 0);
    QCOMPARE(fixed.currentIndex(), 1);
    fixed.hidePopup();
}

QTEST_MAIN(TestIconComboBox)
#include "tst_iconcombobox.moc"
