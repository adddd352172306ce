#include "app/cfgnotifier.h"
#include "app/fileassoc.h"
#include "common/vorneltest.h"
#include "dialogs/settingdlg.h"
#include "grid/medialistview.h"
#include "grid/mediamodel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>

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
    void windowsLaidOutAgain();
    void associationBoxes();

private:
    std::unique_ptr<VornelEnv> m_env;
};

template <class T> static T* child(const QObject& dlg, const char* name)
{
    return dlg.findChild<T*>(name);
}

static QSpinBox* spin(QObject& dlg, const char* name)
{
    return child<QSpinBox>(dlg, name);
}

static QCheckBox* box(QObject& dlg, const char* name)
{
    return child<QCheckBox>(dlg, name);
}

static QComboBox* combo(QObject& dlg, const char* name)
{
    return child<QComboBox>(dlg, name);
}

static void click(QObject& dlg, const char* name)
{
    child<QAbstractButton>(dlg, name)->click();
}

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

// The size boxes start where the settings loader accepts sizes; whatever they let the user type, the settings
// file read back gives the same sizes.
void TestSettingDlg::sizesTheLoaderKeeps()
{
    SettingDlg dlg;
    QCOMPARE(child<QTabWidget>(dlg, "tabWidget")->currentIndex(), 4);
    const char* names[]
        = { "sbItemWidth", "sbItemHeight", "sbThumbWidth", "sbThumbHeight", "sbListThumbWidth", "sbListThumbHeight" };
    for (const char* name : names) {
        QCOMPARE(spin(dlg, name)->maximum(), 512);
        spin(dlg, name)->setValue(0);
    }
    click(dlg, "btApply");
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
    cfg->item.showFileName = 1;
    cfg->item.showTagBorder = 0;
    cfg->cache.cacheBigImage = 1;
    cfg->tag.tagSaveToFile = 0;
    cfg->list.thumbHeight = 72;
    cfg->list.showFileSize = 1;
    {
        SettingDlg dlg;
        QCOMPARE(spin(dlg, "sbItemWidth")->value(), 256);
        QCOMPARE(combo(dlg, "cbAdviseItemSize")->currentIndex(), -1); // 256x192 is no preset
        QVERIFY(box(dlg, "cbShowFileName")->isChecked() && !box(dlg, "cbShowTagBorder")->isChecked());
        QVERIFY(box(dlg, "cbCacheBigImage")->isChecked() && !box(dlg, "cbTagSaveToFile")->isChecked());
        QVERIFY(box(dlg, "cbListShowFileSize")->isChecked());

        // Cancel writes nothing.
        spin(dlg, "sbItemHeight")->setValue(300);
        box(dlg, "cbShowColor")->setChecked(false);
        click(dlg, "btCancel");
        QCOMPARE(cfg->item.itemHeight, 192);
        QVERIFY(!QFile::exists(AppCfg::cfgFile()));
    }
    QVERIFY(!QSettings("tamrolek", "vornel").value("SettingDlg/Geometry").toByteArray().isEmpty());

    SettingDlg dlg;
    spin(dlg, "sbItemHeight")->setValue(300);
    box(dlg, "cbShowTag")->setChecked(false);
    spin(dlg, "sbThumbWidth")->setValue(320);
    box(dlg, "cbTagAutoSave")->setChecked(false);
    spin(dlg, "sbListThumbWidth")->setValue(128);
    box(dlg, "cbListShowImageSize")->setChecked(true);
    click(dlg, "btApply");
    // Applied in place, the cell's parts laid out for the new size, and saved.
    QCOMPARE(cfg->item.rcItem.height(), 300);
    AppCfg* saved = AppCfg::instance(1);
    saved->load();
    QCOMPARE(QList<int>({ saved->item.itemWidth, saved->item.itemHeight, saved->item.showTag, saved->cache.thumbWidth,
                 saved->cache.cacheBigImage, saved->tag.tagAutoSave, saved->tag.tagSaveToFile, saved->list.thumbWidth,
                 saved->list.thumbHeight, saved->list.showImageSize }),
        QList<int>({ 256, 300, 0, 320, 1, 0, 0, 128, 72, 1 }));
}

void TestSettingDlg::presets()
{
    AppCfg::instance()->item.itemWidth = 256;
    AppCfg::instance()->item.itemHeight = 256;
    SettingDlg dlg;
    QCOMPARE(combo(dlg, "cbAdviseItemSize")->currentText(), QString("256x256"));
    QCOMPARE(combo(dlg, "cbRecommendThumbSize")->currentText(), QString("192x108"));

    // A size that is no preset leaves the combo without one; a preset fills both boxes and stays chosen.
    spin(dlg, "sbThumbWidth")->setValue(200);
    QCOMPARE(combo(dlg, "cbRecommendThumbSize")->currentIndex(), -1);
    combo(dlg, "cbRecommendThumbSize")->setCurrentText("512x288");
    QCOMPARE(spin(dlg, "sbThumbWidth")->value(), 512);
    QCOMPARE(spin(dlg, "sbThumbHeight")->value(), 288);
    QCOMPARE(combo(dlg, "cbRecommendThumbSize")->currentText(), QString("512x288"));
}

void TestSettingDlg::windowsLaidOutAgain()
{
    TempDir dir;
    QVERIFY(!makeImage(dir.path(), "a.jpg", 300, 200).isEmpty());
    QVERIFY(!makeImage(dir.path(), "b 中文.png", 120, 200).isEmpty());
    MediaListView grid;
    connect(CfgNotifier::instance(), &CfgNotifier::itemChanged, &grid, &MediaListView::onResizeItem);
    grid.resize(900, 600);
    grid.show();
    QSignalSpy listed(&grid, &MediaListView::findFileEnd);
    grid.listFolder(dir.path(), QString());
    QVERIFY(waitForSignal(listed));
    const QModelIndex first = grid.mediaModel()->index(0, 0);
    QCOMPARE(grid.visualRect(first).width(), 192);
    QSignalSpy items(CfgNotifier::instance(), &CfgNotifier::itemChanged);
    QSignalSpy lists(CfgNotifier::instance(), &CfgNotifier::listChanged);

    // Nothing changed: nothing is laid out again.
    {
        SettingDlg dlg;
        click(dlg, "btOk");
    }
    QCOMPARE(items.count() + lists.count(), 0);

    // "应用" then "确定": the grid takes the new width all the same.
    {
        SettingDlg dlg;
        spin(dlg, "sbItemWidth")->setValue(256);
        click(dlg, "btApply");
        click(dlg, "btOk");
    }
    QCOMPARE(items.count(), 1);
    QCOMPARE(grid.visualRect(first).width(), 256);

    // The strip is told of a new thumbnail width as of a new height.
    {
        SettingDlg dlg;
        spin(dlg, "sbListThumbWidth")->setValue(128);
        click(dlg, "btOk");
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
    QCOMPARE(checked(SettingDlg()), QStringList());
    QCOMPARE(writeOpenCommand(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(checked(SettingDlg()), QStringList({ "png" }), 10000);
    QCOMPARE(unassociateFileType("png"), 0);

    // A click changes the type at once; the boxes of the same type follow.
    const QByteArray before = readBytes(assocMimeAppsPath());
    SettingDlg dlg;
    click(dlg, "jpg");
    QCOMPARE(checked(dlg), QStringList({ "jpeg", "jpg" }));
    QVERIFY(readBytes(assocMimeAppsPath()).contains("image/jpeg=vornel.desktop"));
    click(dlg, "jpeg");
    QCOMPARE(checked(dlg), QStringList());
    QCOMPARE(readBytes(assocMimeAppsPath()), before);

    // "全选" takes every type and gives every one back.
    click(dlg, "cbAll");
    QCOMPARE(checked(dlg).size(), dlg.fileTypeBoxes().size());
    QTRY_VERIFY_WITH_TIMEOUT(child<QCheckBox>(SettingDlg(), "cbAll")->isChecked(), 10000);
    click(dlg, "cbAll");
    QCOMPARE(checked(dlg), QStringList());
    QCOMPARE(readBytes(assocMimeAppsPath()), before);
}

VORN_XDG_TEST_MAIN(TestSettingDlg)
#include "tst_settingdlg.moc"
