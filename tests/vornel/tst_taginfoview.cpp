#include "common/photomaker.h"
#include "common/vorneltest.h"
#include "dialogs/histexttagdlg.h"
#include "meta/colorstat.h"
#include "panels/taginfoview.h"
#include "records/histaglist.h"
#include "tagwidgets/qxtstars.h"
#include "tagwidgets/xalltagcontainer.h"
#include "tagwidgets/xseltagcontainer.h"
#include "tagwidgets/xtaglabel.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTextEdit>

using namespace testutil;

namespace {

void click(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
}

struct Spies {
    explicit Spies(TagInfoView& v)
        : star(&v, &TagInfoView::saveStar)
        , rgbs(&v, &TagInfoView::saveRgbs)
        , texts(&v, &TagInfoView::saveTextTags)
        , all(&v, &TagInfoView::saveTags)
    {
    }
    int total() const { return star.count() + rgbs.count() + texts.count() + all.count(); }
    QSignalSpy star, rgbs, texts, all;
};

} // namespace

class TestTagInfoView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_env = std::make_unique<VornelEnv>();
        QVERIFY(m_env->ok);
    }
    void cleanupTestCase() { m_env.reset(); }
    void init()
    {
        AppCfg::instance()->tag = CfgTag();
        HisTagList::m_hisTags = QStringList { "dog", "新" };
    }
    void showAndEdit();
    void editsWaitForTheTagsToLoad();
    void checkBoxesWriteOnlyWhenClicked();
    void offeredTagsDialog();

private:
    std::unique_ptr<VornelEnv> m_env;
    TempDir m_dir;
};

void TestTagInfoView::showAndEdit()
{
    const QList<uint> palette = ColorStat::getPalette();
    const ItemInfoPtr info = loadedItem(makeImage(m_dir.path(), "猫 1.png"));
    QVERIFY(info);
    QVERIFY(info->setStar(2) && info->setRgbs({ palette[0] }) && info->setTextTags({ "猫", "dog" }));

    TagInfoView view;
    view.resize(320, 640);
    view.show();
    Spies spies(view);
    view.onLoadFile(info);
    QVERIFY(view.isEditable());
    QCOMPARE(view.starWidget()->value(), 2);
    QCOMPARE(view.selColors()->getColor(), QList<uint>({ palette[0] }));
    QCOMPARE(view.selTags()->getTag(), QStringList({ "猫", "dog" }));
    QCOMPARE(spies.total(), 0);

    // A chip already there sends nothing; a new one sends the whole list; closing the last colour an empty one.
    click(view.allColors()->findColor(palette[0]));
    click(view.allTags()->findTag("dog"));
    QCOMPARE(spies.total(), 0);
    click(view.allColors()->findColor(palette[3]));
    click(view.allTags()->findTag("新"));
    QCOMPARE(spies.rgbs.takeLast().at(0).value<QList<QRgb>>(), QList<QRgb>({ palette[0], palette[3] }));
    QCOMPARE(spies.texts.takeLast().at(0).toStringList(), QStringList({ "猫", "dog", "新" }));
    for (int i = 0; i < 2; ++i)
        view.selColors()->findColor(palette[i == 0 ? 0 : 3])->slot_close_clicked(false);
    QCOMPARE(spies.rgbs.takeLast().at(0).value<QList<QRgb>>(), QList<QRgb>());
    QTest::mouseClick(view.starWidget(), Qt::LeftButton, Qt::NoModifier, view.starWidget()->starRect(4).center());
    QCOMPARE(spies.star.takeLast().at(0).toInt(), 4);

    // Auto-save on disables "取消" and "保存" only; off, "保存" sends all three and "取消" shows the item again.
    QVERIFY(view.autoSaveBox()->isChecked() && !view.saveButton()->isEnabled());
    view.autoSaveBox()->click();
    QVERIFY(view.saveButton()->isEnabled() && view.restoreButton()->isEnabled());
    view.saveButton()->click();
    QCOMPARE(spies.all.count(), 1);
    QCOMPARE(spies.all.at(0).at(0).toInt(), 4);
    QCOMPARE(spies.all.at(0).at(2).toStringList(), QStringList({ "猫", "dog", "新" }));
    view.restoreButton()->click();
    QCOMPARE(view.starWidget()->value(), 2);
    QCOMPARE(view.selTags()->getTag(), QStringList({ "猫", "dog" }));

    // A picture sent while the panel is hidden is not shown, and the old display can no longer be sent.
    view.hide();
    view.onLoadFile(info);
    QVERIFY(!view.heldItem() && !view.isEditable());
}

void TestTagInfoView::editsWaitForTheTagsToLoad()
{
    const QString path = photomaker::makePhoto(m_dir.path(), "tagged.jpg");
    QVERIFY(photomaker::setComment(path, "Exif.Photo.UserComment", photomaker::tagsJson(3, {}, { "海" })));
    const ItemInfoPtr info = itemFor(path);

    TagInfoView view;
    view.resize(320, 640);
    view.show();
    Spies spies(view);
    view.onLoadFile(info);
    // Nothing to edit yet: a click would have sent a list that does not hold the photo's tags.
    QVERIFY(!view.isEditable() && !view.starWidget()->isEnabled());
    click(view.allTags()->findTag("dog"));
    click(view.allColors()->findColor(ColorStat::getPalette()[1]));
    QCOMPARE(spies.total(), 0);

    // The tags arrive: the panel shows them on its own and allows edits.
    QVERIFY(info->load() == 0);
    QTRY_VERIFY_WITH_TIMEOUT(view.isEditable(), 20000);
    QCOMPARE(view.starWidget()->value(), 3);
    QCOMPARE(view.selTags()->getTag(), QStringList({ "海" }));
    click(view.allTags()->findTag("dog"));
    QCOMPARE(spies.texts.takeLast().at(0).toStringList(), QStringList({ "海", "dog" }));
    QVERIFY(QTest::qWaitFor([&] { return !info->isBusy(); }, 20000));
}

void TestTagInfoView::checkBoxesWriteOnlyWhenClicked()
{
    CfgTag& cfg = AppCfg::instance()->tag;
    cfg.tagAutoSave = 1;
    cfg.tagSaveToFile = 0;
    TagInfoView view;
    view.show();
    QVERIFY(view.autoSaveBox()->isChecked() && !view.autoSaveToFileBox()->isChecked());
    view.autoSaveToFileBox()->click();
    QCOMPARE(cfg.tagSaveToFile, 1);

    // The settings dialog turns auto-save off meanwhile: closing the panel keeps that, and the panel follows it.
    cfg.tagAutoSave = 0;
    view.close();
    QCOMPARE(cfg.tagAutoSave, 0);
    view.loadOptions();
    QVERIFY(!view.autoSaveBox()->isChecked());
    view.autoSaveBox()->click();
    QCOMPARE(cfg.tagAutoSave, 1);
}

void TestTagInfoView::offeredTagsDialog()
{
    TagInfoView view;
    view.show();
    QSignalSpy changed(&view, &TagInfoView::hisTextTagChanged);

    // Blanks alone, or separators alone, are refused and the dialog stays open; then three tags replace the list.
    QString firstText, refusal1, refusal2;
    auto dialog = onNextModal([&](QWidget* w) {
        auto* dlg = qobject_cast<HisTextTagDlg*>(w);
        QVERIFY(dlg);
        firstText = dlg->getTextTags();
        auto* edit = dlg->findChild<QTextEdit*>("txTextTags");
        auto* ok = dlg->findChild<QPushButton*>("btOk");
        edit->setPlainText(" \n\t ");
        auto box = answerMessageBox();
        ok->click();
        refusal1 = box->text;
        edit->setPlainText("，；、");
        box = answerMessageBox();
        ok->click();
        refusal2 = box->text;
        QVERIFY(dlg->isVisible());
        edit->setPlainText("山，水；云 山");
        ok->click();
    });
    view.slot_add_text_clicked(false);
    QVERIFY(dialog->ran);
    QCOMPARE(firstText, QString("dog 新 "));
    QCOMPARE(refusal1, QString("[文字标签] 不能为空。\n请输入后继续。"));
    QCOMPARE(refusal2, refusal1);
    QCOMPARE(HisTagList::m_hisTags, QStringList({ "山", "水", "云" }));
    QCOMPARE(view.allTags()->getTag(), HisTagList::m_hisTags);
    QCOMPARE(changed.count(), 1);

    // Cancelled: nothing changes.
    dialog = onNextModal([](QWidget* w) { w->findChild<QPushButton*>("btCancel")->click(); });
    view.slot_add_text_clicked(false);
    QVERIFY(dialog->ran);
    QCOMPARE(changed.count(), 1);
}

QTEST_MAIN(TestTagInfoView)
#include "tst_taginfoview.moc"
