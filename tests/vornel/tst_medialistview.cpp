#include "common/photomaker.h"
#include "common/vorneltest.h"
#include "db/tagdb.h"
#include "grid/gridhost.h"
#include "grid/mediaitem.h"
#include "grid/medialistview.h"
#include "grid/mediamodel.h"
#include "grid/selectionedits.h"
#include "grid/tagfilewriter.h"
#include "meta/exivtags.h"
#include "records/filetagtb.h"
#include "task/pooljob.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

using namespace testutil;

namespace {

bool makeImages(const TempDir& dir, const QStringList& names, int w = 64, int h = 48)
{
    for (const QString& name : names)
        if (makeImage(dir.path(), name, w, h).isEmpty())
            return false;
    return true;
}

// Waits until the grid has rows rows, each with its tags loaded and no job left.
bool waitLoaded(MediaListView& view, int rows)
{
    MediaModel* model = view.mediaModel();
    const auto loaded = [model](int row) {
        MediaItem* item = model->itemFromIndex(model->index(row, 0));
        return item && item->getInfo() && item->getInfo()->tagReady == 1 && !item->getInfo()->isBusy();
    };
    return QTest::qWaitFor(
        [&] {
            bool all = model->rowCount() == rows;
            for (int row = 0; all && row < rows; ++row)
                all = loaded(row);
            return all;
        },
        20000);
}

// Shows the grid on the folder and waits until its rows have loaded.
bool showFolder(MediaListView& view, const QString& path, int rows, const QString& curFile = QString())
{
    view.resize(900, 600);
    view.show();
    view.listFolder(path, curFile);
    return waitLoaded(view, rows);
}

QModelIndex rowOf(MediaListView& view, const QString& name)
{
    MediaModel* model = view.mediaModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (QFileInfo(model->filePath(model->index(row, 0))).fileName() == name)
            return model->index(row, 0);
    }
    return QModelIndex();
}

ItemInfoPtr infoOf(MediaListView& view, const QString& name)
{
    MediaItem* item = view.mediaModel()->itemFromIndex(rowOf(view, name));
    return item ? item->getInfo() : ItemInfoPtr();
}

// Keeps what the grid says in the status bar.
class StatusHost : public GridHost {
public:
    QWidget* managerWidget() override { return nullptr; }
    QMenu* viewMenu() override { return nullptr; }
    GridViewer* viewer() override { return nullptr; }
    void showStatus(const QString& text) override { texts << text; }
    QStringList texts;
};

// Shows the folder with "TagSaveToFile" on and the status bar kept.
bool showWritingToFiles(MediaListView& view, StatusHost& host, const QString& path, int rows)
{
    AppCfg::instance()->tag.tagSaveToFile = 1;
    view.setHost(&host);
    return showFolder(view, path, rows);
}

bool writesDone()
{
    return QTest::qWaitFor([] { return TagFileWriter::instance()->pending() == 0; }, 20000);
}

ino_t inodeOf(const QString& path)
{
    struct stat st { };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_ino;
}

} // namespace

class TestMediaListView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { m_env.reset(); }
    void init();
    void listingOddFolder();
    void stoppedListingLeavesNothing();
    void editsReachEverySelectedCutDeleteOnlyVisible();
    void cellEditorsByHitTest();
    void clearNeverBlocks();
    void takenOverItemsRepaint();
    void currentAnnouncedWhenTagsArrive();
    void writesIntoFilesOffTheGuiThread();
    void writesKeepAnotherProgramsSaves();
    void writesUnderFileSizeLimit();

private:
    std::unique_ptr<VornelEnv> m_env;
};

void TestMediaListView::initTestCase()
{
    m_env = std::make_unique<VornelEnv>();
    QVERIFY(m_env->ok);
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_env->program.file("xdg")));
}

void TestMediaListView::init()
{
    CfgItem& item = AppCfg::instance()->item;
    item = CfgItem();
    item.showFileName = 1;
    item.updateRects();
    AppCfg::instance()->tag.tagSaveToFile = 0;
}

void TestMediaListView::listingOddFolder()
{
    TempDir dir;
    QVERIFY(makeImages(dir, { "a.jpg", "中文 名字.png", "with blank.jpg" }, 300, 200));
    QVERIFY(writeBytes(dir.file("zero.jpg"), QByteArray()));
    QVERIFY(writeBytes(dir.file("fake.png"), "not an image"));
    QVERIFY(writeBytes(dir.file("notes.txt"), "text"));
    QVERIFY(writeBytes(dir.file("cut.jpg"), readBytes(dir.file("a.jpg")).left(500)));
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    QVERIFY(!makeImage(dir.file("sub"), "inner.jpg").isEmpty());

    // Images only, broken ones as empty cells, not those of the subfolder.
    MediaListView view;
    QVERIFY(showFolder(view, dir.path(), 6, dir.file("中文 名字.png")));
    view.viewport()->repaint();
    QVERIFY(!rowOf(view, "inner.jpg").isValid() && !rowOf(view, "notes.txt").isValid());
    QCOMPARE(view.currentIndex(), rowOf(view, "中文 名字.png"));
    QCOMPARE(view.selectFile(dir.file("gone.jpg")), -1);
    // Another folder is listed for a file outside this one.
    QCOMPARE(view.selectFile(dir.file("sub/inner.jpg")), 1);
    QVERIFY(waitLoaded(view, 1));
    QCOMPARE(view.currentIndex(), rowOf(view, "inner.jpg"));
}

void TestMediaListView::stoppedListingLeavesNothing()
{
    TempDir big, small;
    const QString seed = makeImage(big.path(), "p0000.png", 8, 8);
    for (int i = 1; i < 3000; ++i)
        QVERIFY(QFile::copy(seed, big.file(QString("p%1.png").arg(i, 4, 10, QChar('0')))));
    QVERIFY(makeImages(small, { "only.jpg" }));

    // A listing stopped by the next one leaves none of its rows behind.
    MediaListView view;
    QSignalSpy cleared(&view, &MediaListView::itemCleared);
    for (int round = 0; round < 5; ++round) {
        view.listFolder(big.path(), QString());
        QTest::qWait(round); // let some of it be found and queued
        view.listFolder(small.path(), small.file("only.jpg"));
    }
    QVERIFY(QTest::qWaitFor([&] { return view.listFuture().isFinished(); }, 20000));
    QTest::qWait(200);
    QCOMPARE(view.mediaModel()->rowCount(), 1);
    QCOMPARE(view.mediaModel()->filePath(view.currentIndex()), small.file("only.jpg"));
    QCOMPARE(cleared.count(), 10);
}

void TestMediaListView::editsReachEverySelectedCutDeleteOnlyVisible()
{
    TempDir dir;
    QVERIFY(makeImages(dir, { "a.jpg", "b.jpg", "c.jpg", "d.jpg" }, 160, 120));
    MediaListView view;
    StatusHost host;
    QVERIFY(showWritingToFiles(view, host, dir.path(), 4));
    // e.jpg is never loaded: its tags are unknown.
    QVERIFY(makeImages(dir, { "e.jpg" }, 160, 120));
    const QByteArray eBefore = readBytes(dir.file("e.jpg"));
    view.onFindFile(dir.file("e.jpg"));
    QVERIFY(infoOf(view, "e.jpg") && infoOf(view, "e.jpg")->tagReady != 1);
    // c.jpg is hidden by the filter, d.jpg not selected.
    QVERIFY(infoOf(view, "c.jpg"));
    infoOf(view, "c.jpg")->setStar(2);
    view.onFilterItem({ 0 }, {}, {});
    QVERIFY(view.isRowHidden(rowOf(view, "c.jpg").row()));
    QVERIFY(!view.isRowHidden(rowOf(view, "e.jpg").row())); // still loading: shown
    for (const char* name : { "a.jpg", "b.jpg", "c.jpg", "e.jpg" })
        view.selectionModel()->select(rowOf(view, name), QItemSelectionModel::Select);
    QCOMPARE(view.visibleSelection().size(), 3);

    view.onSaveStar(4);
    // Hidden by the filter, still selected: the edit reaches it.
    QCOMPARE(starTextOf(infoOf(view, "c.jpg")), QStringLiteral("4"));
    // The one still loading is refused aloud.
    QCOMPARE(host.texts.value(0), QStringLiteral("1 张照片的标签仍在读取，未作修改。"));
    // The database rows follow; no row for the unloaded one.
    auto rowStar = [&](const char* name) {
        PooledDb<TagDb> db(tagDbPool);
        FileTagInfo row;
        return FileTagTb(db.get()).readFileTag(dir.file(name), row) ? row.getStar() : -1;
    };
    QVERIFY(QTest::qWaitFor(
        [&] { return rowStar("a.jpg") == 4 && rowStar("b.jpg") == 4 && rowStar("c.jpg") == 4; }, 10000));
    QCOMPARE(rowStar("e.jpg"), -1);

    view.onSaveTags(1, { 0xFF00FF00u }, { "x", "y" });
    QVERIFY(writesDone());
    // Into the files of the edited rows only.
    ExivTags tags;
    QCOMPARE(tags.loadTagsFromFile(dir.file("b.jpg")), 0);
    QCOMPARE(tags.getTextTag(), QStringList({ "x", "y" }));
    ExivTags hidden;
    QCOMPARE(hidden.loadTagsFromFile(dir.file("c.jpg")), 0);
    QCOMPARE(hidden.getTextTag(), QStringList({ "x", "y" }));
    QCOMPARE(readBytes(dir.file("e.jpg")), eBefore);
    AppCfg::instance()->tag.tagSaveToFile = 0;

    // Cut and delete take the shown selected rows, loaded or not; deleted files go to the trash.
    view.onCut();
    QStringList cut;
    for (const QUrl& url : QApplication::clipboard()->mimeData()->urls())
        cut << QFileInfo(url.toLocalFile()).fileName();
    QCOMPARE(cut, QStringList({ "a.jpg", "b.jpg", "e.jpg" }));
    view.onDelete();
    QCOMPARE(view.mediaModel()->rowCount(), 2);
    QVERIFY(!QFile::exists(dir.file("a.jpg")) && !QFile::exists(dir.file("e.jpg")));
    QVERIFY(QFile::exists(dir.file("c.jpg")) && rowOf(view, "c.jpg").isValid());
    QVERIFY(!QDir(m_env->program.file("xdg")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

void TestMediaListView::cellEditorsByHitTest()
{
    TempDir dir;
    QVERIFY(makeImages(dir, { "photo.one.jpg", "other.jpg" }, 200, 150));
    MediaListView view;
    QVERIFY(showFolder(view, dir.path(), 2));
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const ItemInfoPtr info = infoOf(view, "photo.one.jpg");
    const CfgItem& cfg = AppCfg::instance()->item;
    const QPoint cell = view.visualRect(rowOf(view, "photo.one.jpg")).topLeft();
    auto click = [&](const QRect& part) {
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, part.translated(cell).center());
    };

    // Hit-test codes and hover; each part opens its own editor.
    QTest::mouseMove(view.viewport(), cfg.rcStarButton.translated(cell).center());
    QCOMPARE(info->hoverPart.load(), int(PartStarButton));
    QCOMPARE(view.hitTest(cfg.rcColor[2].translated(cell).center()), int(PartColor1 + 2));
    click(cfg.rcStarButton);
    view.starMenu()->actions().at(2)->trigger();
    view.starMenu()->close();
    QCOMPARE(info->starText(), QStringLiteral("3"));
    // The in-place tag editor splits at the separators.
    click(cfg.rcTag);
    view.tagEditor()->setText(QStringLiteral("红，蓝;绿"));
    QTest::keyClick(view.tagEditor(), Qt::Key_Return);
    QCOMPARE(info->tagText(), QStringLiteral("红 蓝 绿 "));

    // File name: in-place rename with the base name selected; a taken name is refused.
    QLineEdit* name = view.nameEditor();
    click(cfg.rcFileName);
    QCOMPARE(name->selectedText(), QStringLiteral("photo"));
    name->setText(QStringLiteral("other.jpg"));
    const auto refused = answerMessageBox();
    QTest::keyClick(name, Qt::Key_Return);
    QVERIFY(refused->ran && QFile::exists(dir.file("photo.one.jpg")));
    click(cfg.rcFileName);
    name->setText(QStringLiteral("  新 名.jpg "));
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(info->fileName(), QStringLiteral("新 名.jpg"));
    QVERIFY(QFile::exists(dir.file("新 名.jpg")) && QFile::exists(dir.file("other.jpg")));
    // Return on the unchanged name renames nothing, though simplifying it would.
    QCOMPARE(info->rename(QStringLiteral(" 两  空.jpg")), 0);
    click(cfg.rcFileName);
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(info->fileName(), QStringLiteral(" 两  空.jpg"));

    // The context menu's rename opens the editor on the current cell only when it is shown and selected.
    const QModelIndex other = rowOf(view, "other.jpg");
    view.setCurrentIndex(other);
    view.onFilterItem({ 5 }, {}, {});
    view.onRename();
    QVERIFY(!name->isVisible());
    view.onShowAllItem();
    view.selectionModel()->clearSelection();
    view.onRename();
    QVERIFY(!name->isVisible());
    view.setCurrentIndex(other);
    view.onRename();
    QVERIFY(name->isVisible());
    QCOMPARE(name->selectedText(), QStringLiteral("other"));
}

void TestMediaListView::clearNeverBlocks()
{
    TempDir dir;
    const QString seed = makeImage(dir.path(), "s000.png", 32, 32);
    for (int i = 1; i < 300; ++i)
        QVERIFY(QFile::copy(seed, dir.file(QString("s%1.png").arg(i, 3, 10, QChar('0')))));
    auto* view = new MediaListView();
    MediaModel* model = view->mediaModel();
    auto listAll = [&] {
        view->listFolder(dir.path(), QString());
        return QTest::qWaitFor([&] { return model->rowCount() == 300 && view->currentIndex().isValid(); }, 20000);
    };
    QVERIFY(listAll());
    QWeakPointer<ItemInfo> first = model->itemFromIndex(model->index(0, 0))->getInfo();

    // The release thread held: the items can only go once it is free again, never on this thread.
    QSemaphore gate;
    struct Opener {
        QSemaphore& gate;
        ~Opener() { gate.release(); }
    } opener { gate };
    runJob(itemReleasePool, [&gate] { gate.acquire(); });
    QElapsedTimer timer;
    timer.start();
    view->clear(); // while loads are queued and running
    QVERIFY(timer.elapsed() < 1000);
    QCOMPARE(model->rowCount(), 0);
    QTest::qWait(50);
    QVERIFY(!model->releaseFuture().isFinished() && first.toStrongRef());
    gate.release();
    QVERIFY(QTest::qWaitFor([&] { return model->releaseFuture().isFinished() && !first.toStrongRef(); }, 20000));

    // Deleting the grid waits for its last release job.
    QVERIFY(listAll());
    first = model->itemFromIndex(model->index(0, 0))->getInfo();
    delete view;
    QVERIFY(!first.toStrongRef());
}

void TestMediaListView::takenOverItemsRepaint()
{
    TempDir dir;
    QVERIFY(makeImages(dir, { "x.png", "y.png" }));
    QLinkedList<ItemInfoPtr> items { itemFor(dir.file("x.png")), itemFor(dir.file("y.png")) };
    MediaListView view;
    view.resize(600, 400);
    view.show();
    QCOMPARE(view.loadItems(items, dir.file("y.png")), 0);
    QCOMPARE(view.currentIndex(), rowOf(view, "y.png"));
    for (int row = 0; row < 2; ++row) {
        MediaItem* item = view.mediaModel()->itemFromIndex(view.mediaModel()->index(row, 0));
        QVERIFY(item->view() == &view && item->mediaModel() == view.mediaModel()
            && item->delegate() == view.mediaDelegate());
    }
    // The rows' own items fill in and reach the filter through the view.
    view.onFilterItem({ 5 }, {}, {});
    QVERIFY(QTest::qWaitFor([&] { return view.isRowHidden(0) && view.isRowHidden(1); }, 10000));
}

void TestMediaListView::currentAnnouncedWhenTagsArrive()
{
    TempDir dir;
    QVERIFY(makeImages(dir, { "a.jpg", "b.jpg", "c.jpg" }, 800, 600));
    MediaListView view;
    QList<int> readyWhenAnnounced;
    connect(&view, &MediaListView::selectItemChanged, this, [&](ItemInfoPtr info) {
        if (info->fileName() == "b.jpg")
            readyWhenAnnounced << info->tagReady;
    });
    // Made current when the listing ends, before its tags have loaded (the loaders are held until then): announced
    // again once they have, so that a panel never edits a list built without them.
    PoolGate loaders(itemLoadPool);
    QVERIFY(loaders.holding());
    view.resize(900, 600);
    view.show();
    view.listFolder(dir.path(), dir.file("b.jpg"));
    QVERIFY(QTest::qWaitFor([&] { return !readyWhenAnnounced.isEmpty(); }, 20000));
    loaders.open();
    QVERIFY(waitLoaded(view, 3));
    QTest::qWait(50);
    QCOMPARE(readyWhenAnnounced, QList<int>({ 0, 1 }));
    // Loaded rows are announced once.
    view.setCurrentIndex(rowOf(view, "a.jpg"));
    view.setCurrentIndex(rowOf(view, "b.jpg"));
    QCOMPARE(readyWhenAnnounced, QList<int>({ 0, 1, 1 }));
}

void TestMediaListView::writesIntoFilesOffTheGuiThread()
{
    TempDir dir;
    QVERIFY(makeImages(dir, { "a.jpg", "b.jpg", "c.jpg", "d.bmp" }, 1200, 900));
    MediaListView view;
    StatusHost host;
    QVERIFY(showWritingToFiles(view, host, dir.path(), 4));
    view.selectAll();
    QSignalSpy batches(TagFileWriter::instance(), &TagFileWriter::batchDone);
    // The selection is edited a photo at a time, as a big one is, the event loop turning in between.
    SelectionEdits::setSlice(1, 0);
    const auto restore = qScopeGuard([] { SelectionEdits::setSlice(500, 20); });

    // Three edits in a row: each file is written in turn and ends with the newest tags; the BMP cannot take them.
    for (int star : { 1, 2, 5 })
        view.onSaveStar(star);
    QCOMPARE(starTextOf(infoOf(view, "a.jpg")), QStringLiteral("1"));
    QVERIFY(infoOf(view, "b.jpg") && infoOf(view, "b.jpg")->starText() != QStringLiteral("1"));
    // Each edit is told once, for all its photos.
    QVERIFY(waitForSignal(batches, 3, 30000));
    for (const char* name : { "a.jpg", "b.jpg", "c.jpg" }) {
        ExivTags tags;
        QCOMPARE(tags.loadTagsFromFile(dir.file(name)), 0);
        QCOMPARE(tags.getStar(), 5);
    }
    const QList<QVariant> last = batches.last();
    QCOMPARE(last.at(1).toInt() + last.at(2).toInt(), 3);
    QCOMPARE(last.at(3).toInt(), 1);
    // The status names the file that failed and why, in words.
    QCOMPARE(host.texts.last(),
        QStringLiteral(
            "标签写入文件：3 个成功，1 个失败（标签仍保存在数据库中）。“d.bmp”：写入照片失败（此格式不能存放标签）"));

    // The files that already hold these tags are not written again.
    const ino_t before = inodeOf(dir.file("a.jpg"));
    batches.clear();
    view.onSaveStar(5);
    QVERIFY(waitForSignal(batches, 1, 30000));
    QCOMPARE(batches.last().mid(1, 3), QList<QVariant>({ 0, 3, 1 }));
    QCOMPARE(inodeOf(dir.file("a.jpg")), before);

    // A grid that goes while an edit of its selection is under way still gives it to every photo.
    auto grid = std::make_unique<MediaListView>();
    QVERIFY(showFolder(*grid, dir.path(), 4));
    grid->selectAll();
    const ItemInfoPtr c = infoOf(*grid, "c.jpg");
    batches.clear();
    grid->onSaveStar(3);
    QCOMPARE(c->starText(), QStringLiteral("5"));
    grid.reset();
    QCOMPARE(c->starText(), QStringLiteral("3"));
    QVERIFY(waitForSignal(batches, 1, 30000));
    ExivTags tags;
    QCOMPARE(tags.loadTagsFromFile(dir.file("c.jpg")), 0);
    QCOMPARE(tags.getStar(), 3);
    AppCfg::instance()->tag.tagSaveToFile = 0;
}

void TestMediaListView::writesKeepAnotherProgramsSaves()
{
    // Another program saves new versions of the photos (written beside, renamed over) while stars are set.
    TempDir dir;
    QStringList photos;
    for (int i = 0; i < 24; ++i)
        photos << photomaker::makePhoto(dir.path(), QString("相片 %1.jpg").arg(i), true, 320, 240);
    MediaListView view;
    StatusHost host;
    QVERIFY(showWritingToFiles(view, host, dir.path(), photos.size()));
    view.selectAll();
    QSignalSpy batches(TagFileWriter::instance(), &TagFileWriter::batchDone);
    photomaker::ConcurrentEditor editor(photos);
    QVERIFY(editor.waitForSaves(1));
    for (int round = 0; round < 8; ++round) {
        view.onSaveStar(round % 5 + 1);
        QVERIFY(waitForSignal(batches, round + 1, 30000));
    }
    editor.stop();
    QVERIFY2(editor.undone().isEmpty(), qPrintable(editor.undone().join('\n')));
    AppCfg::instance()->tag.tagSaveToFile = 0;
}

void TestMediaListView::writesUnderFileSizeLimit()
{
    // Under a file-size limit (or on a full disk) the photo too large to be written again fails and stays whole;
    // the others are written, and the status bar tells both.
    TempDir dir;
    const QString big = photomaker::makePhoto(dir.path(), "大 big.jpg", true, 1600, 1200);
    const QString small = photomaker::makePhoto(dir.path(), "small.jpg", true, 64, 48);
    const QByteArray bigBytes = readBytes(big);
    MediaListView view;
    StatusHost host;
    QVERIFY(showWritingToFiles(view, host, dir.path(), 2));
    view.selectAll();
    QSignalSpy batches(TagFileWriter::instance(), &TagFileWriter::batchDone);
    // Read long before it was modified: any read would move the access time, which the write keeps.
    const struct timespec times[2] = { { 946688523, 5 }, { 1577934245, 7 } };
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(small).constData(), times, 0) == 0);
    {
        FileSizeLimit limit(QFileInfo(big).size() / 2);
        view.onSaveStar(3);
        QVERIFY(waitForSignal(batches, 1, 30000));
    }
    QCOMPARE(batches.last().mid(1, 3), QList<QVariant>({ 1, 0, 1 }));
    QVERIFY2(host.texts.last().startsWith(QStringLiteral(
                 "标签写入文件：1 个成功，1 个失败（标签仍保存在数据库中）。“大 big.jpg”：写入照片失败（")),
        qPrintable(host.texts.last()));
    QVERIFY2(host.texts.last().contains(QStringLiteral("File too large")), qPrintable(host.texts.last()));
    QCOMPARE(readBytes(big), bigBytes);
    struct stat st { };
    QVERIFY(::stat(QFile::encodeName(small).constData(), &st) == 0);
    QCOMPARE(QList<qint64>({ st.st_atim.tv_sec, st.st_atim.tv_nsec, st.st_mtim.tv_sec, st.st_mtim.tv_nsec }),
        QList<qint64>({ 946688523, 5, 1577934245, 7 }));
    ExivTags tags;
    QCOMPARE(tags.loadTagsFromFile(small), 0);
    QCOMPARE(tags.getStar(), 3);
    AppCfg::instance()->tag.tagSaveToFile = 0;
}

QTEST_MAIN(TestMediaListView)
#include "tst_medialistview.moc"
