#include "bookmarkinfo.h"
#include "bookmarktb.h"
#include "bookpathinfo.h"
#include "bookpathtb.h"
#include "tagdb.h"
#include "testutil.h"

#include <QTest>

class TestBookmark : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void treeBuildAndLoad();
    void findAndEdit();
    void loadByKind();
    void oddRows();

private:
    testutil::TempDir* m_dir = nullptr;
    TagDb* m_db = nullptr;
};

namespace {

QStringList names(BookPathInfo* folder)
{
    QStringList out;
    for (BookPathInfo* p : folder->getChildrenPath())
        out << "[" + p->getName() + "]";
    for (BookMarkInfo* m : folder->getChildrenMark())
        out << m->getName();
    return out;
}

} // namespace

void TestBookmark::init()
{
    static int n = 0;
    m_dir = new testutil::TempDir();
    m_db = new TagDb();
    QVERIFY(m_db->openDb(m_dir->file("data/tag.db"), QString("bm%1").arg(n++), false));
}

void TestBookmark::cleanup()
{
    delete m_db;
    delete m_dir;
}

void TestBookmark::treeBuildAndLoad()
{
    BookPathTb paths(m_db);
    BookMarkTb marks(m_db);
    BookPathInfo root;
    QVERIFY(!paths.addBookpath(nullptr, "x"));
    QVERIFY(!marks.addBookmark(nullptr, BookMarkInfo::BookMarkFile, "/a/b.jpg"));

    std::unique_ptr<BookPathInfo> travel(paths.addBookpath(&root, "旅行"));
    std::unique_ptr<BookPathInfo> family(paths.addBookpath(&root, "Family"));
    QVERIFY(travel && family);
    QVERIFY(travel->getRowId() > 0);
    QCOMPARE(travel->getParentId(), 0);
    QCOMPARE(travel->getParent(), &root);
    QVERIFY(root.getChildrenPath().isEmpty()); // not added to the parent
    std::unique_ptr<BookPathInfo> beach(paths.addBookpath(travel.get(), "beach"));
    QCOMPARE(beach->getParentId(), travel->getRowId());

    std::unique_ptr<BookMarkInfo> m1(marks.addBookmark(travel.get(), BookMarkInfo::BookMarkFile, "/photos/z 海.jpg"));
    std::unique_ptr<BookMarkInfo> m2(marks.addBookmark(travel.get(), BookMarkInfo::BookMarkPath, "/photos/trip/"));
    std::unique_ptr<BookMarkInfo> m3(marks.addBookmark(travel.get(), BookMarkInfo::BookMarkFile, "/photos/a.jpg"));
    std::unique_ptr<BookMarkInfo> m4(marks.addBookmark(&root, BookMarkInfo::BookMarkPath, "/"));
    QVERIFY(m1 && m2 && m3 && m4);
    QCOMPARE(m1->getName(), QString("z 海.jpg"));
    QCOMPARE(m2->getName(), QString("trip"));
    QCOMPARE(m1->getParent(), travel.get());
    QCOMPARE(m1->getParentId(), travel->getRowId());
    QCOMPARE(m4->getName(), QString()); // no file-name part
    m4->calcName();
    QCOMPARE(m4->getName(), QString("/"));

    // Whole tree: folders by name (without regard to case), then favourites, paths before files.
    BookPathInfo loaded;
    QCOMPARE(paths.loadChildren(&loaded, true), 0);
    QCOMPARE(names(&loaded), QStringList({ "[Family]", "[旅行]", "" }));
    BookPathInfo* t = loaded.getChildrenPath().at(1);
    QCOMPARE(t->getParent(), &loaded);
    QCOMPARE(names(t), QStringList({ "[beach]", "trip", "a.jpg", "z 海.jpg" }));
    QCOMPARE(t->getChildrenMark().at(0)->getParent(), t);
    QCOMPARE(t->getChildrenMark().at(0)->getBookMarkType(), BookMarkInfo::BookMarkPath);

    // One level only.
    BookPathInfo shallow;
    paths.loadChildren(&shallow, false);
    QVERIFY(shallow.getChildrenPath().at(1)->getChildrenPath().isEmpty());
    // Reloading replaces the old subtree.
    paths.loadChildren(&loaded, true);
    QCOMPARE(loaded.getChildrenPath().size(), 2);

    // Deleting a folder row leaves its children's rows, no longer reached from the root.
    QVERIFY(paths.delBookpath(travel.get()));
    paths.loadChildren(&loaded, true);
    QCOMPARE(names(&loaded), QStringList({ "[Family]", "" }));
    QVERIFY(marks.findBookmarkByFile("/photos/a.jpg", -1) > 0);
    QVERIFY(paths.findBookpath("beach", -1) > 0);
    QVERIFY(!paths.delBookpath(static_cast<BookPathInfo*>(nullptr)));
}

void TestBookmark::findAndEdit()
{
    BookPathTb paths(m_db);
    BookMarkTb marks(m_db);
    BookPathInfo root;
    std::unique_ptr<BookPathInfo> f1(paths.addBookpath(&root, "Sea"));
    std::unique_ptr<BookPathInfo> f2(paths.addBookpath(f1.get(), "Other"));
    std::unique_ptr<BookMarkInfo> a(marks.addBookmark(f1.get(), BookMarkInfo::BookMarkFile, "/p/a.jpg"));
    std::unique_ptr<BookMarkInfo> a2(marks.addBookmark(f2.get(), BookMarkInfo::BookMarkFile, "/p/a.jpg"));

    // Targets compare exactly; folder names typed by users ignore case.
    QCOMPARE(marks.findBookmarkByFile("/p/a.jpg", -1), a->getRowId());
    QCOMPARE(marks.findBookmarkByFile("/p/A.jpg", -1), -1);
    QCOMPARE(marks.findBookmarkByFile("/p/a.jpg", a->getRowId()), a2->getRowId());
    QCOMPARE(paths.findBookpath("sea", -1), f1->getRowId());
    QCOMPARE(paths.findBookpath("sea", f1->getRowId()), -1);
    QCOMPARE(paths.findBookpath("nothing", -1), -1);

    // Rename of a target: only exact matches follow, the name stays.
    QVERIFY(marks.updateFile("/p/A.jpg", "/q/x.jpg"));
    QCOMPARE(marks.findBookmarkByFile("/q/x.jpg", -1), -1);
    QVERIFY(marks.updateFile("/p/a.jpg", "/q/x.jpg"));
    QCOMPARE(marks.findBookmarkByFile("/p/a.jpg", -1), -1);
    BookPathInfo loaded;
    paths.loadChildren(&loaded, true);
    BookPathInfo* sea = loaded.getChildrenPath().at(0);
    QCOMPARE(sea->getChildrenMark().at(0)->getFile(), QString("/q/x.jpg"));
    QCOMPARE(sea->getChildrenMark().at(0)->getName(), QString("a.jpg"));

    // Moves and edits change the rows, not the records.
    QVERIFY(marks.modBookParent(a.get(), &root));
    QCOMPARE(a->getParentId(), f1->getRowId());
    QVERIFY(!marks.modBookParent(a.get(), nullptr));
    QVERIFY(paths.modBookParent(f2.get(), &root));
    QVERIFY(!paths.modBookParent(nullptr, &root));
    a->setName("renamed");
    a->setBookMarkType(BookMarkInfo::BookMarkPath);
    QVERIFY(marks.modBookmark(a.get()));
    QVERIFY(!marks.modBookmark(static_cast<BookMarkInfo*>(nullptr)));
    QVERIFY(paths.modBookpath(f1->getRowId(), "海"));
    QVERIFY(marks.modBookmark(9999, "n", BookMarkInfo::BookMarkFile, "/n")); // no row: still success
    paths.loadChildren(&loaded, true);
    QCOMPARE(names(&loaded), QStringList({ "[Other]", "[海]", "renamed" }));
    QCOMPARE(names(loaded.getChildrenPath().at(0)), QStringList({ "a.jpg" }));

    QVERIFY(marks.delBookmark(a.get()));
    QVERIFY(!marks.delBookmark(static_cast<BookMarkInfo*>(nullptr)));
    paths.loadChildren(&loaded, true);
    QCOMPARE(names(&loaded), QStringList({ "[Other]", "[海]" }));
}

void TestBookmark::loadByKind()
{
    BookMarkTb marks(m_db);
    BookPathInfo root;
    delete marks.addBookmark(&root, BookMarkInfo::BookMarkPath, "/p");
    delete marks.addBookmark(&root, BookMarkInfo::BookMarkFile, "/p/1.jpg");
    delete marks.addBookmark(&root, BookMarkInfo::BookMarkFile, "/p/2.jpg");

    QList<BookMarkInfo*> list;
    QVERIFY(marks.loadBookMark({}, list));
    QVERIFY(list.isEmpty());
    QVERIFY(marks.loadBookMark(BookMarkInfo::BookMarkFile, list));
    QCOMPARE(list.size(), 2);
    QVERIFY(!list.at(0)->getParent());
    qDeleteAll(list);
    list.clear();
    QVERIFY(marks.loadBookMark(BookMarkInfo::BookMarkPath, list));
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.at(0)->getFile(), QString("/p"));
    qDeleteAll(list);
    list.clear();
    QVERIFY(marks.loadBookMark(BookMarkInfo::BookMarkPath | BookMarkInfo::BookMarkFile, list));
    QCOMPARE(list.size(), 3);
    qDeleteAll(list);
}

void TestBookmark::oddRows()
{
    // A NULL parent lists at the top level; a row that is its own parent or a loop does not hang the load.
    QVERIFY(m_db->execNoQuery("insert into [bookpath] ([rowid], [parent], [name]) values (1, NULL, 'top')"));
    QVERIFY(m_db->execNoQuery("insert into [bookpath] ([rowid], [parent], [name]) values (2, 2, 'self')"));
    QVERIFY(m_db->execNoQuery("insert into [bookpath] ([rowid], [parent], [name]) values (3, 1, 'a')"));
    QVERIFY(m_db->execNoQuery("insert into [bookpath] ([rowid], [parent], [name]) values (4, 3, 'b')"));
    QVERIFY(m_db->execNoQuery("update [bookpath] set [parent]=4 where [rowid]=1"));
    QVERIFY(m_db->execNoQuery("insert into [bookpath] ([rowid], [parent], [name]) values (5, -3, 'neg')"));

    BookPathTb paths(m_db);
    BookPathInfo root;
    paths.loadChildren(&root, true);
    QCOMPARE(names(&root), QStringList({ "[neg]" }));

    QVERIFY(m_db->execNoQuery("update [bookpath] set [parent]=NULL where [rowid]=1"));
    paths.loadChildren(&root, true);
    QCOMPARE(names(&root), QStringList({ "[neg]", "[top]" }));
    BookPathInfo* b = root.getChildrenPath().at(1)->getChildrenPath().at(0)->getChildrenPath().at(0);
    QCOMPARE(b->getName(), QString("b"));

    BookPathInfo self;
    self.setRowId(2);
    paths.loadChildren(&self, true);
    QCOMPARE(names(&self), QStringList({ "[self]" }));
    QVERIFY(self.getChildrenPath().at(0)->getChildrenPath().isEmpty());
    QVERIFY(!paths.readChildBookpath(nullptr));
    QVERIFY(!paths.readChildBookmark(nullptr));
}

QTEST_GUILESS_MAIN(TestBookmark)
#include "tst_bookmark.moc"
