#include "common/vorneltest.h"
#include "db/tagdb.h"
#include "dialogs/bookmarkmoddlg.h"
#include "dialogs/bookpathadddlg.h"
#include "panels/bookmarkitem.h"
#include "panels/bookmarkview.h"
#include "records/bookmarkinfo.h"
#include "records/bookmarktb.h"
#include "records/bookpathinfo.h"
#include "records/bookpathtb.h"
#include "task/pooljob.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSemaphore>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

#include <memory>

using namespace testutil;

class TestBookmarkView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void loadAndOrder();
    void addAndOpen();
    void categoriesAndDelete();
    void modifyKeepsTheStoredPath();
    void movingByDrag();
    void reloadsThatOverlap();

private:
    // Stores a category or a favourite; returns its rowid.
    qint64 addPath(qint64 parent, const QString& name);
    qint64 addMark(qint64 parent, int type, const QString& file);
    QStringList rows(const QString& sql);
    bool exec(const QString& sql);
    void load();
    QTreeWidgetItem* find(const QString& name) const;
    BookmarkItem* item(const QString& name) const { return static_cast<BookmarkItem*>(find(name)); }
    // Fills the next dialog's leName and clicks its button.
    void fillNextDialog(const QString& name, const char* button);

    std::unique_ptr<VornelEnv> m_env;
    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<BookmarkView> m_view;
    qint64 m_travel = 0;
    qint64 m_year = 0;
};

namespace {

// The tree as text: categories in brackets with their contents.
QString treeText(QTreeWidgetItem* parent)
{
    QStringList out;
    for (int i = 0; i < parent->childCount(); ++i) {
        QTreeWidgetItem* child = parent->child(i);
        const QString inner = treeText(child);
        if (static_cast<BookmarkItem*>(child)->pathInfo)
            out << "[" + child->text(0) + (inner.isEmpty() ? "" : ": " + inner) + "]";
        else
            out << child->text(0);
    }
    return out.join(' ');
}

} // namespace

void TestBookmarkView::initTestCase()
{
    m_env.reset(new VornelEnv());
    QVERIFY(m_env->ok);
}

qint64 TestBookmarkView::addPath(qint64 parent, const QString& name)
{
    PooledDb<TagDb> db(tagDbPool);
    BookPathInfo folder;
    folder.setRowId(parent);
    std::unique_ptr<BookPathInfo> added(BookPathTb(db.get()).addBookpath(&folder, name));
    return added ? added->getRowId() : -1;
}

qint64 TestBookmarkView::addMark(qint64 parent, int type, const QString& file)
{
    PooledDb<TagDb> db(tagDbPool);
    BookPathInfo folder;
    folder.setRowId(parent);
    std::unique_ptr<BookMarkInfo> added(
        BookMarkTb(db.get()).addBookmark(&folder, BookMarkInfo::BookMarkType(type), file));
    return added ? added->getRowId() : -1;
}

QStringList TestBookmarkView::rows(const QString& sql)
{
    PooledDb<TagDb> db(tagDbPool);
    return queryRows(*db.get(), sql);
}

bool TestBookmarkView::exec(const QString& sql)
{
    PooledDb<TagDb> db(tagDbPool);
    return db->execNoQuery(sql);
}

void TestBookmarkView::load()
{
    m_view->slot_atRefresh();
    QTRY_VERIFY(m_view->loadFuture().isFinished());
    QTest::qWait(20);
}

QTreeWidgetItem* TestBookmarkView::find(const QString& name) const
{
    const QList<QTreeWidgetItem*> found = m_view->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

void TestBookmarkView::fillNextDialog(const QString& name, const char* button)
{
    onNextModal([name, button](QWidget* dlg) {
        dlg->findChild<QLineEdit*>("leName")->setText(name);
        dlg->findChild<QPushButton*>(button)->click();
    });
}

// 旅行 { 2023 { }, fav folder 相册 A, fav file b.jpg }, art { }, top: fav file 照片 c.png, fav folder B
void TestBookmarkView::init()
{
    m_dir.reset(new TempDir());
    for (const char* folder : { "相册 A", "B" })
        QVERIFY(QDir().mkpath(m_dir->file(QString::fromUtf8(folder))));
    QVERIFY(!makeImage(m_dir->path(), "b.jpg").isEmpty());
    QVERIFY(!makeImage(m_dir->path(), "照片 c.png").isEmpty());
    m_travel = addPath(0, "旅行");
    m_year = addPath(m_travel, "2023");
    QVERIFY(addPath(0, "art") > 0);
    QVERIFY(addMark(m_travel, 2, m_dir->file("b.jpg")) > 0);
    QVERIFY(addMark(m_travel, 1, m_dir->file("相册 A")) > 0);
    QVERIFY(addMark(0, 2, m_dir->file("照片 c.png")) > 0);
    QVERIFY(addMark(0, 1, m_dir->file("B")) > 0);
    m_view.reset(new BookmarkView());
    m_view->resize(300, 400);
    m_view->show();
    load();
}

void TestBookmarkView::cleanup()
{
    m_view.reset();
    exec("drop trigger if exists [refuse]");
    exec("drop trigger if exists [keep]");
    QVERIFY(exec("delete from [bookpath]"));
    QVERIFY(exec("delete from [bookmark]"));
    m_dir.reset();
}

void TestBookmarkView::loadAndOrder()
{
    // Categories by name without regard to case, then favourite folders, then favourite files.
    QCOMPARE(treeText(m_view->invisibleRootItem()), QString("[art] [旅行: [2023] 相册 A b.jpg] B 照片 c.png"));
    QVERIFY(!item("art")->icon(0).isNull());
    QVERIFY(item("B")->icon(0).cacheKey() != item("照片 c.png")->icon(0).cacheKey());

    m_view->prepareMenu(nullptr);
    QVERIFY(!m_view->contextMenu()->actions()[3]->isEnabled());
    m_view->prepareMenu(find("art"));
    QVERIFY(m_view->contextMenu()->actions()[4]->isEnabled());
    QVERIFY(!m_view->contextMenu()->actions()[5]->isEnabled());
}

void TestBookmarkView::addAndOpen()
{
    // No current entry: the top level, [parent] 0; a current favourite inside a category: that category.
    m_view->setCurrentIndex(QModelIndex());
    m_view->onAddBookmark(m_dir->file("B"), 1);
    m_view->setCurrentItem(find("b.jpg"));
    m_view->onAddBookmark(m_dir->file("照片 c.png"), 2);
    QCOMPARE(
        treeText(m_view->invisibleRootItem()), QString("[art] [旅行: [2023] 相册 A b.jpg 照片 c.png] B B 照片 c.png"));
    QCOMPARE(rows("select [parent] from [bookmark] where [rowid] > 4 order by [rowid]"),
        QStringList({ "0", QString::number(m_travel) }));

    // An insert the database refuses shows nothing and says so.
    QVERIFY(exec("create trigger [refuse] before insert on [bookmark] begin select raise(abort, 'no'); end"));
    QString text;
    answerNextBox("确定", &text);
    m_view->onAddBookmark(m_dir->file("新的.jpg"), 2);
    QVERIFY(text.contains("没能添加"));
    QVERIFY(!find("新的.jpg"));

    // Clicks: a category says nothing, favourites open their stored path.
    QSignalSpy paths(m_view.get(), &BookmarkView::selectPathChanged);
    QSignalSpy files(m_view.get(), &BookmarkView::selectFileChanged);
    m_view->slot_item_clicked(find("art"), 0);
    m_view->slot_item_clicked(find("相册 A"), 0);
    m_view->slot_item_clicked(find("b.jpg"), 0);
    QCOMPARE(paths.count(), 1);
    QCOMPARE(paths.at(0).at(0).toString(), m_dir->file("相册 A"));
    QCOMPARE(files.count(), 1);
    QCOMPARE(files.at(0).at(0).toString(), m_dir->file("b.jpg"));

    // A target gone from the disk stays listed; opening or locating it gives a clear word instead.
    QVERIFY(QFile::remove(m_dir->file("b.jpg")));
    QVERIFY(QDir(m_dir->file("相册 A")).removeRecursively());
    for (const char* name : { "b.jpg", "相册 A" }) {
        answerNextBox("确定", &text);
        m_view->slot_item_clicked(find(QString::fromUtf8(name)), 0);
        QVERIFY2(text.contains(QDir::toNativeSeparators(m_dir->file(QString::fromUtf8(name)))), name);
        answerNextBox("确定", &text);
        m_view->prepareMenu(find(QString::fromUtf8(name)));
        m_view->slot_atFileLocation();
        QVERIFY2(text.contains("不存在"), name);
    }
    QCOMPARE(paths.count() + files.count(), 2);
    QVERIFY(find("b.jpg"));
    answerNextBox("确定", &text);
    m_view->prepareMenu(find("art"));
    m_view->slot_atFileLocation();
    QCOMPARE(text, QString("分类目录在磁盘中没有对应的实体项，不能定位。\n请重新选择后继续。"));
}

void TestBookmarkView::categoriesAndDelete()
{
    // A new category goes into the category of the right-clicked entry.
    m_view->prepareMenu(find("相册 A"));
    fillNextDialog("  新 类  ", "btAdd");
    m_view->slot_atAddFavPath();
    QCOMPARE(treeText(find("旅行")), QString("[2023] [新 类] 相册 A b.jpg"));
    QCOMPARE(rows("select [parent] from [bookpath] where [name]='新 类'"), QStringList({ QString::number(m_travel) }));

    // A name that exists in any letter case is asked about; "否" keeps the dialog open.
    QString text;
    m_view->prepareMenu(nullptr);
    onNextModal([&text](QWidget* dlg) {
        dlg->findChild<QLineEdit*>("leName")->setText("ART");
        answerNextBox("否", &text);
        dlg->findChild<QPushButton*>("btAdd")->click();
        const bool open = dlg->isVisible();
        static_cast<QDialog*>(dlg)->reject();
        QVERIFY(open);
    });
    m_view->slot_atAddFavPath();
    QCOMPARE(text, QString("已经有该分类目录名了。\n你确定要再次添加吗？"));
    QCOMPARE(rows("select count(*) from [bookpath]"), QStringList({ "4" }));

    // A category the database refuses is neither accepted nor shown.
    QVERIFY(exec("create trigger [refuse] before insert on [bookpath] begin select raise(abort, 'no'); end"));
    {
        BookPathInfo root;
        BookpathAddDlg dlg;
        dlg.setParentPath(&root);
        dlg.show();
        dlg.findChild<QLineEdit*>("leName")->setText("拒绝");
        answerNextBox("确定", &text);
        dlg.findChild<QPushButton*>("btAdd")->click();
        QVERIFY(text.contains("没能保存"));
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(!dlg.takeNewPath());
    }

    // A row the database keeps stays in the tree too, with what is below it; the rest goes.
    QVERIFY(exec("create trigger [keep] before delete on [bookmark] begin select raise(abort, 'no'); end"));
    m_view->prepareMenu(find("旅行"));
    answerNextBox("是");
    QTimer::singleShot(0, [&text] { answerNextBox("确定", &text); });
    m_view->slot_atDel();
    QVERIFY(text.contains("没能删除"));
    QCOMPARE(treeText(find("旅行")), QString("相册 A b.jpg"));
    QCOMPARE(rows("select [name] from [bookpath] order by [name]"), QStringList({ "art", "旅行" }));
    QVERIFY(exec("drop trigger [keep]"));

    // Deleting a category takes its whole subtree, row by row.
    m_view->prepareMenu(find("旅行"));
    answerNextBox("是");
    m_view->slot_atDel();
    QCOMPARE(treeText(m_view->invisibleRootItem()), QString("[art] B 照片 c.png"));
    QCOMPARE(rows("select [name] from [bookpath] order by [name]"), QStringList({ "art" }));
    QCOMPARE(rows("select count(*) from [bookmark]"), QStringList({ "2" }));
    QVERIFY(!m_view->menuItem());
}

void TestBookmarkView::modifyKeepsTheStoredPath()
{
    // A real path with doubled and outer blanks: the dialog shows it simplified, the row keeps it.
    const QString odd = m_dir->file("相册  二/ 照片 .jpg");
    QVERIFY(QDir().mkpath(m_dir->file("相册  二")));
    QVERIFY(!makeImage(m_dir->file("相册  二"), " 照片 .jpg").isEmpty());
    m_view->onAddBookmark(odd, 2);
    QString shown;
    onNextModal([&shown](QWidget* dlg) {
        shown = dlg->findChild<QLineEdit*>("leFile")->text();
        dlg->findChild<QLineEdit*>("leName")->setText("  我的   照片 ");
        dlg->findChild<QPushButton*>("btMod")->click();
    });
    m_view->prepareMenu(find(" 照片 .jpg"));
    m_view->slot_atMod();
    QCOMPARE(shown, QDir::toNativeSeparators(odd.simplified()));
    QCOMPARE(rows("select [name], [type], [file] from [bookmark] where [name]='我的 照片'"),
        QStringList({ "我的 照片|2|" + odd }));
    QVERIFY(find("我的 照片"));
    QSignalSpy files(m_view.get(), &BookmarkView::selectFileChanged);
    m_view->slot_item_clicked(find("我的 照片"), 0);
    QCOMPARE(files.at(0).at(0).toString(), odd);

    QString text;
    // A rename the database refuses is said so and changes nothing.
    QVERIFY(exec("create trigger [refuse] before update on [bookpath] begin select raise(abort, 'no'); end"));
    onNextModal([&text](QWidget* dlg) {
        dlg->findChild<QLineEdit*>("leName")->setText("2024");
        answerNextBox("确定", &text);
        dlg->findChild<QPushButton*>("btMod")->click();
        const bool open = dlg->isVisible();
        static_cast<QDialog*>(dlg)->reject();
        QVERIFY(open);
    });
    m_view->prepareMenu(find("2023"));
    m_view->slot_atMod();
    QVERIFY(text.contains("没能改名"));
    QCOMPARE(rows(QString("select [name] from [bookpath] where [rowid]=%1").arg(m_year)), QStringList({ "2023" }));
    QVERIFY(find("2023"));
}

void TestBookmarkView::movingByDrag()
{
    BookmarkItem* travel = item("旅行");
    BookmarkItem* year = item("2023");
    BookmarkItem* art = item("art");
    // A category never goes into itself, its parent or its own subtree, nor onto a favourite.
    QVERIFY(!m_view->canDrop(travel, travel));
    QVERIFY(!m_view->canDrop(travel, year));
    QVERIFY(!m_view->canDrop(year, travel));
    QVERIFY(!m_view->canDrop(travel, find("B")));
    QVERIFY(!m_view->canDrop(travel, nullptr));
    QVERIFY(!m_view->canDrop(item("B"), nullptr));
    QVERIFY(m_view->canDrop(year, nullptr));
    QVERIFY(m_view->canDrop(travel, art));

    QVERIFY(m_view->moveItem(travel, art));
    // Now art > 旅行 > 2023: art may not go below 2023.
    QVERIFY(!m_view->moveItem(art, year));
    QVERIFY(m_view->moveItem(item("b.jpg"), nullptr));
    QVERIFY(m_view->moveItem(item("B"), year));
    QCOMPARE(treeText(m_view->invisibleRootItem()), QString("[art: [旅行: [2023: B] 相册 A]] b.jpg 照片 c.png"));

    load();
    QCOMPARE(treeText(m_view->invisibleRootItem()), QString("[art: [旅行: [2023: B] 相册 A]] b.jpg 照片 c.png"));
    const QString stored = treeText(m_view->invisibleRootItem());

    // A move the database refuses leaves the entry where it was.
    QVERIFY(exec("create trigger [refuse] before update on [bookmark] begin select raise(abort, 'no'); end"));
    answerNextBox("确定");
    QVERIFY(!m_view->moveItem(item("b.jpg"), find("art")));
    QCOMPARE(treeText(m_view->invisibleRootItem()), stored);
}

void TestBookmarkView::reloadsThatOverlap()
{
    const QString before = treeText(m_view->invisibleRootItem());
    QTreeWidgetItem* first = m_view->topLevelItem(0);

    // The finished notice of a replaced load does nothing while the newest one runs.
    QThreadPool* pool = QThreadPool::globalInstance();
    const int threads = pool->maxThreadCount();
    pool->setMaxThreadCount(1);
    QSemaphore gate;
    runJob(pool, [&gate] { gate.acquire(); });
    QVERIFY(addMark(0, 2, m_dir->file("后加.jpg")) > 0);
    m_view->slot_atRefresh();
    m_view->slot_info_loaded();
    QCOMPARE(m_view->topLevelItem(0), first);
    QCOMPARE(treeText(m_view->invisibleRootItem()), before);
    gate.release();
    QTRY_VERIFY(find("后加.jpg"));
    pool->setMaxThreadCount(threads);

    // A load that ends while a dialog is open waits until it closes; the dialog's entry stays alive meanwhile.
    QVERIFY(addPath(0, "又一个") > 0);
    BookmarkItem* edited = item("照片 c.png");
    bool rebuiltMeanwhile = true;
    // Checks are only recorded here: the dialog must close whatever they find.
    onNextModal([this, edited, &rebuiltMeanwhile](QWidget* dlg) {
        m_view->slot_atRefresh();
        (void)QTest::qWaitFor([this] { return m_view->loadFuture().isFinished(); });
        QTest::qWait(30);
        rebuiltMeanwhile = !find("照片 c.png") || find("又一个") || m_view->menuItem() != edited;
        dlg->findChild<QLineEdit*>("leName")->setText("改过");
        dlg->findChild<QPushButton*>("btMod")->click();
    });
    m_view->prepareMenu(edited);
    m_view->slot_atMod();
    QVERIFY(!rebuiltMeanwhile);
    QTRY_VERIFY(find("又一个"));
    QVERIFY(find("改过"));
    QVERIFY(!m_view->menuItem());
}

QTEST_MAIN(TestBookmarkView)
#include "tst_bookmarkview.moc"
