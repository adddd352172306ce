#include "app/cfgnotifier.h"
#include "app/fileassoc.h"
#include "common/vorneltest.h"
#include "dialogs/settingdlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>

using namespace testutil;

// Runs in its own XdgHome (see main) and program folder.
class TestSettingDlg : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { m_env.reset(); }
    void init();
    void sizesTheLoaderKeeps();
    void settingsRoundTrip();
    void presets();
    void windowsToldOfChanges();
    void associationBoxes();

private:
    std::unique_ptr<VornelEnv> m_env;
};

// The dialog's parts by name.
struct Dlg : SettingDlg {
    QSpinBox* spin(const char* name) const { return findChild<QSpinBox*>(name); }
    QCheckBox* box(const char* name) const { return findChild<QCheckBox*>(name); }
    QComboBox* combo(const char* name) const { return findChild<QComboBox*>(name); }
    void click(const char* name) const { findChild<QAbstractButton*>(name)->click(); }
};

void TestSettingDlg::initTestCase()
{
    m_env = std::make_unique<VornelEnv>();
    QVERIFY(m_env->ok);
}

void TestSettingDlg::init()
{
    QFile::remove(AppCfg::cfgFile());
    AppCfg::instance(1)->load();
    QFile::remove(assocMimeAppsPath());
    QFile::remove(assocDesktopEntryPath());
}

// The size boxes start where the settings loader accepts sizes: the smallest the user can type reads back the same.
void TestSettingDlg::sizesTheLoaderKeeps()
{
    Dlg dlg;
    for (const char* name :
        { "sbItemWidth", "sbItemHeight", "sbThumbWidth", "sbThumbHeight", "sbListThumbWidth", "sbListThumbHeight" })
        dlg.spin(name)->setValue(0);
    dlg.click("btApply");
    AppCfg* cfg = AppCfg::instance(1);
    cfg->load();
    QCOMPARE(QList<int>({ cfg->item.itemWidth, cfg->item.itemHeight, cfg->cache.thumbWidth, cfg->cache.thumbHeight,
                 cfg->list.thumbWidth, cfg->list.thumbHeight }),
        QList<int>({ 10, 10, 10, 10, 1, 1 }));
}

void TestSettingDlg::settingsRoundTrip()
{
    AppCfg* cfg = AppCfg::instance();
    cfg->item.itemWidth = 256;
    cfg->item.showTagBorder = 0;
    cfg->cache.cacheBigImage = 1;
    cfg->tag.tagSaveToFile = 1;
    cfg->list.thumbHeight = 72;
    cfg->list.showFileSize = 1;
    {
        // The boxes show the settings; cancel writes nothing.
        Dlg dlg;
        QCOMPARE(dlg.spin("sbItemWidth")->value(), 256);
        QVERIFY(!dlg.box("cbShowTagBorder")->isChecked() && dlg.box("cbCacheBigImage")->isChecked());
        QVERIFY(dlg.box("cbTagSaveToFile")->isChecked() && dlg.box("cbListShowFileSize")->isChecked());
        dlg.spin("sbItemHeight")->setValue(300);
        dlg.click("btCancel");
        QCOMPARE(cfg->item.itemHeight, 192);
        QVERIFY(!QFile::exists(AppCfg::cfgFile()));
    }

    // Applied in place from every page, the cell's parts laid out for the new size, and saved.
    Dlg dlg;
    dlg.spin("sbItemHeight")->setValue(300);
    dlg.box("cbShowTag")->setChecked(false);
    dlg.spin("sbThumbWidth")->setValue(320);
    dlg.box("cbTagAutoSave")->setChecked(false);
    dlg.spin("sbListThumbWidth")->setValue(128);
    dlg.box("cbListShowImageSize")->setChecked(true);
    dlg.click("btApply");
    QCOMPARE(cfg->item.rcItem.height(), 300);
    AppCfg* saved = AppCfg::instance(1);
    saved->load();
    QCOMPARE(QList<int>({ saved->item.itemWidth, saved->item.itemHeight, saved->item.showTag, saved->cache.thumbWidth,
                 saved->cache.cacheBigImage, saved->tag.tagAutoSave, saved->tag.tagSaveToFile, saved->list.thumbWidth,
                 saved->list.thumbHeight, saved->list.showImageSize }),
        QList<int>({ 256, 300, 0, 320, 1, 0, 1, 128, 72, 1 }));
}

void TestSettingDlg::presets()
{
    AppCfg::instance()->item.itemWidth = 256;
    AppCfg::instance()->item.itemHeight = 256;
    Dlg dlg;
    QComboBox* thumbs = dlg.combo("cbRecommendThumbSize");
    QCOMPARE(dlg.combo("cbAdviseItemSize")->currentText(), QString("256x256"));
    QCOMPARE(thumbs->currentText(), QString("192x108"));

    // A size that is no preset leaves the combo without one; a preset fills both boxes and stays chosen.
    dlg.spin("sbThumbWidth")->setValue(200);
    QCOMPARE(thumbs->currentIndex(), -1);
    thumbs->setCurrentText("512x288");
    QCOMPARE(QSize(dlg.spin("sbThumbWidth")->value(), dlg.spin("sbThumbHeight")->value()), QSize(512, 288));
    QCOMPARE(thumbs->currentText(), QString("512x288"));
}

void TestSettingDlg::windowsToldOfChanges()
{
    QSignalSpy items(CfgNotifier::instance(), &CfgNotifier::itemChanged);
    QSignalSpy lists(CfgNotifier::instance(), &CfgNotifier::listChanged);

    // Nothing changed: nothing is laid out again.
    Dlg().click("btOk");
    QCOMPARE(items.count() + lists.count(), 0);

    // A new cell size: "应用" tells the windows, "确定" after it has nothing more to tell.
    {
        Dlg dlg;
        dlg.spin("sbItemWidth")->setValue(256);
        dlg.click("btApply");
        QCOMPARE(items.count(), 1);
        dlg.click("btOk");
    }
    QCOMPARE(items.count(), 1);

    // The strip is told of a new thumbnail width as of a new height.
    {
        Dlg dlg;
        dlg.spin("sbListThumbWidth")->setValue(128);
        dlg.click("btOk");
    }
    QCOMPARE(lists.count(), 1);
    QCOMPARE(items.count(), 1);
}

void TestSettingDlg::associationBoxes()
{
    const auto checked = [](const SettingDlg& dlg) {
        QStringList out;
        for (const QCheckBox* b : dlg.fileTypeBoxes())
            if (b->isChecked())
                out << b->text();
        return out;
    };

    // Types that open with an entry of another program's path are not ticked.
    QCOMPARE(associateFileType("png"), 0);
    QCOMPARE(writeOpenCommand(), 0);
    QByteArray moved = readBytes(assocDesktopEntryPath());
    moved.replace(QFile::encodeName(QCoreApplication::applicationFilePath()), "/bin/true");
    QVERIFY(writeBytes(assocDesktopEntryPath(), moved));
    QCOMPARE(checked(Dlg()), QStringList());
    QCOMPARE(writeOpenCommand(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(checked(Dlg()), QStringList({ "png" }), 10000);
    QCOMPARE(unassociateFileType("png"), 0);

    // A click changes the type at once; the boxes of the same type follow.
    const QByteArray before = readBytes(assocMimeAppsPath());
    Dlg dlg;
    dlg.click("jpg");
    QCOMPARE(checked(dlg), QStringList({ "jpeg", "jpg" }));
    QVERIFY(readBytes(assocMimeAppsPath()).contains("image/jpeg=vornel.desktop"));
    dlg.click("jpeg");
    QCOMPARE(checked(dlg), QStringList());
    QCOMPARE(readBytes(assocMimeAppsPath()), before);

    // "全选" takes every type and gives every one back.
    dlg.click("cbAll");
    QCOMPARE(checked(dlg).size(), dlg.fileTypeBoxes().size());
    QTRY_VERIFY_WITH_TIMEOUT(Dlg().box("cbAll")->isChecked(), 10000);
    dlg.click("cbAll");
    QCOMPARE(checked(dlg), QStringList());
    QCOMPARE(readBytes(assocMimeAppsPath()), before);

    // A change that fails leaves the box showing what holds.
    const QByteArray garbage = "not a key file\n";
    QVERIFY(writeBytes(assocMimeAppsPath(), garbage));
    dlg.click("png");
    QVERIFY(!dlg.box("png")->isChecked());
    QCOMPARE(readBytes(assocMimeAppsPath()), garbage);
}

VORN_XDG_TEST_MAIN(TestSettingDlg)
#include "tst_settingdlg.moc"
