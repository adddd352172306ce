#include "app/photofiles.h"
#include "common/vorneltest.h"
#include "db/tagdb.h"
#include "panels/filetreemodel.h"
#include "panels/filetreeview.h"
#include "records/bookmarktb.h"
#include "records/bookpathinfo.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <memory>

using namespace testutil;

class TestFileTreeView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_env.ok);
        // Trashed folders stay in the test's folders.
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_env.program.file("share")));
    }
    void init();
    void cleanup();
    void arrowsAndRefresh();
    void choosingAFolder();
    void menuActsOnTheClickedFolder();
    void renameInPlace();

private:
    QModelIndex indexOf(const QString& name) const { return m_view->fileModel()->index(m_dir->file(name)); }
    // Waits until the model has answered every subfolder question and listed what it was asked to.
    void settle();

    VornelEnv m_env;
    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<FileTreeView> m_view;
};

void TestFileTreeView::init()
{
    m_dir.reset(new TempDir());
    QFile::setPermissions(m_dir->path(), QFileDevice::Permissions(0x7755));
    for (const char* folder : { "相册 A/2023 夏", "只有文件", "空", "隐藏下/.hidden", "锁住/里面", "B" })
        QVERIFY(QDir().mkpath(m_dir->file(QString::fromUtf8(folder))));
    QVERIFY(!makeImage(m_dir->file("只有文件"), "a.jpg").isEmpty());
    QVERIFY(!makeImage(m_dir->file("相册 A"), "b.jpg").isEmpty());
    QVERIFY(QFile::setPermissions(m_dir->file("锁住"), QFileDevice::Permissions()));
    m_view.reset(new FileTreeView());
    m_view->resize(400, 600);
    m_view->show();
    QVERIFY(m_view->selectPathSilently(m_dir->path()));
    m_view->expand(m_view->currentIndex());
    QTRY_COMPARE(m_view->fileModel()->rowCount(m_view->currentIndex()), 6);
    settle();
}

void TestFileTreeView::cleanup()
{
    m_view.reset();
    QFile::setPermissions(m_dir->file("锁住"), QFileDevice::Permissions(0x7700));
    m_dir.reset();
}

void TestFileTreeView::settle()
{
    for (int i = 0; i < 3; ++i) {
        m_view->viewport()->repaint();
        QTRY_VERIFY(!m_view->fileModel()->isProbing());
        QTest::qWait(50);
    }
}

void TestFileTreeView::arrowsAndRefresh()
{
    FileTreeModel* model = m_view->fileModel();
    QVERIFY(model->hasChildren(indexOf("相册 A")));
    // Files and hidden folders give no arrow, nor does a folder the user cannot read; a refresh forgets what was
    // known of a folder.
    QVERIFY(!model->hasChildren(indexOf("只有文件")));
    QVERIFY(!model->hasChildren(indexOf("隐藏下")));
    {
        Unprivileged user;
        model->refreshFolder(m_dir->file("锁住"));
        model->hasChildren(indexOf("锁住")); // asked again, answered on the pool
        settle();
        QVERIFY(!model->hasChildren(indexOf("锁住")));
    }

    // The album's only subfolder goes outside the program; a refresh of the album drops it and its arrow.
    const QModelIndex album = indexOf("相册 A");
    m_view->expand(album);
    QTRY_COMPARE(model->rowCount(album), 1);
    QSignalSpy chosen(m_view.get(), &FileTreeView::selectPathChanged);
    QVERIFY(QDir(m_dir->file("相册 A/2023 夏")).removeRecursively());
    m_view->prepareMenu(album);
    m_view->onRefresh();
    QTRY_COMPARE(model->rowCount(album), 0);
    settle();
    QVERIFY(!model->hasChildren(album));
    QCOMPARE(chosen.value(0).value(0).toString(), m_dir->file("相册 A"));

    // A folder removed outside and then refreshed goes from the tree and is not listed.
    QVERIFY(QDir().rmdir(m_dir->file("空")));
    m_view->prepareMenu(indexOf("空"));
    m_view->onRefresh();
    QTRY_VERIFY(!indexOf("空").isValid());
    QCOMPARE(chosen.count(), 1);
}

void TestFileTreeView::choosingAFolder()
{
    QStringList seen;
    connect(m_view.get(), &FileTreeView::selectPathChanged, this,
        [&seen](QString cur, QString prev) { seen << cur << prev << AppCfg::instance()->lastPath; });
    QVERIFY(m_view->selectPath(m_dir->file("B")));
    QCOMPARE(seen, QStringList({ m_dir->file("B"), m_dir->path(), m_dir->file("B") }));
    QCOMPARE(m_view->currentIndex(), indexOf("B"));

    QVERIFY(m_view->selectPathSilently(m_dir->file("相册 A/2023 夏")));
    QCOMPARE(seen.size(), 3);

    // A file stands for its folder; the file itself never shows up in the tree.
    QVERIFY(m_view->selectPath(m_dir->file("只有文件/a.jpg")));
    QCOMPARE(
        seen.mid(3), QStringList({ m_dir->file("只有文件"), m_dir->file("相册 A/2023 夏"), m_dir->file("只有文件") }));
    QTest::qWait(50);
    QCOMPARE(m_view->fileModel()->rowCount(indexOf("只有文件")), 0);

    QVERIFY(!m_view->selectPath(m_dir->file("没有这个")));
    QVERIFY(!m_view->selectPath(QString()));
    QCOMPARE(m_view->currentIndex(), indexOf("只有文件"));
}

void TestFileTreeView::menuActsOnTheClickedFolder()
{
    QVERIFY(m_view->selectPath(m_dir->file("B")));
    QSignalSpy added(m_view.get(), &FileTreeView::bookmarkAdded);
    QSignalSpy chosen(m_view.get(), &FileTreeView::selectPathChanged);

    // Empty space: nothing happens, to the current folder neither.
    m_view->prepareMenu(QModelIndex());
    QApplication::clipboard()->clear();
    for (QAction* a : m_view->findChildren<QAction*>())
        a->trigger();
    const QMimeData* none = QApplication::clipboard()->mimeData();
    QVERIFY(!none || !none->hasUrls());
    QCOMPARE(added.count() + chosen.count(), 0);

    // The right-clicked folder, not the current one, is cut (copied alike) and added.
    m_view->prepareMenu(indexOf("相册 A"));
    m_view->onCut();
    QCOMPARE(
        QApplication::clipboard()->mimeData()->urls(), QList<QUrl>({ QUrl::fromLocalFile(m_dir->file("相册 A")) }));
    QVERIFY(QApplication::clipboard()->mimeData()->data("x-special/gnome-copied-files").startsWith("cut\n"));
    m_view->onAddFav();
    QCOMPARE(added.count(), 1);
    QCOMPARE(added.at(0), QVariantList({ m_dir->file("相册 A"), 1 }));

    // Already a favourite: asked, and "否" adds nothing.
    {
        PooledDb<TagDb> db(tagDbPool);
        BookPathInfo root;
        delete BookMarkTb(db.get()).addBookmark(&root, BookMarkInfo::BookMarkPath, m_dir->file("相册 A"));
    }
    QString text;
    answerNextBox("否", &text);
    m_view->onAddFav();
    QVERIFY(!text.isEmpty());
    QCOMPARE(added.count(), 1);

    // Delete asks first and names the folder; "否" keeps it, "是" trashes it and only it.
    answerNextBox("否", &text);
    m_view->onDelete();
    QVERIFY(text.contains(QDir::toNativeSeparators(m_dir->file("相册 A"))));
    QVERIFY(QFileInfo::exists(m_dir->file("相册 A/b.jpg")));
    answerNextBox("是");
    m_view->onDelete();
    QVERIFY(!QFileInfo::exists(m_dir->file("相册 A")));
    QVERIFY(QFileInfo::exists(m_dir->file("B")));
    QVERIFY(QFileInfo::exists(m_env.program.file("share/Trash/files/相册 A/b.jpg")));
    QTRY_VERIFY(!indexOf("相册 A").isValid());
    QCOMPARE(m_view->currentIndex(), indexOf("B"));
}

void TestFileTreeView::renameInPlace()
{
    FileTreeModel* model = m_view->fileModel();
    QVERIFY(m_view->selectPath(m_dir->file("相册 A/2023 夏")));

    // The menu's rename edits the clicked folder, not the current one.
    m_view->prepareMenu(indexOf("B"));
    m_view->onRename();
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QCOMPARE(editor->text(), QString("B"));
    QTest::keyClick(editor, Qt::Key_Escape);

    // A name that exists (an empty folder, which a rename would replace) or one with "/" is refused with a word.
    QSignalSpy failed(model, &FileTreeModel::renameFailed);
    for (const char* name : { "空", "x/y" }) {
        QString text;
        answerNextBox("确定", &text);
        QVERIFY2(!model->setData(indexOf("B"), QString::fromUtf8(name)), name);
        QTRY_VERIFY2(text.contains("没能改名"), name);
    }
    QCOMPARE(failed.count(), 2);
    QVERIFY(QFileInfo(m_dir->file("B")).isDir());
    QVERIFY(QFileInfo(m_dir->file("空")).isDir());

    // Renaming the folder above the current one: the windows are told, so their items follow without a listing,
    // and the current folder is remembered under its new path.
    QSignalSpy chosen(m_view.get(), &FileTreeView::selectPathChanged);
    QSignalSpy renamed(PhotoFiles::instance(), &PhotoFiles::folderRenamed);
    QVERIFY(model->setData(indexOf("相册 A"), QString("相册 新")));
    QVERIFY(QFileInfo(m_dir->file("相册 新/2023 夏")).isDir());
    QCOMPARE(chosen.count(), 0);
    QCOMPARE(renamed.count(), 1);
    QCOMPARE(renamed.at(0).at(1).toString(), m_dir->file("相册 新"));
    QCOMPARE(AppCfg::instance()->lastPath, m_dir->file("相册 新/2023 夏"));
}

QTEST_MAIN(TestFileTreeView)
#include "tst_filetreeview.moc"
