#include "common/testutil.h"
#include "db/tagdb.h"
#include "records/bookmarkinfo.h"
#include "records/bookmarktb.h"
#include "records/bookpathinfo.h"
#include "records/bookpathtb.h"

#include <QTest>

#include <memory>

class TestBookmark : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_db.reset(); }
    void treeBuildAndLoad();
    void findAndEdit();
    void oddRows();

private:
    testutil::TempDir m_dir;
    std::unique_ptr<TagDb> m_db;
};

namespace {

// The loaded tree as text: folders in brackets with their contents, then favourites; "?" marks a wrong parent.
QString tree(BookPathInfo* folder)
{
    QStringList out;
    for (BookPathInfo* p : folder->getChildrenPath()) {
        const QString inner = tree(p);
        out << "[" + p->getName() + (p->getParent() == folder ? "" : "?") + (inner.isEmpty() ? "" : ": " + inner) + "]";
    }
    for (BookMarkInfo* m : folder->getChildrenMark())
        out << m->getName() + (m->getParent() == folder ? "" : "?");
    return out.join(' ');
}

} // namespace

void TestBookmark::init()
{
    const QString name = QTest::currentTestFunction();
    m_db.reset(new TagDb());
    QVERIFY(m_db->openDb(m_dir.file(name + ".db"), name, false));
}

void TestBookmark::treeBuildAndLoad()
{
    BookPathTb paths(m_db.get());
    BookMarkTb marks(m_db.get());
    BookPathInfo root;
    std::unique_ptr<BookPathInfo> travel(paths.addBookpath(&root, "旅行"));
    delete paths.addBookpath(&root, "Family");
    QVERIFY(travel && travel->getRowId() > 0);
    QVERIFY(root.getChildrenPath().isEmpty()); // not added to the parent
    delete paths.addBookpath(travel.get(), "beach");
    delete marks.addBookmark(travel.get(), BookMarkInfo::BookMarkFile, "/photos/z 海.jpg");
    delete marks.addBookmark(travel.get(), BookMarkInfo::BookMarkFile, "/photos/a.jpg");
    std::unique_ptr<BookMarkInfo> trip(marks.addBookmark(travel.get(), BookMarkInfo::BookMarkPath, "/photos/trip/"));
    std::unique_ptr<BookMarkInfo> top(marks.addBookmark(&root, BookMarkInfo::BookMarkPath, "/"));
    QCOMPARE(trip->getName(), QString("trip"));
    QCOMPARE(top->getName(), QString()); // no file-name part
    top->calcName();
    QCOMPARE(top->getName(), QString("/"));

    // Folders by name (without regard to case), then favourites, paths before files.
    BookPathInfo loaded;
    QCOMPARE(paths.loadChildren(&loaded, true), 0);
    QCOMPARE(tree(&loaded), QString("[Family] [旅行: [beach] trip a.jpg z 海.jpg] "));
    BookPathInfo shallow;
    paths.loadChildren(&shallow, false);
    QCOMPARE(tree(&shallow), QString("[Family] [旅行] "));
    paths.loadChildren(&loaded, true); // replaces the old subtree
    QCOMPARE(loaded.getChildrenPath().size(), 2);

    // Deleting a folder row leaves its children's rows, no longer reached from the root.
    QVERIFY(paths.delBookpath(travel.get()));
    paths.loadChildren(&loaded, true);
    QCOMPARE(tree(&loaded), QString("[Family] "));
    QVERIFY(marks.findBookmarkByFile("/photos/a.jpg", -1) > 0);
    QVERIFY(paths.findBookpath("beach", -1) > 0);
}

void TestBookmark::findAndEdit()
{
    BookPathTb paths(m_db.get());
    BookMarkTb marks(m_db.get());
    BookPathInfo root;
    std::unique_ptr<BookPathInfo> f1(paths.addBookpath(&root, "Sea"));
    std::unique_ptr<BookPathInfo> f2(paths.addBookpath(f1.get(), "Other"));
    std::unique_ptr<BookMarkInfo> a(marks.addBookmark(f1.get(), BookMarkInfo::BookMarkFile, "/p/a.jpg"));
    std::unique_ptr<BookMarkInfo> a2(marks.addBookmark(f2.get(), BookMarkInfo::BookMarkFile, "/p/a.jpg"));

    // Targets compare exactly; folder names typed by users ignore case.
    QCOMPARE(marks.findBookmarkByFile("/p/A.jpg", -1), -1);
    QCOMPARE(marks.findBookmarkByFile("/p/a.jpg", a->getRowId()), a2->getRowId());
    QCOMPARE(paths.findBookpath("sea", -1), f1->getRowId());
    QCOMPARE(paths.findBookpath("sea", f1->getRowId()), -1);

    // Rename of a target: only exact matches follow, the name stays.
    QVERIFY(marks.updateFile("/p/A.jpg", "/q/x.jpg"));
    QCOMPARE(marks.findBookmarkByFile("/q/x.jpg", -1), -1);
    QVERIFY(marks.updateFile("/p/a.jpg", "/q/x.jpg"));
    QCOMPARE(marks.findBookmarkByFile("/p/a.jpg", -1), -1);
    BookPathInfo loaded;
    paths.loadChildren(&loaded, true);
    QCOMPARE(loaded.getChildrenPath().at(0)->getChildrenMark().at(0)->getFile(), QString("/q/x.jpg"));
    QCOMPARE(tree(&loaded), QString("[Sea: [Other: a.jpg] a.jpg]"));

    // Moves and edits change the rows, not the records.
    QVERIFY(marks.modBookParent(a.get(), &root));
    QCOMPARE(a->getParentId(), f1->getRowId());
    QVERIFY(paths.modBookParent(f2.get(), &root));
    a->setName("renamed");
    a->setBookMarkType(BookMarkInfo::BookMarkPath);
    QVERIFY(marks.modBookmark(a.get()));
    QVERIFY(paths.modBookpath(f1->getRowId(), "海"));
    paths.loadChildren(&loaded, true);
    QCOMPARE(tree(&loaded), QString("[Other: a.jpg] [海] renamed"));
}

void TestBookmark::oddRows()
{
    // A NULL parent lists at the top level; a row that is its own parent or a loop does not hang the load.
    QVERIFY(m_db->execMultiSql("insert into [bookpath] ([rowid], [parent], [name]) values (1, NULL, 'top');"
                               "insert into [bookpath] ([rowid], [parent], [name]) values (2, 2, 'self');"
                               "insert into [bookpath] ([rowid], [parent], [name]) values (3, 1, 'a');"
                               "insert into [bookpath] ([rowid], [parent], [name]) values (4, 3, 'b');"
                               "update [bookpath] set [parent]=4 where [rowid]=1;"
                               "insert into [bookpath] ([rowid], [parent], [name]) values (5, -3, 'neg')"));
    BookPathTb paths(m_db.get());
    BookPathInfo root;
    paths.loadChildren(&root, true);
    QCOMPARE(tree(&root), QString("[neg]"));
    QVERIFY(m_db->execNoQuery("update [bookpath] set [parent]=NULL where [rowid]=1"));
    paths.loadChildren(&root, true);
    QCOMPARE(tree(&root), QString("[neg] [top: [a: [b]]]"));

    BookPathInfo self;
    self.setRowId(2);
    paths.loadChildren(&self, true);
    QCOMPARE(tree(&self), QString("[self]"));
}

QTEST_GUILESS_MAIN(TestBookmark)
#include "tst_bookmark.moc"
