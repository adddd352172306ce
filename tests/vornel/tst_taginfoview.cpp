#include "common/photomaker.h"
#include "common/vorneltest.h"
#include "meta/colorstat.h"
#include "panels/taginfoview.h"
#include "records/histaglist.h"
#include "tagwidgets/qxtstars.h"
#include "tagwidgets/xalltagcontainer.h"
#include "tagwidgets/xseltagcontainer.h"
#include "tagwidgets/xtaglabel.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTextEdit>

using namespace testutil;

namespace {

void click(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
}

// The first argument of the signal's last emission, taken off the spy; invalid when none came.
QVariant lastArg(QSignalSpy& spy)
{
    return spy.isEmpty() ? QVariant() : spy.takeLast().at(0);
}

} // namespace

class TestTagInfoView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_env.ok); }
    void init()
    {
        AppCfg::instance()->tag = CfgTag();
        HisTagList::m_hisTags = QStringList { "dog", "新" };
        m_view = std::make_unique<TagInfoView>();
        m_view->resize(320, 640);
        m_view->show();
    }
    void showAndEdit();
    void editsWaitForTheTagsToLoad();
    void offeredTagsDialog();
    void narrowPanelScrolls();

private:
    VornelEnv m_env;
    std::unique_ptr<TagInfoView> m_view;
    TempDir m_dir;
};

void TestTagInfoView::showAndEdit()
{
    TagInfoView& view = *m_view;
    const QList<uint> palette = ColorStat::getPalette();
    const ItemInfoPtr info = loadedItem(makeImage(m_dir.path(), "猫 1.png"));
    QVERIFY(info && info->setStar(2) && info->setRgbs({ palette[0] }) && info->setTextTags({ "猫", "dog" }));
    QSignalSpy rgbs(&view, &TagInfoView::saveRgbs), texts(&view, &TagInfoView::saveTextTags),
        star(&view, &TagInfoView::saveStar), all(&view, &TagInfoView::saveTags);
    view.onLoadFile(info);
    QCOMPARE(view.starWidget()->value(), 2);
    QCOMPARE(view.selTags()->getTag(), QStringList({ "猫", "dog" }));

    // Loading and clicking what is already there send nothing; a new chip sends the whole list, and closing the
    // last colour an empty one.
    click(view.allColors()->findColor(palette[0]));
    click(view.allTags()->findTag("dog"));
    QCOMPARE(rgbs.count() + texts.count() + star.count(), 0);
    click(view.allTags()->findTag("新"));
    QCOMPARE(lastArg(texts).toStringList(), QStringList({ "猫", "dog", "新" }));
    click(view.allColors()->findColor(palette[3]));
    QCOMPARE(lastArg(rgbs).value<QList<QRgb>>(), QList<QRgb>({ palette[0], palette[3] }));
    view.selColors()->findColor(palette[0])->slot_close_clicked(false);
    view.selColors()->findColor(palette[3])->slot_close_clicked(false);
    QCOMPARE(rgbs.count(), 2);
    QVERIFY(lastArg(rgbs).value<QList<QRgb>>().isEmpty());

    // A click on the auto-save box writes the setting; without it, "保存" sends all three.
    CfgTag& cfg = AppCfg::instance()->tag;
    view.autoSaveBox()->click();
    QCOMPARE(cfg.tagAutoSave, 0);
    view.saveButton()->click();
    QCOMPARE(all.value(0).value(2).toStringList(), QStringList({ "猫", "dog", "新" }));

    // The settings dialog turns auto-save on meanwhile: closing the panel keeps that. A picture sent while the
    // panel is hidden is not taken, and what stays on show can no longer be sent.
    cfg.tagAutoSave = 1;
    view.close();
    QCOMPARE(cfg.tagAutoSave, 1);
    view.onLoadFile(info);
    QVERIFY(!view.heldItem() && !view.isEditable());
}

void TestTagInfoView::editsWaitForTheTagsToLoad()
{
    TagInfoView& view = *m_view;
    const QString path = photomaker::makePhoto(m_dir.path(), "tagged.jpg");
    QVERIFY(photomaker::setComment(path, "Exif.Photo.UserComment", photomaker::tagsJson(3, {}, { "海" })));
    const ItemInfoPtr info = itemFor(path);
    QSignalSpy rgbs(&view, &TagInfoView::saveRgbs), texts(&view, &TagInfoView::saveTextTags);
    view.onLoadFile(info);
    // Nothing to edit yet: a click would send a list that lacks the photo's own tags.
    QVERIFY(!view.isEditable());
    click(view.allTags()->findTag("dog"));
    click(view.allColors()->findColor(ColorStat::getPalette()[1]));
    QCOMPARE(rgbs.count() + texts.count(), 0);

    // The tags arrive: the panel shows them on its own and takes edits.
    QVERIFY(info->load() == 0);
    QTRY_VERIFY_WITH_TIMEOUT(view.isEditable(), 20000);
    QCOMPARE(view.starWidget()->value(), 3);
    click(view.allTags()->findTag("dog"));
    QCOMPARE(lastArg(texts).toStringList(), QStringList({ "海", "dog" }));
    QVERIFY(QTest::qWaitFor([&] { return !info->isBusy(); }, 20000));
}

void TestTagInfoView::offeredTagsDialog()
{
    QSignalSpy changed(m_view.get(), &TagInfoView::hisTextTagChanged);
    // The dialog starts from the offered list; separators alone are refused and it stays open, then three tags
    // replace the list.
    QString firstText, refusal;
    auto dialog = onNextModal([&](QWidget* dlg, ModalCatch&) {
        auto* edit = dlg->findChild<QTextEdit*>("txTextTags");
        firstText = edit->toPlainText();
        edit->setPlainText("，；、");
        const auto box = answerMessageBox(2000);
        dlg->findChild<QPushButton*>("btOk")->click();
        refusal = box->text;
        edit->setPlainText("山，水；云 山");
        dlg->findChild<QPushButton*>("btOk")->click();
    });
    m_view->slot_add_text_clicked(false);
    QVERIFY(dialog->ran);
    QCOMPARE(firstText, QString("dog 新 "));
    QVERIFY(refusal.contains("不能为空"));
    QCOMPARE(HisTagList::m_hisTags, QStringList({ "山", "水", "云" }));
    QCOMPARE(m_view->allTags()->getTag(), HisTagList::m_hisTags);
    QCOMPARE(changed.count(), 1);
}

// A panel too small for its chips scrolls: the area keeps the height its form needs, and every offered colour
// stays inside its group where it can be clicked.
void TestTagInfoView::narrowPanelScrolls()
{
    m_view->resize(250, 340);
    QTest::qWait(50);
    auto* area = m_view->findChild<QScrollArea*>("m_scroll")->widget();
    auto* group = m_view->findChild<QGroupBox*>("gbColor");
    QVERIFY(area->height() >= area->minimumSizeHint().height());
    const QList<XTagLabel*> chips = m_view->allColors()->findChildren<XTagLabel*>();
    QCOMPARE(chips.size(), ColorStat::getPalette().size());
    for (XTagLabel* chip : chips)
        QVERIFY(group->rect().contains(QRect(chip->mapTo(group, QPoint()), chip->size())));
}

QTEST_MAIN(TestTagInfoView)
#include "tst_taginfoview.moc"
