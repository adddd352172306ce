#include "app/photofiles.h"
#include "common/vorneltest.h"
#include "db/sqlitedb.h"
#include "db/thumbdb.h"
#include "manager/imageviewform.h"
#include "panels/filetreemodel.h"
#include "panels/filetreeview.h"
#include "panels/taginfoview.h"
#include "records/bookmarktb.h"
#include "records/bookpathinfo.h"
#include "records/histaglist.h"
#include "records/imagecachetb.h"
#include "sys/fileutil.h"
#include "tagwidgets/qxtstars.h"
#include "task/pooljob.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <cstdio>

using namespace testutil;

namespace {

const uint kBlue = 0xFF0000FFu;
const uint kGreen = 0xFF00FF00u;

// The photo's own tags as the file holds them now.
struct InFile {
    bool has = false;
    int star = 0;
    QList<uint> rgb;
    QStringList text;
};

InFile inFile(const QString& path)
{
    ExivTags tags;
    tags.loadTagsFromFile(path);
    return { tags.getHasTags(), tags.getStar(), tags.getRgb(), tags.getTextTag() };
}

// The row as a fresh connection finds it in the file at the database's path (not through the program's pool).
FileTagInfo rowOnDisk(const QString& dbFile, const QString& file)
{
    static int serial = 0;
    FileTagInfo row;
    TagDb db;
    if (db.openDb(dbFile, QStringLiteral("disk.%1").arg(++serial), true))
        FileTagTb(&db).readFileTag(file, row);
    return row;
}

// Stores the photo's row with these tags, as another program (or a second window of this one) would.
bool storeRowAsOther(const QString& dbFile, const QString& file, int star, const QStringList& texts)
{
    static int serial = 0;
    TagDb db;
    if (!db.openDb(dbFile, QStringLiteral("other.%1").arg(++serial), true))
        return false;
    FileTagInfo row;
    row.setPath(QFileInfo(file).absolutePath());
    row.setFile(file);
    row.setFileFacts(QFileInfo(file));
    const QSize size = QImage(file).size();
    row.setImageWidth(size.width());
    row.setImageHeight(size.height());
    row.setStar(star);
    row.setTextTag(texts);
    return FileTagTb(&db).addFileTag(row);
}

void closeManager()
{
    if (PicMgr* mgr = PicMgr::current())
        mgr->close();
    QVERIFY(QTest::qWaitFor([] { return !PicMgr::current(); }, 5000));
}

QModelIndex cellOf(MediaListView* grid, const QString& path)
{
    MediaModel* model = grid->mediaModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->filePath(model->index(row, 0)) == path)
            return model->index(row, 0);
    }
    return QModelIndex();
}

ItemInfoPtr infoOf(MediaListView* grid, const QString& path)
{
    const QModelIndex cell = cellOf(grid, path);
    return cell.isValid() ? grid->mediaModel()->itemFromIndex(cell)->getInfo() : ItemInfoPtr();
}

// The manager shown on the folder with one photo current and selected.
PicMgr* managerOn(const QString& folder, const QString& current, int rows)
{
    PicMgr* mgr = shownManager();
    if (!mgr)
        return nullptr;
    MediaListView* grid = mgr->form()->listView();
    grid->listFolder(folder, current);
    if (!waitLoaded(grid, rows))
        return nullptr;
    grid->selectionModel()->select(grid->currentIndex(), QItemSelectionModel::ClearAndSelect);
    // The tag panel shows the current photo once its tags have reached it.
    QxtStars* stars = mgr->form()->tagInfo()->starWidget();
    return QTest::qWaitFor([stars] { return stars->isEnabled(); }, 10000) ? mgr : nullptr;
}

bool settled(const QList<ItemInfoPtr>& items)
{
    return QTest::qWaitFor(
        [&] {
            if (TagFileWriter::instance()->pending() > 0 || ItemStoreQueue::pending() > 0)
                return false;
            for (const ItemInfoPtr& item : items) {
                if (!item || item->isBusy())
                    return false;
            }
            return true;
        },
        20000);
}

} // namespace

// Tag edits through the manager window: they reach every selected photo, and each is stored or the window says
// it is not, whatever the tag database does meanwhile.
class TestTagEdits : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void editsReachHiddenSelectedPhotos();
    void editOfAGonePhotoIsRefused();
    void editOfAFileThatIsNoPictureIsRefused();
    void lockedDatabaseKeepsEditsUntilStored();
    void damagedDatabaseStillTagsThePhotos();
    void pagesDamagedInPlaceAreNotCalledStored();
    void fileFailureTellsWhatTheDatabaseHolds();
    void twoProgramsKeepBothEdits();
    void rowOfANewPhotoWrittenMeanwhileIsKept();
    void renamesTakeTheRowsAlong();
    void settingTheShownValueReachesAPhotoBehindItsRow();
    void textTagWithABlankReadsTheSameAfterRestart();

private:
    QString tagDbFile() const { return m_env->program.file("data/tag.db"); }
    std::unique_ptr<VornelEnv> m_env;
    std::unique_ptr<TempDir> m_dir;
};

void TestTagEdits::initTestCase()
{
    QCoreApplication::setOrganizationName("tamrolek");
    QCoreApplication::setApplicationName("vornel");
}

void TestTagEdits::init()
{
    QSettings().clear();
    m_env = std::make_unique<VornelEnv>();
    QVERIFY(m_env->ok);
    m_dir = std::make_unique<TempDir>();
    HisTagList::m_hisTags.clear();
    ItemStoreQueue::setRetryDelay(50);
}

void TestTagEdits::cleanup()
{
    closeManager();
    SqliteDb::limitWaits(-1);
    m_env.reset();
}

void TestTagEdits::editsReachHiddenSelectedPhotos()
{
    const QString shown = taggedPhoto(*m_dir, "海边 a.jpg", 3, {}, { "sea" });
    const QString other = taggedPhoto(*m_dir, "b.jpg", 1, {}, { "keep" });
    QVERIFY(!shown.isEmpty() && !other.isEmpty());
    AppCfg::instance()->tag.tagSaveToFile = 1;
    PicMgr* mgr = managerOn(m_dir->path(), shown, 2);
    QVERIFY(mgr);
    MediaListView* grid = mgr->form()->listView();
    // The keyword hides the selected photo; the panel still shows it and takes the 5th star.
    mgr->findChild<QComboBox*>("cbTextTag")->setEditText(QStringLiteral("zzz"));
    QVERIFY(grid->isRowHidden(grid->currentIndex().row()));
    TagInfoView* panel = mgr->form()->tagInfo();
    panel->starWidget()->setValue(5);
    QVERIFY(settled({ infoOf(grid, shown) }));
    QCOMPARE(storedRow(shown).getStar(), 5);
    QCOMPARE(inFile(shown).star, 5);
    QCOMPARE(inFile(shown).text, QStringList({ "sea" }));
    QCOMPARE(panel->starWidget()->value(), 5);
    QCOMPARE(storedRow(other).getStar(), 1);
}

void TestTagEdits::editOfAGonePhotoIsRefused()
{
    const QString gone = makeImage(m_dir->path(), "走了.jpg", 80, 60);
    QVERIFY(!makeImage(m_dir->path(), "stays.jpg", 80, 60).isEmpty());
    PicMgr* mgr = managerOn(m_dir->path(), gone, 2);
    QVERIFY(mgr);
    const FileTagInfo before = storedRow(gone);
    QVERIFY(before.getRowId() > 0);
    QVERIFY(QFile::remove(gone));

    TagInfoView* panel = mgr->form()->tagInfo();
    panel->starWidget()->setValue(4);
    QCOMPARE(mgr->statusText(), QStringLiteral("“走了.jpg”已不存在，未作修改。"));
    // The panel shows what the photo holds, not the refused star; nothing is written for it.
    QCOMPARE(panel->starWidget()->value(), before.getStar());
    QVERIFY(settled({ infoOf(mgr->form()->listView(), gone) }));
    QCOMPARE(storedRow(gone).getStar(), before.getStar());
}

void TestTagEdits::editOfAFileThatIsNoPictureIsRefused()
{
    // Neither the database nor the file could keep a tag for these: the user is told so at once, not later that
    // the database keeps it.
    AppCfg::instance()->tag.tagSaveToFile = 1;
    const QString text = m_dir->file("文本 a.jpg");
    const QString empty = m_dir->file("空 b.jpg");
    QVERIFY(writeBytes(text, "not a picture"));
    QVERIFY(writeBytes(empty, QByteArray()));
    const QString photo = makeImage(m_dir->path(), "照片 c.jpg", 80, 60);
    // They never get a thumbnail: the grid is listed here rather than waited for whole.
    PicMgr* mgr = shownManager();
    QVERIFY(mgr);
    MediaListView* grid = mgr->form()->listView();
    grid->listFolder(m_dir->path(), photo);
    QVERIFY(QTest::qWaitFor([grid] { return grid->mediaModel()->rowCount() == 3; }, 10000));
    const ItemInfoPtr textInfo = infoOf(grid, text);
    const ItemInfoPtr emptyInfo = infoOf(grid, empty);
    QVERIFY(textInfo && emptyInfo);
    QVERIFY(QTest::qWaitFor([&] { return textInfo->tagReady == 1 && emptyInfo->tagReady == 1; }, 10000));
    grid->selectionModel()->setCurrentIndex(cellOf(grid, text), QItemSelectionModel::ClearAndSelect);

    TagInfoView* panel = mgr->form()->tagInfo();
    panel->starWidget()->setValue(4);
    QCOMPARE(mgr->statusText(), QStringLiteral("“文本 a.jpg”无法作为图片读取，不能加标签，未作修改。"));
    QCOMPARE(panel->starWidget()->value(), 0);
    grid->selectionModel()->select(cellOf(grid, empty), QItemSelectionModel::Select);
    emit panel->saveRgbs({ kBlue });
    QCOMPARE(mgr->statusText(), QStringLiteral("2 个文件无法作为图片读取，不能加标签，未作修改。"));

    QVERIFY(settled({ textInfo, emptyInfo }));
    QTest::qWait(200);
    QCOMPARE(mgr->statusText(), QStringLiteral("2 个文件无法作为图片读取，不能加标签，未作修改。"));
    for (const ItemInfoPtr& info : { textInfo, emptyInfo }) {
        QCOMPARE(info->starText(), QStringLiteral("0"));
        QCOMPARE(info->rgb(0), QRgb(0));
    }
    QCOMPARE(readBytes(text), QByteArray("not a picture"));
    QCOMPARE(QFileInfo(empty).size(), qint64(0));
}

void TestTagEdits::lockedDatabaseKeepsEditsUntilStored()
{
    const QString photo = makeImage(m_dir->path(), "锁 住.jpg", 80, 60);
    const QString bitmap = makeImage(m_dir->path(), "位图.bmp", 80, 60);
    AppCfg::instance()->tag.tagSaveToFile = 1;
    PicMgr* mgr = managerOn(m_dir->path(), photo, 2);
    QVERIFY(mgr);
    MediaListView* grid = mgr->form()->listView();
    QVERIFY(storedRow(photo).getRowId() > 0);

    // Another program holds a write lock for longer than any wait (reads still go through).
    TagDb other;
    QVERIFY(other.openDb(tagDbFile(), "locker", true));
    QVERIFY(other.execNoQuery("BEGIN IMMEDIATE"));
    SqliteDb::limitWaits(0);
    TagInfoView* panel = mgr->form()->tagInfo();
    // A BMP takes no tags in the file: the tip never says they are there.
    grid->selectionModel()->setCurrentIndex(cellOf(grid, bitmap), QItemSelectionModel::ClearAndSelect);
    panel->starWidget()->setValue(4);
    QTRY_VERIFY_WITH_TIMEOUT(mgr->noteText() == QStringLiteral("标签修改尚未存入数据库"), 10000);
    QVERIFY(mgr->noteTip().contains(QStringLiteral("数据库被其他程序占用")));
    QVERIFY2(!mgr->noteTip().contains(QStringLiteral("已写入照片文件")), qPrintable(mgr->noteTip()));
    grid->selectionModel()->setCurrentIndex(cellOf(grid, photo), QItemSelectionModel::ClearAndSelect);
    panel->starWidget()->setValue(4);
    emit panel->saveRgbs({ kBlue });
    QTRY_COMPARE_WITH_TIMEOUT(inFile(photo).rgb, QList<uint>({ kBlue }), 10000);
    QTRY_VERIFY2_WITH_TIMEOUT(
        mgr->noteTip().contains(QStringLiteral("已写入照片文件，其余")), qPrintable(mgr->noteTip()), 10000);

    // The cell and the viewer name the photo's size as the write left it.
    const ItemInfoPtr written = infoOf(grid, photo);
    QVERIFY(written);
    QTRY_COMPARE(written->fileSizeText(), calcFileSize(QFileInfo(photo).size()));

    // A new photo whose row waits with its edit, removed by other hands meanwhile: not called saved.
    const QString fresh = makeImage(m_dir->path(), "新 c.jpg", 80, 60);
    grid->listFolder(m_dir->path(), fresh);
    QVERIFY(QTest::qWaitFor(
        [&] {
            const ItemInfoPtr info = infoOf(grid, fresh);
            return info && info->tagReady == 1 && info->thumbReady == 1 && !info->isBusy();
        },
        10000));
    QVERIFY(infoOf(grid, fresh)->setStar(2));
    QVERIFY(QFile::remove(fresh));
    QTest::qWait(300); // tried again and again meanwhile
    QVERIFY(!mgr->noteText().isEmpty());

    QVERIFY(other.execNoQuery("ROLLBACK"));
    SqliteDb::limitWaits(-1);
    QTRY_VERIFY_WITH_TIMEOUT(mgr->noteText().isEmpty(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(
        mgr->statusText(), QStringLiteral("其余标签修改已保存到数据库；1 项因照片已不在而未能保存。"), 10000);
    QCOMPARE(storedRow(photo).getStar(), 4);
    QCOMPARE(storedRow(photo).getRgb(), QList<uint>({ kBlue }));
    QCOMPARE(storedRow(bitmap).getStar(), 4);

    // And after a restart.
    closeManager();
    mgr = managerOn(m_dir->path(), photo, 2);
    QVERIFY(mgr);
    const FileTagInfo shown = tagRecordOf(infoOf(mgr->form()->listView(), photo));
    QCOMPARE(shown.getStar(), 4);
    QCOMPARE(shown.getRgb(), QList<uint>({ kBlue }));
    QCOMPARE(starTextOf(infoOf(mgr->form()->listView(), bitmap)), QStringLiteral("4"));
}

void TestTagEdits::damagedDatabaseStillTagsThePhotos()
{
    const QString photo = makeImage(m_dir->path(), "照片 损坏.jpg", 80, 60);
    AppCfg::instance()->tag.tagSaveToFile = 1;
    PicMgr* mgr = managerOn(m_dir->path(), photo, 1);
    QVERIFY(mgr);

    // A file that is no database is renamed over tag.db while the program runs.
    const QString rubbish = m_dir->file("rubbish");
    QVERIFY(writeBytes(rubbish, QByteArray(16384, 'x')));
    QCOMPARE(std::rename(QFile::encodeName(rubbish).constData(), QFile::encodeName(tagDbFile()).constData()), 0);
    TagInfoView* panel = mgr->form()->tagInfo();
    panel->starWidget()->setValue(3);
    QTRY_VERIFY_WITH_TIMEOUT(mgr->noteTip().contains(QStringLiteral("已损坏")), 10000);

    QTRY_COMPARE_WITH_TIMEOUT(inFile(photo).star, 3, 10000);

    // The user moves the damaged file away: a new database is made and the edit reaches it.
    QVERIFY(QFile::remove(tagDbFile()));
    QTRY_VERIFY_WITH_TIMEOUT(mgr->noteText().isEmpty(), 10000);
    QVERIFY(settled({ infoOf(mgr->form()->listView(), photo) }));
    const FileTagInfo row = rowOnDisk(tagDbFile(), photo);
    QCOMPARE(row.getStar(), 3);
    QVERIFY(row.matchesFile(QFileInfo(photo)));
}

void TestTagEdits::pagesDamagedInPlaceAreNotCalledStored()
{
    QStringList photos;
    for (int i = 0; i < 40; ++i)
        photos << makeImage(m_dir->path(), QStringLiteral("页 %1.jpg").arg(i), 32, 24);
    AppCfg::instance()->tag.tagSaveToFile = 0;
    PicMgr* mgr = managerOn(m_dir->path(), photos.first(), photos.size());
    QVERIFY(mgr);
    QVERIFY(settled({}));

    // Every pooled connection has read the rows, as the loaders' ones have.
    QList<SqliteDb*> held;
    while (tagDbPool->idleCount() > 0)
        held << tagDbPool->acquire();
    for (SqliteDb* db : held) {
        QList<FileTagInfo*> rows;
        QVERIFY(FileTagTb(db).loadFileTag(rows));
        QCOMPARE(rows.size(), photos.size());
        qDeleteAll(rows);
        tagDbPool->release(db);
    }

    // Something else overwrites every page but the header in place, leaving its change counter alone.
    QFile file(tagDbFile());
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QByteArray header = file.read(100);
    const int pageSize = (uchar(header.at(16)) << 8) | uchar(header.at(17));
    QVERIFY(pageSize >= 512 && file.size() > 2 * pageSize);
    QByteArray rubbish(int(file.size() - pageSize), '\0');
    for (int i = 0; i < rubbish.size(); ++i)
        rubbish[i] = char((i * 131 + 7) % 251);
    QVERIFY(file.seek(pageSize));
    QCOMPARE(file.write(rubbish), qint64(rubbish.size()));
    file.close();

    // The edit is not called stored: the window says the database is damaged while it waits.
    mgr->form()->tagInfo()->starWidget()->setValue(4);
    QTRY_VERIFY_WITH_TIMEOUT(mgr->noteTip().contains(QStringLiteral("已损坏")), 10000);
    // Tried again and again meanwhile, never called stored.
    QTest::qWait(1500);
    QCOMPARE(mgr->noteText(), QStringLiteral("标签修改尚未存入数据库"));
    QVERIFY(mgr->statusText() != QStringLiteral("标签修改已全部保存到数据库。"));

    // The damaged file moved away, the edit reaches the new database.
    QVERIFY(QFile::remove(tagDbFile()));
    QTRY_VERIFY_WITH_TIMEOUT(mgr->noteText().isEmpty(), 10000);
    QVERIFY(settled({ infoOf(mgr->form()->listView(), photos.first()) }));
    QCOMPARE(rowOnDisk(tagDbFile(), photos.first()).getStar(), 4);
    QCOMPARE(mgr->statusText(), QStringLiteral("标签修改已全部保存到数据库。"));
}

void TestTagEdits::fileFailureTellsWhatTheDatabaseHolds()
{
    // A BMP takes no tags in the file: its write fails at once.
    const QString photo = makeImage(m_dir->path(), "位图 a.bmp", 80, 60);
    AppCfg::instance()->tag.tagSaveToFile = 1;
    PicMgr* mgr = managerOn(m_dir->path(), photo, 1);
    QVERIFY(mgr);

    // A database that works stores the row, however late its turn comes (here another program holds it for a
    // moment): the status says so, and why the file failed.
    TagDb brief;
    QVERIFY(brief.openDb(tagDbFile(), "brief", true));
    QVERIFY(brief.execNoQuery("BEGIN EXCLUSIVE"));
    QTimer::singleShot(800, [&brief] { brief.execNoQuery("ROLLBACK"); });
    mgr->form()->tagInfo()->starWidget()->setValue(2);
    QTRY_VERIFY_WITH_TIMEOUT(mgr->statusText().contains(QStringLiteral("1 个失败")), 10000);
    QVERIFY2(mgr->statusText().contains(QStringLiteral("标签仍保存在数据库中")), qPrintable(mgr->statusText()));
    QVERIFY2(mgr->statusText().contains(QStringLiteral("“位图 a.bmp”：写入照片失败（此格式不能存放标签）")),
        qPrintable(mgr->statusText()));
    QVERIFY(settled({ infoOf(mgr->form()->listView(), photo) }));
    QCOMPARE(storedRow(photo).getStar(), 2);
    mgr->showStatus(QString());

    // Another program holds the database: the row waits for it meanwhile.
    TagDb other;
    QVERIFY(other.openDb(tagDbFile(), "locker", true));
    QVERIFY(other.execNoQuery("BEGIN EXCLUSIVE"));
    mgr->form()->tagInfo()->starWidget()->setValue(4);
    QTRY_VERIFY_WITH_TIMEOUT(mgr->statusText().contains(QStringLiteral("1 个失败")), 10000);
    QVERIFY2(!mgr->statusText().contains(QStringLiteral("标签仍保存在数据库中")), qPrintable(mgr->statusText()));
    QVERIFY(mgr->statusText().contains(QStringLiteral("数据库也尚未保存")));

    QVERIFY(other.execNoQuery("ROLLBACK"));
    QVERIFY(settled({ infoOf(mgr->form()->listView(), photo) }));
    QCOMPARE(storedRow(photo).getStar(), 4);
}

void TestTagEdits::twoProgramsKeepBothEdits()
{
    const QString photo = makeImage(m_dir->path(), "共享 照片.jpg", 80, 60);
    AppCfg::instance()->tag.tagSaveToFile = 1;
    PicMgr* mgr = managerOn(m_dir->path(), photo, 1);
    QVERIFY(mgr);
    const ItemInfoPtr mine = infoOf(mgr->form()->listView(), photo);
    QVERIFY(mine);
    // The other program loaded the photo before this window's edits.
    const ItemInfoPtr theirs = loadedItem(photo);
    QVERIFY(theirs);

    TagInfoView* panel = mgr->form()->tagInfo();
    panel->starWidget()->setValue(4);
    emit panel->saveRgbs({ kBlue, kGreen });
    QVERIFY(settled({ mine }));
    QCOMPARE(inFile(photo).star, 4);

    // The other adds a text tag and writes the photo from its stale copy.
    QVERIFY(theirs->addTextTag(QStringLiteral("旅行")));
    TagFileWriter::instance()->write({ theirs });
    QVERIFY(settled({ mine, theirs }));

    const InFile file = inFile(photo);
    QCOMPARE(file.star, 4);
    QCOMPARE(file.rgb, QList<uint>({ kBlue, kGreen }));
    QCOMPARE(file.text, QStringList({ "旅行" }));
    const FileTagInfo row = storedRow(photo);
    QCOMPARE(row.getStar(), 4);
    QCOMPARE(row.getRgb(), QList<uint>({ kBlue, kGreen }));
    QCOMPARE(row.getTextTag(), QStringList({ "旅行" }));
    QVERIFY(row.matchesFile(QFileInfo(photo)));
    // The other window shows what is stored now.
    QCOMPARE(theirs->tagRecord().getStar(), 4);
    QCOMPARE(theirs->tagRecord().getRgb(), QList<uint>({ kBlue, kGreen }));

    closeManager();
    mgr = managerOn(m_dir->path(), photo, 1);
    QVERIFY(mgr);
    const FileTagInfo shown = tagRecordOf(infoOf(mgr->form()->listView(), photo));
    QCOMPARE(shown.getStar(), 4);
    QCOMPARE(shown.getTextTag(), QStringList({ "旅行" }));
}

void TestTagEdits::rowOfANewPhotoWrittenMeanwhileIsKept()
{
    // A second window stores the new photo's row, with its user's tags, while this window's one store thread is
    // still busy: this window's row does not replace it, and shows and keeps those tags.
    const QString photo = makeImage(m_dir->path(), "新 照片.jpg", 80, 60);
    QSemaphore gate;
    runJob(itemStorePool, [&gate] { gate.acquire(); });
    PicMgr* mgr = shownManager();
    QVERIFY(mgr);
    MediaListView* grid = mgr->form()->listView();
    grid->listFolder(m_dir->path(), photo);
    QTRY_VERIFY_WITH_TIMEOUT(infoOf(grid, photo) && infoOf(grid, photo)->tagReady == 1, 10000);
    const ItemInfoPtr mine = infoOf(grid, photo);
    QVERIFY(storeRowAsOther(tagDbFile(), photo, 5, { "旅行" }));
    gate.release();
    QVERIFY(settled({ mine }));
    QCOMPARE(storedRow(photo).getStar(), 5);
    QCOMPARE(mine->starText(), QStringLiteral("5"));

    // This window's next edit goes into that row.
    grid->selectionModel()->setCurrentIndex(cellOf(grid, photo), QItemSelectionModel::ClearAndSelect);
    emit mgr->form()->tagInfo()->saveRgbs({ kBlue });
    QVERIFY(settled({ mine }));
    const FileTagInfo row = storedRow(photo);
    QCOMPARE(row.getStar(), 5);
    QCOMPARE(row.getTextTag(), QStringList({ "旅行" }));
    QCOMPARE(row.getRgb(), QList<uint>({ kBlue }));
}

void TestTagEdits::renamesTakeTheRowsAlong()
{
    // Tags kept in the database alone: a BMP takes none in the file, and writing into files is off.
    AppCfg::instance()->tag.tagSaveToFile = 0;
    const QString trip = m_dir->file("旅行");
    const QString tripOld = m_dir->file("旅行-old");
    QVERIFY(QDir().mkpath(trip + "/内") && QDir().mkpath(tripOld));
    const QString photo = makeImage(trip, "a.bmp", 400, 300);
    const QString inner = makeImage(trip + "/内", "c.bmp", 40, 30);
    const QString beside = makeImage(tripOld, "x.bmp", 40, 30);
    QVERIFY(storeRowAsOther(tagDbFile(), photo, 3, {}));
    QVERIFY(storeRowAsOther(tagDbFile(), inner, 2, {}));
    QVERIFY(storeRowAsOther(tagDbFile(), beside, 1, {}));
    {
        PooledDb<TagDb> db(tagDbPool);
        BookPathInfo root;
        for (const QString& fav : { trip, photo, tripOld })
            delete BookMarkTb(db.get()).addBookmark(
                &root, fav == photo ? BookMarkInfo::BookMarkFile : BookMarkInfo::BookMarkPath, fav);
    }
    PicMgr* mgr = managerOn(trip, photo, 1);
    QVERIFY(mgr);
    MediaListView* grid = mgr->form()->listView();
    QCOMPARE(starTextOf(infoOf(grid, photo)), QStringLiteral("3"));

    // The folder renamed in the tree: its rows, its subfolders' and its favourites follow; "旅行-old" stays.
    FileTreeView* tree = mgr->form()->fileTree();
    QSignalSpy listed(tree->fileModel(), &QFileSystemModel::directoryLoaded);
    QVERIFY(tree->selectPath(trip));
    // As a user meets it: the folder beside its siblings, listed before it is renamed.
    QTRY_VERIFY_WITH_TIMEOUT(listed.contains({ m_dir->path() }), 10000);
    QSignalSpy moved(tree, &FileTreeView::folderMoved);
    QVERIFY(tree->fileModel()->setData(tree->fileModel()->index(trip), QStringLiteral("旅行 2")));
    const QString trip2 = m_dir->file("旅行 2");
    const QString photo2 = trip2 + "/a.bmp";
    QTRY_VERIFY_WITH_TIMEOUT(moved.count() == 1 && infoOf(grid, photo2), 10000);
    QVERIFY(settled({ infoOf(grid, photo2) }));
    QCOMPARE(starTextOf(infoOf(grid, photo2)), QStringLiteral("3"));
    QCOMPARE(storedRow(photo2).getStar(), 3);
    QCOMPARE(storedRow(trip2 + "/内/c.bmp").getStar(), 2);
    QCOMPARE(storedRow(trip2 + "/内/c.bmp").getPath(), trip2 + "/内");
    QCOMPARE(storedRow(photo).getRowId(), qint64(0));
    QCOMPARE(storedRow(beside).getStar(), 1);
    QCOMPARE(storedRow(beside).getPath(), tripOld);
    {
        PooledDb<TagDb> db(tagDbPool);
        BookMarkTb marks(db.get());
        for (const QString& fav : { trip2, photo2, tripOld })
            QVERIFY2(marks.findBookmarkByFile(fav, -1) > 0, qPrintable(fav));
        QVERIFY(marks.findBookmarkByFile(trip, -1) <= 0);
        PooledDb<ThumbDb> thumbs(thumbDbPool);
        QVERIFY(ImageCacheTb(thumbs.get()).hasImageCache(photo2));
    }

    // Renamed again while another program holds the database, just after a new photo (no row yet) took a star:
    // the star lands in its row under the new path, and once the rows follow, the grid shows their tags.
    TagDb other;
    QVERIFY(other.openDb(tagDbFile(), "locker", true));
    const auto holdDb = [&other] {
        SqliteDb::limitWaits(0);
        return other.execNoQuery("BEGIN IMMEDIATE");
    };
    const auto letGo = [&other] {
        SqliteDb::limitWaits(-1);
        return other.execNoQuery("ROLLBACK");
    };
    const auto starCurrent = [&](const QString& file, int star) {
        grid->selectionModel()->setCurrentIndex(cellOf(grid, file), QItemSelectionModel::ClearAndSelect);
        TagInfoView* panel = mgr->form()->tagInfo();
        if (!QTest::qWaitFor([panel] { return panel->isEditable(); }, 10000))
            return false;
        panel->starWidget()->setValue(star);
        return starTextOf(infoOf(grid, file)) == QString::number(star);
    };
    QVERIFY(holdDb());
    const QString fresh = makeImage(trip2, "新 d.bmp", 40, 30);
    grid->listFolder(trip2, fresh);
    QVERIFY(waitLoaded(grid, 2));
    QVERIFY(starCurrent(fresh, 4));
    QTRY_VERIFY_WITH_TIMEOUT(ItemStoreQueue::waiting() > 0, 10000);
    QVERIFY(tree->fileModel()->setData(tree->fileModel()->index(trip2), QStringLiteral("旅行 3")));
    const QString trip3 = m_dir->file("旅行 3");
    const QString photo3 = trip3 + "/a.bmp";
    QTRY_VERIFY_WITH_TIMEOUT(infoOf(grid, photo3) && infoOf(grid, photo3)->tagReady == 1, 10000);
    QVERIFY(letGo());
    QTRY_VERIFY_WITH_TIMEOUT(moved.count() == 2, 10000);
    QVERIFY(settled({}));
    QTRY_COMPARE_WITH_TIMEOUT(starTextOf(infoOf(grid, photo3)), QStringLiteral("3"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(starTextOf(infoOf(grid, trip3 + "/新 d.bmp")), QStringLiteral("4"), 10000);
    QCOMPARE(storedRow(photo3).getStar(), 3);
    QCOMPARE(storedRow(trip3 + "/新 d.bmp").getStar(), 4);
    QTRY_COMPARE_WITH_TIMEOUT(mgr->statusText(), QStringLiteral("标签修改已全部保存到数据库。"), 10000);

    // The same when a folder above the shown one is renamed.
    listed.clear();
    QVERIFY(tree->selectPath(trip3 + "/内"));
    QTRY_VERIFY_WITH_TIMEOUT(listed.contains({ trip3 }), 10000);
    QVERIFY(waitLoaded(grid, 1));
    QVERIFY(holdDb());
    const QString deep = makeImage(trip3 + "/内", "e.bmp", 40, 30);
    grid->listFolder(trip3 + "/内", deep);
    QVERIFY(waitLoaded(grid, 2));
    QVERIFY(starCurrent(deep, 5));
    QTRY_VERIFY_WITH_TIMEOUT(ItemStoreQueue::waiting() > 0, 10000);
    QVERIFY(tree->fileModel()->setData(tree->fileModel()->index(trip3), QStringLiteral("旅行 4")));
    const QString trip4 = m_dir->file("旅行 4");
    QTRY_VERIFY_WITH_TIMEOUT(infoOf(grid, trip4 + "/内/e.bmp"), 10000);
    QVERIFY(letGo());
    QTRY_VERIFY_WITH_TIMEOUT(moved.count() == 3, 10000);
    QVERIFY(settled({}));
    QTRY_COMPARE_WITH_TIMEOUT(starTextOf(infoOf(grid, trip4 + "/内/e.bmp")), QStringLiteral("5"), 10000);
    QCOMPARE(storedRow(trip4 + "/内/e.bmp").getStar(), 5);
    QCOMPARE(storedRow(trip4 + "/内/c.bmp").getStar(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(mgr->statusText(), QStringLiteral("标签修改已全部保存到数据库。"), 10000);
    const QString photo4 = trip4 + "/a.bmp";
    grid->listFolder(trip4, photo4);
    QVERIFY(waitLoaded(grid, 2));

    // With the thumbnail cache damaged, a photo renamed in the grid keeps its row and takes the next edit.
    QFile cache(m_env->program.file("data/thumb.db"));
    QVERIFY(cache.open(QIODevice::ReadWrite));
    QCOMPARE(cache.write(QByteArray(100, 'x')), qint64(100));
    cache.close();
    QVERIFY(settled({ infoOf(grid, photo4) }));
    QCOMPARE(PhotoFiles::instance()->rename(infoOf(grid, photo4), QStringLiteral("b.bmp")), QString());
    const QString renamed = trip4 + "/b.bmp";
    QVERIFY(starCurrent(renamed, 4));
    QVERIFY(settled({ infoOf(grid, renamed) }));
    QCOMPARE(storedRow(renamed).getStar(), 4);
    QCOMPARE(storedRow(photo4).getRowId(), qint64(0));
}

// A photo whose file missed an earlier write (full disk, read-only then) shows its row's tags; the user setting
// those very tags again on a selection writes them into the file too, and the status counts only what was written.
void TestTagEdits::settingTheShownValueReachesAPhotoBehindItsRow()
{
    const QString behind = taggedPhoto(*m_dir, "落后 a.jpg", 2, { kBlue }, { "old" });
    const QString other = taggedPhoto(*m_dir, "b.jpg", 2, {}, {});
    QVERIFY(!behind.isEmpty() && !other.isEmpty());
    AppCfg::instance()->tag.tagSaveToFile = 1;
    PicMgr* mgr = managerOn(m_dir->path(), other, 2);
    QVERIFY(mgr);
    QVERIFY(settled({ infoOf(mgr->form()->listView(), behind) }));
    closeManager();
    FileTagInfo row = storedRow(behind);
    QVERIFY(row.getRowId() > 0);
    row.setStar(5);
    row.setRgb({ kGreen });
    row.setTextTag({ "new" });
    {
        PooledDb<TagDb> db(tagDbPool);
        QVERIFY(db && FileTagTb(db.get()).modFileTagById(row));
    }
    QVERIFY(storedRow(behind).matchesFile(QFileInfo(behind)));

    mgr = managerOn(m_dir->path(), other, 2);
    QVERIFY(mgr);
    MediaListView* grid = mgr->form()->listView();
    QCOMPARE(tagRecordOf(infoOf(grid, behind)).getStar(), 5);
    grid->selectAll();
    TagInfoView* panel = mgr->form()->tagInfo();
    panel->starWidget()->setValue(5);
    emit panel->saveRgbs({ kGreen });
    emit panel->saveTextTags({ "new" });
    QVERIFY(settled({ infoOf(grid, behind), infoOf(grid, other) }));
    const InFile file = inFile(behind);
    QCOMPARE(file.star, 5);
    QCOMPARE(file.rgb, QList<uint>({ kGreen }));
    QCOMPARE(file.text, QStringList({ "new" }));
    QCOMPARE(inFile(other).star, 5);
    QCOMPARE(storedRow(behind).getStar(), 5);
    QVERIFY(storedRow(behind).matchesFile(QFileInfo(behind)));
}

void TestTagEdits::textTagWithABlankReadsTheSameAfterRestart()
{
    const QString photo = taggedPhoto(*m_dir, "beach.jpg", 2, {}, { "beach sunset", "ok" });
    QVERIFY(!photo.isEmpty());
    const QByteArray bytes = readBytes(photo);
    const QStringList expected({ "beach", "sunset", "ok" });
    PicMgr* mgr = managerOn(m_dir->path(), photo, 1);
    QVERIFY(mgr);
    ItemInfoPtr info = infoOf(mgr->form()->listView(), photo);
    QVERIFY(info);
    QCOMPARE(info->tagRecord().getTextTag(), expected);
    QVERIFY(settled({ info }));

    closeManager();
    mgr = managerOn(m_dir->path(), photo, 1);
    QVERIFY(mgr);
    info = infoOf(mgr->form()->listView(), photo);
    QVERIFY(info);
    QCOMPARE(info->tagFromDb.load(), 1);
    QCOMPARE(info->tagRecord().getTextTag(), expected);
    QCOMPARE(readBytes(photo), bytes); // only read
}

VORN_XDG_TEST_MAIN(TestTagEdits)
#include "tst_tagedits.moc"
