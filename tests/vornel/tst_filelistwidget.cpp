#include "common/vorneltest.h"
#include "grid/fullimagecache.h"
#include "task/pooljob.h"
#include "viewer/filelistitem.h"
#include "viewer/filelistwidget.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSemaphore>
#include <QTest>
#include <QThread>
#include <QThreadPool>

#include <memory>

using namespace testutil;

namespace {

QStringList rowNames(const FileListWidget& list)
{
    QStringList names;
    for (int i = 0; i < list.count(); ++i)
        names << list.rowItem(i)->itemInfo()->fileName();
    return names;
}

QString currentName(const FileListWidget& list)
{
    const ItemInfoPtr info = list.currentInfo();
    return info ? info->fileName() : QString();
}

// Another folder listed, the file current once the listing has ended.
bool listedOn(FileListWidget& list, const QString& file)
{
    return list.selectFile(file) == 1
        && QTest::qWaitFor([&] { return currentName(list) == QFileInfo(file).fileName(); }, 10000);
}

// count pictures p000.png ... of w x h.
QStringList makePictures(const TempDir& dir, int count, int w, int h)
{
    QStringList files;
    for (int i = 0; i < count; ++i)
        files << makeImage(dir.path(), QString("p%1.png").arg(i, 3, 10, QLatin1Char('0')), w, h);
    return files;
}

QLinkedList<ItemInfoPtr> itemsOf(const QStringList& files)
{
    QLinkedList<ItemInfoPtr> items;
    for (const QString& f : files)
        items << itemFor(f);
    return items;
}

// The rows whose item holds its full image, once every full-image job has ended.
QList<int> rowsHolding(const FileListWidget& list)
{
    imageLoadPool->waitForDone(20000);
    QList<int> rows;
    for (int i = 0; i < list.count(); ++i) {
        if (list.rowItem(i)->itemInfo()->fullImageState() > 0)
            rows << i;
    }
    return rows;
}

QList<int> range(int from, int to)
{
    QList<int> rows;
    for (int i = from; i < to; ++i)
        rows << i;
    return rows;
}

} // namespace

class TestFileListWidget : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { m_env = std::make_unique<VornelEnv>(); }
    void cleanupTestCase() { m_env.reset(); }
    void init();
    void cleanup();
    void listsByNameAndSelects();
    void fullImagesNearestFirst();
    void visibleThumbnailsFirst();
    void trashAndRename();
    void paintsTheThumbnail();
    void itemsGoWithTheStrip();

private:
    std::unique_ptr<VornelEnv> m_env;
    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<FileListWidget> m_list;
};

void TestFileListWidget::init()
{
    m_dir = std::make_unique<TempDir>();
    AppCfg::instance(1);
    m_list = std::make_unique<FileListWidget>();
    m_list->resize(240, 400);
}

void TestFileListWidget::cleanup()
{
    m_list.reset();
    FullImageCache::instance().setBudget(FullImageCache::kDefaultBudget);
    itemReleasePool->waitForDone(20000);
}

void TestFileListWidget::listsByNameAndSelects()
{
    FileListWidget& list = *m_list;
    for (const char* name : { "b.jpg", "a10.png", "a9.png", "C 照片.jpg", "a.jpg" })
        QVERIFY(!makeImage(m_dir->path(), name, 20, 10).isEmpty());
    QVERIFY(writeBytes(m_dir->file("notes.txt"), "not a picture"));
    QVERIFY(QDir(m_dir->path()).mkdir("sub") && !makeImage(m_dir->file("sub"), "inner.jpg").isEmpty());
    const QStringList byName { "a.jpg", "a9.png", "a10.png", "b.jpg", "C 照片.jpg" };
    QSignalSpy shown(&list, &FileListWidget::showImage);

    // Another folder is listed by name, the file selected and shown.
    QVERIFY(listedOn(list, m_dir->file("a9.png")));
    QCOMPARE(rowNames(list), byName);
    QCOMPARE(shown.last().at(0).value<ItemInfoPtr>()->fileName(), QString("a9.png"));

    // A file the listing leaves out is shown all the same when it is the one asked for.
    QVERIFY(QFile::copy(m_dir->file("a.jpg"), m_dir->file("sub/.hidden")));
    QVERIFY(listedOn(list, m_dir->file("sub/.hidden")));
    QCOMPARE(rowNames(list), QStringList({ "inner.jpg", ".hidden" }));

    // The same folder: only the row changes; a file it does not hold changes nothing.
    QVERIFY(listedOn(list, m_dir->file("a9.png")));
    QCOMPARE(list.selectFile(m_dir->file("b.jpg")), 0);
    QCOMPARE(currentName(list), QString("b.jpg"));
    QCOMPARE(list.selectFile(m_dir->file("none.jpg")), -1);
    QCOMPARE(currentName(list), QString("b.jpg"));

    // Paths compare exactly: "Photos" beside "photos" is another folder.
    QVERIFY(QDir(m_dir->path()).mkdir("photos") && QDir(m_dir->path()).mkdir("Photos"));
    QVERIFY(!makeImage(m_dir->file("photos"), "low.png").isEmpty());
    QVERIFY(!makeImage(m_dir->file("Photos"), "high.png").isEmpty());
    QVERIFY(listedOn(list, m_dir->file("photos/low.png")));
    QVERIFY(listedOn(list, m_dir->file("Photos/high.png")));
    QCOMPARE(rowNames(list), QStringList { "high.png" });

    // A listing replaced before its files arrived leaves none behind; a refresh lists the folder once again.
    QCOMPARE(list.selectFile(m_dir->file("photos/low.png")), 1);
    QThreadPool::globalInstance()->waitForDone(10000); // its files are on their way
    QVERIFY(listedOn(list, m_dir->file("a.jpg")));
    QCOMPARE(rowNames(list), byName);
    list.onRefresh();
    QTRY_COMPARE(currentName(list), QString("a.jpg"));
    QCOMPARE(rowNames(list), byName);
}

void TestFileListWidget::fullImagesNearestFirst()
{
    FileListWidget& list = *m_list;
    QStringList files = makePictures(*m_dir, 100, 8, 6);
    QLinkedList<ItemInfoPtr> items = itemsOf(files);

    // Row 0 of 100 with CacheImageCount 10: rows 0-9 load theirs, no other.
    QCOMPARE(list.loadItems(items, files.first()), 0);
    QCOMPARE(rowsHolding(list), range(0, 10));
    // Every row holding one, row 50 becomes current: 40-59 load, 0-29 and 70-99 let theirs go, the rows
    // between keep what they have.
    for (const ItemInfoPtr& info : qAsConst(items))
        info->loadFullImage();
    QCOMPARE(rowsHolding(list).size(), 100);
    list.setCurrentRow(50);
    QCOMPARE(rowsHolding(list), range(30, 70));

    // Room for five: the current row and its nearest neighbours take it, not the rows decoded last.
    TempDir other;
    files = makePictures(other, 30, 200, 100);
    QLinkedList<ItemInfoPtr> sized;
    for (const QString& f : files)
        sized << loadedItem(f);
    const qint64 one = 200 * 100 * 4;
    FullImageCache::instance().setBudget(5 * one + one / 2);
    QCOMPARE(list.loadItems(sized, files.at(10)), 0);
    QCOMPARE(rowsHolding(list), range(8, 13));
    // One step on: the row that came within reach is loaded, the one left farthest behind makes room.
    list.setCurrentRow(11);
    QCOMPARE(rowsHolding(list), range(9, 14));
    QVERIFY(FullImageCache::instance().heldBytes() <= FullImageCache::instance().budget());
}

void TestFileListWidget::visibleThumbnailsFirst()
{
    FileListWidget& list = *m_list;
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    const QStringList files = makePictures(*m_dir, 60, 40, 30);
    QLinkedList<ItemInfoPtr> items = itemsOf(files);
    QList<int> loaded;
    int row = 0;
    for (const ItemInfoPtr& info : qAsConst(items))
        connect(info.data(), &ItemInfo::cacheLoaded, &list, [&loaded, r = row++] { loaded << r; });
    const int extra = AppCfg::instance()->list.loadThumbCount;
    const auto onScreen = [](FileListWidget& l, int y) { return l.row(l.itemAt(QPoint(20, y))); };

    // One loader thread, held: the loads queue in the order the strip asks for them. The current row comes
    // first, then the rows on screen and a scroll step around them, then the rest.
    const int threads = itemLoadPool->maxThreadCount();
    itemLoadPool->setMaxThreadCount(1);
    {
        PoolGate gate(itemLoadPool);
        QVERIFY(gate.holding());
        QCOMPARE(list.loadItems(items, files.at(30)), 0);
        const int first = onScreen(list, 20);
        const int last = onScreen(list, list.viewport()->height());
        QVERIFY(first > 0 && first <= 30 && last >= 30 && last < 59);
        gate.open();
        QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 60, 20000);
        const QList<int> near = range(std::max(first - extra, 0), std::min(last + extra, 60));
        QCOMPARE(loaded.first(), 30);
        QList<int> head = loaded.mid(0, near.size());
        std::sort(head.begin(), head.end());
        QCOMPARE(head, near);
    }
    itemLoadPool->setMaxThreadCount(threads);

    // Rows scrolled to load with a scroll step beyond them in the direction of the scroll, not the whole folder.
    FileListWidget fresh;
    fresh.resize(240, 400);
    fresh.show();
    QVERIFY(QTest::qWaitForWindowExposed(&fresh));
    for (const QString& f : makePictures(*m_dir, 200, 8, 6))
        fresh.onFindFile(f);
    QTRY_VERIFY(fresh.verticalScrollBar()->maximum() > 0);
    PoolGate gate(itemLoadPool);
    QVERIFY(gate.holding());
    fresh.verticalScrollBar()->setValue(fresh.verticalScrollBar()->maximum() / 2);
    QList<int> asked;
    for (int i = 0; i < fresh.count(); ++i) {
        if (fresh.rowItem(i)->itemInfo()->isBusy())
            asked << i;
    }
    QCOMPARE(asked, range(onScreen(fresh, 20) - extra, onScreen(fresh, fresh.viewport()->height()) + 2 * extra));
}

void TestFileListWidget::trashAndRename()
{
    FileListWidget& list = *m_list;
    QVERIFY(QDir().mkpath(m_dir->file("锁 住")));
    QStringList files;
    for (const char* name : { "a.png", "b 照片.png", "c.png", "锁 住/d.png", "e.png" })
        files << makeImage(m_dir->path(), name);
    QWeakPointer<ItemInfo> a, b;
    {
        // The strip holds the only references.
        QLinkedList<ItemInfoPtr> items = itemsOf(files);
        a = items.first().toWeakRef();
        b = (*std::next(items.begin())).toWeakRef();
        QCOMPARE(list.loadItems(items, files.at(1)), 0);
    }
    for (int i = 0; i < 3; ++i)
        list.item(i)->setSelected(true);
    QVERIFY(QFile::remove(files.at(2))); // c is gone already
    QSignalSpy shown(&list, &FileListWidget::showImage);
    {
        PoolGate release(itemReleasePool);
        QVERIFY(release.holding());
        const auto told = answerMessageBox();
        list.onDelete();
        // The file that was gone is named as gone, not as still in place, and leaves like the trashed ones.
        QVERIFY(told->ran && told->text.contains(files.at(2)) && told->text.contains("已不在原处"));
        QVERIFY(!told->text.contains("仍在原处"));
        // The next row is shown once, highlighted alone; the items go on the release pool.
        QCOMPARE(rowNames(list), QStringList({ "d.png", "e.png" }));
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().at(0).value<ItemInfoPtr>()->fileName(), currentName(list));
        QCOMPARE(list.selectedItems(), QList<QListWidgetItem*>({ list.currentItem() }));
        QVERIFY(a && b);
    }
    QTRY_VERIFY(!a && !b);
    const QString trash = qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/files/";
    QVERIFY(QFile::exists(trash + "a.png") && QFile::exists(trash + "b 照片.png") && QFile::exists(files.at(4)));

    // A file the user may not move stays, with its row, and is named as still in place.
    QTRY_VERIFY(tagsLoadedAndIdle(list.currentInfo()));
    {
        LockedFolder locked(m_dir->file("锁 住"));
        QVERIFY(locked.ok());
        Unprivileged user;
        const auto told = answerMessageBox();
        list.onDelete();
        QVERIFY(told->ran && told->text.contains(files.at(3)) && told->text.contains("仍在原处"));
    }
    QCOMPARE(rowNames(list), QStringList({ "d.png", "e.png" }));
    QVERIFY(QFile::exists(files.at(3)));

    // Renamed, the canvas and the window's title line follow the new name.
    list.setCurrentRow(1);
    QTRY_VERIFY(tagsLoadedAndIdle(list.currentInfo()));
    shown.clear();
    onNextModal([](QWidget* w) {
        w->findChild<QLineEdit*>("leFileName")->setText("新 名.png");
        w->findChild<QPushButton*>("btRename")->click();
    });
    list.onRename();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().at(0).value<ItemInfoPtr>()->fileInfo.absoluteFilePath(), m_dir->file("新 名.png"));
    QVERIFY(QFile::exists(m_dir->file("新 名.png")));
}

void TestFileListWidget::paintsTheThumbnail()
{
    FileListWidget& list = *m_list;
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    const QString red = makeImage(m_dir->path(), "red.png", 400, 300, Qt::red);
    QLinkedList<ItemInfoPtr> items = itemsOf({ red });
    QCOMPARE(list.loadItems(items, red), 0);
    const QPoint centre = list.visualItemRect(list.item(0)).topLeft() + AppCfg::instance()->list.rcThumb.center();
    const auto painted = [&] { return list.viewport()->grab().toImage().pixelColor(centre); };
    QTRY_VERIFY_WITH_TIMEOUT(painted().red() > 200 && painted().green() < 60, 10000);
}

void TestFileListWidget::itemsGoWithTheStrip()
{
    QList<QWeakPointer<ItemInfo>> held;
    {
        QLinkedList<ItemInfoPtr> items = itemsOf(makePictures(*m_dir, 40, 64, 48));
        for (const ItemInfoPtr& info : qAsConst(items))
            held << info.toWeakRef();
        QCOMPARE(m_list->loadItems(items, m_dir->file("p020.png")), 0);
    }
    // A job still holding the release pool's thread: the strip's own release waits behind it.
    QSemaphore gate;
    QThreadPool* pool = itemReleasePool;
    runJob(pool, [&gate] { gate.acquire(); });
    runJob(QThreadPool::globalInstance(), [&gate] {
        QThread::msleep(100);
        gate.release();
    });
    m_list.reset();
    for (const QWeakPointer<ItemInfo>& info : qAsConst(held))
        QVERIFY(info.isNull());
}

VORN_XDG_TEST_MAIN(TestFileListWidget)
#include "tst_filelistwidget.moc"
