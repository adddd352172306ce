#include "common/vorneltest.h"
#include "db/tagdb.h"
#include "panels/bookmarkitem.h"
#include "panels/bookmarkview.h"
#include "records/bookmarkinfo.h"
#include "records/bookmarktb.h"
#include "records/bookpathinfo.h"
#include "records/bookpathtb.h"

#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

#include <memory>

using namespace testutil;

namespace {

// The tree as text: categories in brackets with their contents.
QString treeText(QTreeWidgetItem* parent)
{
    if (!parent)
        return QStringLiteral("(no such entry)");
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

QStringList rows(const QString& sql)
{
    PooledDb<TagDb> db(tagDbPool);
    return queryRows(*db.get(), sql);
}

bool exec(const QString& sql)
{
    PooledDb<TagDb> db(tagDbPool);
    return db->execNoQuery(sql);
}

// Stores a category (type 0) or a favourite folder (1) or file (2) under parent; returns its rowid.
qint64 store(qint64 parent, int type, const QString& nameOrFile)
{
    PooledDb<TagDb> db(tagDbPool);
    BookPathInfo folder;
    folder.setRowId(parent);
    if (type == 0) {
        std::unique_ptr<BookPathInfo> added(BookPathTb(db.get()).addBookpath(&folder, nameOrFile));
        return added ? added->getRowId() : -1;
    }
    std::unique_ptr<BookMarkInfo> added(
        BookMarkTb(db.get()).addBookmark(&folder, BookMarkInfo::BookMarkType(type), nameOrFile));
    return added ? added->getRowId() : -1;
}

// On the next dialog: types the name into leName and clicks the button, answering the message box that may
// follow with `answer`; a dialog still open after that is closed, and *stayedOpen says so.
void fillNextDialog(const QString& name, const char* button, const char* answer = nullptr, QString* text = nullptr,
    bool* stayedOpen = nullptr)
{
    onNextModal([=](QWidget* dlg) {
        dlg->findChild<QLineEdit*>("leName")->setText(name);
        if (answer)
            answerNextBox(answer, text);
        dlg->findChild<QPushButton*>(button)->click();
        if (stayedOpen)
            *stayedOpen = dlg->isVisible();
        if (dlg->isVisible())
            static_cast<QDialog*>(dlg)->reject();
    });
}

} // namespace

class TestBookmarkView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_env.ok); }
    void init();
    void cleanup();
    void orderAddAndOpen();
    void categoriesRenameAndDelete();
    void movingByDrag();
    void renameKeepsTheSubtreeOpen();
    void reloadsThatOverlap();

private:
    void load()
    {
        m_view->slot_atRefresh();
        QTRY_VERIFY(m_view->loadFuture().isFinished());
        QTest::qWait(20);
    }
    QTreeWidgetItem* find(const QString& name) const
    {
        const QList<QTreeWidgetItem*> found = m_view->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }
    BookmarkItem* item(const QString& name) const { return static_cast<BookmarkItem*>(find(name)); }
    QString tree() const { return treeText(m_view->invisibleRootItem()); }

    VornelEnv m_env;
    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<BookmarkView> m_view;
    qint64 m_travel = 0;
    qint64 m_year = 0;
};

// 旅行 { 2023 { }, fav folder 相册 A, fav file b.jpg }, art { }, top: fav file 照片 c.png, fav folder B
void TestBookmarkView::init()
{
    m_dir.reset(new TempDir());
    for (const char* folder : { "相册 A", "B" })
        QVERIFY(QDir().mkpath(m_dir->file(QString::fromUtf8(folder))));
    QVERIFY(!makeImage(m_dir->path(), "b.jpg").isEmpty());
    QVERIFY(!makeImage(m_dir->path(), "照片 c.png").isEmpty());
    m_travel = store(0, 0, "旅行");
    m_year = store(m_travel, 0, "2023");
    QVERIFY(store(0, 0, "art") > 0);
    QVERIFY(store(m_travel, 2, m_dir->file("b.jpg")) > 0);
    QVERIFY(store(m_travel, 1, m_dir->file("相册 A")) > 0);
    QVERIFY(store(0, 2, m_dir->file("照片 c.png")) > 0);
    QVERIFY(store(0, 1, m_dir->file("B")) > 0);
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

void TestBookmarkView::orderAddAndOpen()
{
    // Categories by name without regard to case, then favourite folders, then favourite files.
    QCOMPARE(tree(), QString("[art] [旅行: [2023] 相册 A b.jpg] B 照片 c.png"));

    // No current entry: the top level, [parent] 0; a current favourite inside a category: that category.
    m_view->setCurrentIndex(QModelIndex());
    m_view->onAddBookmark(m_dir->file("B"), 1);
    m_view->setCurrentItem(find("b.jpg"));
    m_view->onAddBookmark(m_dir->file("照片 c.png"), 2);
    QCOMPARE(tree(), QString("[art] [旅行: [2023] 相册 A b.jpg 照片 c.png] B B 照片 c.png"));
    QCOMPARE(rows("select [parent] from [bookmark] where [rowid] > 4 order by [rowid]"),
        QStringList({ "0", QString::number(m_travel) }));

    // An insert the database refuses shows nothing and says so.
    QVERIFY(exec("create trigger [refuse] before insert on [bookmark] begin select raise(abort, 'no'); end"));
    QString text;
    answerNextBox("确定", &text);
    m_view->onAddBookmark(m_dir->file("新的.jpg"), 2);
    QVERIFY(text.contains("没能添加") && !find("新的.jpg"));

    // Clicks: a category says nothing, a favourite folder opens its stored path (files: categoriesRenameAndDelete); a
    // target gone from the disk stays listed and is named instead.
    QSignalSpy paths(m_view.get(), &BookmarkView::selectPathChanged);
    QSignalSpy files(m_view.get(), &BookmarkView::selectFileChanged);
    m_view->slot_item_clicked(find("art"), 0);
    m_view->slot_item_clicked(find("B"), 0);
    QCOMPARE(paths.value(0).value(0).toString(), m_dir->file("B"));
    QVERIFY(QFile::remove(m_dir->file("b.jpg")) && QDir(m_dir->file("相册 A")).removeRecursively());
    for (const char* name : { "b.jpg", "相册 A" }) {
        answerNextBox("确定", &text);
        m_view->slot_item_clicked(find(QString::fromUtf8(name)), 0);
        QVERIFY2(text.contains(QDir::toNativeSeparators(m_dir->file(QString::fromUtf8(name))))
                && text.contains("已经不存在"),
            name);
    }
    // A target on a volume not mounted (its mount point an empty folder) is out of reach, not gone.
    QVERIFY(exec("drop trigger [refuse]"));
    ListedMountPoints listed({ m_dir->file("B") });
    m_view->setCurrentIndex(QModelIndex());
    m_view->onAddBookmark(m_dir->file("B/远 x.jpg"), 2);
    m_view->onAddBookmark(m_dir->file("B/子 sub"), 1);
    for (const char* name : { "远 x.jpg", "子 sub" }) {
        answerNextBox("确定", &text);
        m_view->slot_item_clicked(find(QString::fromUtf8(name)), 0);
        QVERIFY2(text.contains("现在无法访问") && !text.contains("不存在"), name);
    }
    m_view->prepareMenu(find("远 x.jpg"));
    answerNextBox("确定", &text);
    m_view->slot_atFileLocation();
    QVERIFY(text.contains("现在无法访问，不能定位"));
    QCOMPARE(paths.count() + files.count(), 1);
}

void TestBookmarkView::categoriesRenameAndDelete()
{
    // A new category goes into the category of the right-clicked entry, which opens to show it.
    m_view->prepareMenu(find("相册 A"));
    fillNextDialog("  新 类  ", "btAdd");
    m_view->slot_atAddFavPath();
    QVERIFY(find("旅行") && find("旅行")->isExpanded());
    QCOMPARE(treeText(find("旅行")), QString("[2023] [新 类] 相册 A b.jpg"));
    QCOMPARE(rows("select [parent] from [bookpath] where [name]='新 类'"), QStringList({ QString::number(m_travel) }));

    // A name that exists in any letter case is asked about, and "否" keeps the dialog open; a category the
    // database refuses keeps it open too, and neither is shown.
    bool open = false;
    m_view->prepareMenu(nullptr);
    fillNextDialog("ART", "btAdd", "否", nullptr, &open);
    m_view->slot_atAddFavPath();
    QVERIFY(open);
    QVERIFY(exec("create trigger [refuse] before insert on [bookpath] begin select raise(abort, 'no'); end"));
    QString text;
    open = false;
    fillNextDialog("拒绝", "btAdd", "确定", &text, &open);
    m_view->slot_atAddFavPath();
    QVERIFY(open && text.contains("没能保存"));
    QCOMPARE(tree(), QString("[art] [旅行: [2023] [新 类] 相册 A b.jpg] B 照片 c.png"));
    QVERIFY(exec("drop trigger [refuse]"));

    // A renamed favourite keeps its stored path, doubled and outer blanks included.
    const QString odd = m_dir->file("相册  二/ 照片 .jpg");
    QVERIFY(QDir().mkpath(m_dir->file("相册  二")));
    QVERIFY(!makeImage(m_dir->file("相册  二"), " 照片 .jpg").isEmpty());
    m_view->setCurrentIndex(QModelIndex());
    m_view->onAddBookmark(odd, 2);
    fillNextDialog("  我的   照片 ", "btMod");
    m_view->prepareMenu(find(" 照片 .jpg"));
    m_view->slot_atMod();
    QCOMPARE(rows("select [name], [type], [file] from [bookmark] where [name]='我的 照片'"),
        QStringList({ "我的 照片|2|" + odd }));
    QSignalSpy files(m_view.get(), &BookmarkView::selectFileChanged);
    m_view->slot_item_clicked(find("我的 照片"), 0);
    QCOMPARE(files.value(0).value(0).toString(), odd);

    // A rename the database refuses is said so and changes nothing.
    QVERIFY(exec("create trigger [refuse] before update on [bookpath] begin select raise(abort, 'no'); end"));
    open = false;
    fillNextDialog("2024", "btMod", "确定", &text, &open);
    m_view->prepareMenu(find("2023"));
    m_view->slot_atMod();
    QVERIFY(open && text.contains("没能改名"));
    QCOMPARE(rows(QString("select [name] from [bookpath] where [rowid]=%1").arg(m_year)), QStringList({ "2023" }));
    QVERIFY(find("2023"));

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
    QCOMPARE(tree(), QString("[art] B 我的 照片 照片 c.png"));
    QCOMPARE(rows("select [name] from [bookpath] order by [name]"), QStringList({ "art" }));
    QCOMPARE(rows("select count(*) from [bookmark]"), QStringList({ "3" }));
    QVERIFY(!m_view->menuItem());
}

void TestBookmarkView::renameKeepsTheSubtreeOpen()
{
    m_view->prepareMenu(find("2023"));
    fillNextDialog("深", "btAdd");
    m_view->slot_atAddFavPath();
    QVERIFY(find("旅行"));
    find("旅行")->setExpanded(true);
    QVERIFY(find("2023") && find("2023")->isExpanded());

    // Renamed, the category takes its new place among its siblings with what was open still open.
    fillNextDialog("旅途", "btMod");
    m_view->prepareMenu(find("旅行"));
    m_view->slot_atMod();
    QVERIFY(find("旅途") && find("旅途")->isExpanded());
    QVERIFY(find("2023") && find("2023")->isExpanded());
    QVERIFY(find("art") && !find("art")->isExpanded());
}

void TestBookmarkView::movingByDrag()
{
    BookmarkItem* travel = item("旅行");
    BookmarkItem* year = item("2023");
    // A category never goes into itself or its parent, nor onto a favourite; the top level takes only what is not
    // there yet.
    QVERIFY(!m_view->canDrop(travel, travel));
    QVERIFY(!m_view->canDrop(year, travel));
    QVERIFY(!m_view->canDrop(travel, find("B")));
    QVERIFY(!m_view->canDrop(travel, nullptr));
    QVERIFY(m_view->canDrop(year, nullptr));

    QVERIFY(m_view->moveItem(travel, find("art")));
    // Now art > 旅行 > 2023: art may not go below 2023, nor anywhere inside its own subtree.
    QVERIFY(!m_view->moveItem(item("art"), year));
    QVERIFY(m_view->moveItem(item("b.jpg"), nullptr));
    QVERIFY(m_view->moveItem(item("B"), year));
    const QString moved("[art: [旅行: [2023: B] 相册 A]] b.jpg 照片 c.png");
    QCOMPARE(tree(), moved);
    load();
    QCOMPARE(tree(), moved);

    // A move the database refuses leaves the entry where it was.
    QVERIFY(exec("create trigger [refuse] before update on [bookmark] begin select raise(abort, 'no'); end"));
    answerNextBox("确定");
    QVERIFY(!m_view->moveItem(item("b.jpg"), find("art")));
    QCOMPARE(tree(), moved);
}

void TestBookmarkView::reloadsThatOverlap()
{
    // The finished notice of a replaced load does nothing while the newest one runs.
    QTreeWidgetItem* first = m_view->topLevelItem(0);
    QVERIFY(store(0, 2, m_dir->file("后加.jpg")) > 0);
    {
        PoolGate held(QThreadPool::globalInstance());
        QVERIFY(held.holding());
        m_view->slot_atRefresh();
        m_view->slot_info_loaded();
        QCOMPARE(m_view->topLevelItem(0), first);
    }
    QTRY_VERIFY(find("后加.jpg"));

    // A load that ends while a dialog is open waits until it closes; the dialog's entry stays alive meanwhile.
    QVERIFY(store(0, 0, "又一个") > 0);
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
