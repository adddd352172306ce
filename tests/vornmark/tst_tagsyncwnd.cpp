// The tool window with its settings file: what it stores, the size presets, and how a run is started, told,
// stopped and closed.

#include "common/photomaker.h"
#include "common/testutil.h"

#include "markstartup.h"
#include "tagsynccfg.h"
#include "tagsynctask.h"
#include "tagsyncwnd.h"

#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "db/thumbdb.h"
#include "meta/exivtags.h"
#include "meta/exivutil.h"
#include "records/bookmarkinfo.h"
#include "records/bookmarktb.h"
#include "records/bookpathinfo.h"
#include "records/bookpathtb.h"
#include "records/filetaginfo.h"
#include "records/filetagtb.h"
#include "records/imagecacheinfo.h"
#include "records/imagecachetb.h"
#include "sys/filereplacer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMovie>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QThreadPool>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testutil;

namespace {

template <class T> T* child(QWidget* w, const char* name)
{
    T* c = w->findChild<T*>(name);
    if (!c)
        qFatal("no %s", name);
    return c;
}

QString status(QWidget* w)
{
    return child<QLabel>(w, "lbStatus")->text();
}

// Clicks "start" and waits until the run has ended.
bool runFromWindow(TagSyncWnd& wnd)
{
    auto* start = child<QPushButton>(&wnd, "btStart");
    QTest::mouseClick(start, Qt::LeftButton);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 30000 && !(start->isEnabled() && status(&wnd).startsWith("结束")))
        QTest::qWait(10);
    return start->isEnabled() && status(&wnd).startsWith("结束");
}

// Each photo's row as "star", its thumbnail as "+" or "-", and whether a favourite points at it ("+" or "-").
QString keptOf(const QStringList& photos)
{
    PooledDb<TagDb> tags(tagDbPool);
    PooledDb<ThumbDb> thumbs(thumbDbPool);
    QStringList out;
    for (const QString& photo : photos) {
        FileTagInfo row;
        ImageCacheInfo cache;
        const bool hasRow = FileTagTb(tags.get()).readFileTag(photo, row);
        out << QString("%1%2%3")
                   .arg(hasRow ? QString::number(row.getStar()) : "none")
                   .arg(ImageCacheTb(thumbs.get()).readImageCache(photo, cache) ? "+" : "-")
                   .arg(BookMarkTb(tags.get()).findBookmarkByFile(photo, -1) >= 0 ? "+" : "-");
    }
    return out.join(' ');
}

// Polls briefly, so that a run is stopped or closed as soon as it has started.
bool waitFor(const std::function<bool()>& done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 20000)
        QTest::qWait(5);
    return done();
}

// Rows of star 5 for the photos, to be written into them (database to file).
void addRows(const QStringList& photos)
{
    PooledDb<TagDb> db(tagDbPool);
    for (const QString& photo : photos) {
        FileTagInfo row;
        row.setFile(photo);
        row.setFileFacts(QFileInfo(photo));
        row.setStar(5);
        QVERIFY(FileTagTb(db.get()).addFileTag(row));
    }
    TagSyncCfg* cfg = TagSyncCfg::get();
    cfg->tag.StarSync = true;
    cfg->tag.StarSyncTactics = 1;
}

int starIn(const QString& photo)
{
    ExivTags tags;
    return tags.loadTagsFromFile(photo) == 0 && tags.getHasTags() ? tags.getStar() : -1;
}

// Clicks start and waits for the run's end.
bool runToEnd(TagSyncWnd& wnd)
{
    auto* start = child<QPushButton>(&wnd, "btStart");
    QTest::mouseClick(start, Qt::LeftButton);
    return waitFor([&] { return start->isEnabled(); });
}

} // namespace

class TestTagSyncWnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initExiv2(); }
    void init();
    void cleanup();

    void settingsRoundTrip();
    void settingsFileDefects();
    void sizePresets();
    void runEndsTellingFailures();
    void stopAndCloseDuringRun();
    void runKeepsAnotherProgramsSaves();
    void runLeavesUsersFilesAndTimes();
    void runWritingNothingLeavesAccessTimes();
    void runUnderFileSizeLimit();
    void programIgnoresFileSizeSignal();
    void unmountedVolumeKeepsItsRows_data();
    void unmountedVolumeKeepsItsRows();

private:
    std::unique_ptr<ProgramDir> m_program;
    std::unique_ptr<TempDir> m_photos;
};

void TestTagSyncWnd::init()
{
    m_program = std::make_unique<ProgramDir>();
    m_photos = std::make_unique<TempDir>();
    TagSyncCfg::release();
    MarkStartup::start();
}

void TestTagSyncWnd::cleanup()
{
    MarkStartup::stop();
    ::chmod(QFile::encodeName(m_photos->file("locked")).constData(), 0755);
    m_photos.reset();
    m_program.reset();
}

void TestTagSyncWnd::settingsRoundTrip()
{
    {
        TagSyncWnd wnd;
        auto* tactics = child<QComboBox>(&wnd, "cbStarConflictTactics");
        QVERIFY(!tactics->isEnabled());
        child<QCheckBox>(&wnd, "cbStarSync")->setChecked(true);
        QVERIFY(tactics->isEnabled());
        tactics->setCurrentIndex(3);
        QVERIFY(wnd.addPath(m_photos->path()));
        // The same folder again is refused with a message box; paths compare exactly.
        ModalAnswerer answer("确定");
        QVERIFY(!wnd.addPath(m_photos->path() + "/"));
        QCOMPARE(answer.texts, QStringList { "请不要重复添加目录" });
        QVERIFY(wnd.addPath(m_photos->path().toUpper()));
        wnd.close();
    }
    MarkStartup::stop();
    MarkStartup::start();
    TagSyncWnd wnd;
    QVERIFY(child<QCheckBox>(&wnd, "cbStarSync")->isChecked());
    QVERIFY(child<QComboBox>(&wnd, "cbStarConflictTactics")->isEnabled());
    QCOMPARE(child<QComboBox>(&wnd, "cbStarConflictTactics")->currentIndex(), 3);
    QCOMPARE(child<QListWidget>(&wnd, "lwPaths")->count(), 2);
}

void TestTagSyncWnd::settingsFileDefects()
{
    // Missing keys take their defaults; a size that makes no thumbnail is not offered.
    MarkStartup::stop();
    writeBytes(TagSyncCfg::filePath(), R"({"build": {"ThumbHeight": 72}, "thumb": {"ThumbWidth": 0}})");
    MarkStartup::start();
    QCOMPARE(TagSyncCfg::get()->build.ThumbWidth, 192);
    {
        TagSyncWnd wnd;
        QCOMPARE(child<QSpinBox>(&wnd, "sbThumbWidth")->value(), TagSyncCfg::MinThumbSide);
        wnd.close();
    }
    QCOMPARE(TagSyncCfg::get()->thumb.ThumbWidth, TagSyncCfg::MinThumbSide);

    // A save that cannot be written whole (a full disk) leaves the last file as it was, and says so.
    QCOMPARE(TagSyncCfg::get()->save(), 0);
    const QByteArray saved = readBytes(TagSyncCfg::filePath());
    TagSyncCfg::get()->build.paths = QStringList { m_photos->path() };
    {
        FileSizeLimit full(64);
        QCOMPARE(TagSyncCfg::get()->save(), -1);
    }
    QCOMPARE(readBytes(TagSyncCfg::filePath()), saved);
    QCOMPARE(
        QFileInfo(TagSyncCfg::filePath()).dir().entryList(QDir::Files | QDir::Hidden), QStringList { "vornmark.cfg" });
}

void TestTagSyncWnd::sizePresets()
{
    TagSyncWnd wnd;
    auto* combo = child<QComboBox>(&wnd, "cbRecommendThumbSize");
    auto* width = child<QSpinBox>(&wnd, "sbThumbWidth");
    auto* height = child<QSpinBox>(&wnd, "sbThumbHeight");
    combo->setCurrentText("160x90");
    QCOMPARE(QSize(width->value(), height->value()), QSize(160, 90));
    // A size of no preset shows none; one of a preset shows it.
    width->setValue(200);
    QCOMPARE(combo->currentIndex(), -1);
    width->setValue(128);
    height->setValue(72);
    QCOMPARE(combo->currentText(), QString("128x72"));
}

void TestTagSyncWnd::runEndsTellingFailures()
{
    // A read-only photo and one in a read-only folder are left as they are, named in the log and told at the end.
    QDir(m_photos->path()).mkpath("locked");
    const QStringList photos = { photomaker::makePhoto(m_photos->path(), "只读.jpg"),
        photomaker::makePhoto(m_photos->file("locked"), "in.jpg"), photomaker::makePhoto(m_photos->path(), "ok.jpg") };
    {
        PooledDb<TagDb> db(tagDbPool);
        for (const QString& photo : photos) {
            FileTagInfo row;
            row.setFile(photo);
            row.setFileFacts(QFileInfo(photo));
            row.setStar(5);
            QVERIFY(FileTagTb(db.get()).addFileTag(row));
        }
    }
    QVERIFY(::chmod(QFile::encodeName(photos[0]).constData(), 0444) == 0);
    QVERIFY(::chmod(QFile::encodeName(m_photos->file("locked")).constData(), 0555) == 0);
    const QByteArray before = readBytes(photos[0]) + readBytes(photos[1]);
    TagSyncCfg* cfg = TagSyncCfg::get();
    cfg->tag.StarSync = true;
    cfg->tag.StarSyncTactics = 1;

    TagSyncWnd wnd;
    auto* start = child<QPushButton>(&wnd, "btStart");
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(waitFor([&] { return start->isEnabled(); }));
    QVERIFY(status(&wnd).startsWith("结束，2 "));
    QCOMPARE(child<QLabel>(&wnd, "lbStatus")->toolTip(), TagSyncTask::logFile());
    QCOMPARE(readBytes(photos[0]) + readBytes(photos[1]), before);
    ExivTags written;
    QVERIFY(written.loadTagsFromFile(photos[2]) >= 0);
    QCOMPARE(written.getStar(), 5);
    const QString log = QString::fromUtf8(readBytes(TagSyncTask::logFile()));
    QVERIFY(log.contains(photos[0]) && log.contains(photos[1]) && !log.contains(photos[2]));
}

void TestTagSyncWnd::stopAndCloseDuringRun()
{
    // A folder of big PNGs, slow enough to decode that a run is still busy when stopped.
    const QString folder = m_photos->file("慢 slow");
    QDir().mkpath(folder);
    const QString first = makeImage(folder, "p0.png", 2400, 1800, Qt::blue);
    for (int i = 1; i < 200; ++i)
        QFile::copy(first, folder + QString("/p%1.png").arg(i));
    TagSyncCfg* cfg = TagSyncCfg::get();
    cfg->build.BuildThumb = true;
    cfg->build.paths = QStringList { folder };
    QPointer<TagSyncWnd> wnd = new TagSyncWnd();
    wnd->setAttribute(Qt::WA_DeleteOnClose);
    wnd->show();
    auto* gif = child<QLabel>(wnd, "lbGif");
    auto* start = child<QPushButton>(wnd, "btStart");

    // Stopped: the run has ended when the click returns, and a late event of it changes nothing.
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(waitFor([&] { return gif->isVisible(); }));
    TaskObject late;
    late.setTaskId(wnd->currentTaskId());
    late.setSignType(TaskObject::TaskEnd);
    QTest::mouseClick(child<QPushButton>(wnd, "btStop"), Qt::LeftButton);
    QCOMPARE(QThreadPool::globalInstance()->activeThreadCount(), 0);
    QVERIFY(!gif->isVisible() && gif->movie()->state() != QMovie::Running && start->isEnabled());
    wnd->slot_task(late);
    QCOMPARE(status(wnd), QString("已停止"));

    // Closed during a run: gone at once, the run cancelled and waited for.
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(waitFor([&] { return gif->isVisible(); }));
    QElapsedTimer t;
    t.start();
    wnd->close();
    QVERIFY(t.elapsed() < 10000); // the run is cancelled, not finished (see the row count)
    QCOMPARE(QThreadPool::globalInstance()->activeThreadCount(), 0);
    {
        PooledDb<TagDb> db(tagDbPool);
        QVERIFY(queryRows(*db.get(), "SELECT count(*) FROM [filetag]").value(0).toInt() < 200);
    }
    QTRY_VERIFY(wnd.isNull());
    // Pools go only now, after every job holding a connection has ended.
    MarkStartup::stop();
    QVERIFY(!tagDbPool);
    MarkStartup::start();
}

void TestTagSyncWnd::runKeepsAnotherProgramsSaves()
{
    // Another program saves new versions of the photos (written beside, renamed over) all through the run.
    QStringList photos;
    for (int i = 0; i < 120; ++i)
        photos << photomaker::makePhoto(m_photos->path(), QString("编辑 %1.jpg").arg(i), true, 320, 240);
    addRows(photos);
    photomaker::ConcurrentEditor editor(photos);
    QVERIFY(editor.waitForSaves(1));
    TagSyncWnd wnd;
    QVERIFY(runToEnd(wnd));
    editor.stop();
    // (The editor may undo the run's writes, saving what it read before them: that is its own doing.)
    QVERIFY2(editor.undone().isEmpty(), qPrintable(editor.undone().join('\n')));
}

void TestTagSyncWnd::runLeavesUsersFilesAndTimes()
{
    const QString photo = photomaker::makePhoto(m_photos->path(), "x.jpg");
    // The user's own hidden files beside it, and one named like a leftover of ours but another user's.
    const QStringList users = { ".notes.vorn-backup", ".x.vorn-abcdef", ".x.jpg.vorn-abc123" };
    for (const QString& name : users)
        QVERIFY(writeBytes(m_photos->file(name), "the user's"));
    const QString foreign = m_photos->file(QFile::decodeName(FileReplacer::temporaryName("x.jpg", "12345678")));
    if (::geteuid() == 0) {
        QVERIFY(writeBytes(foreign, "another user's"));
        QVERIFY(::chown(QFile::encodeName(foreign).constData(), 65534, 65534) == 0);
    }
    // Read long before it was last modified: any read would move the access time.
    const struct timespec times[2] = { { 946688523, 5 }, { 1577934245, 7 } };
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(photo).constData(), times, 0) == 0);
    addRows({ photo });
    QTest::qSleep(FileReplacer::staleAfterMs + 100);

    TagSyncWnd wnd;
    QVERIFY(runToEnd(wnd));
    struct stat st { };
    QVERIFY(::stat(QFile::encodeName(photo).constData(), &st) == 0);
    QCOMPARE(QList<qint64>({ st.st_atim.tv_sec, st.st_atim.tv_nsec, st.st_mtim.tv_sec, st.st_mtim.tv_nsec }),
        QList<qint64>({ 946688523, 5, 1577934245, 7 }));
    QCOMPARE(starIn(photo), 5);
    for (const QString& name : users)
        QCOMPARE(readBytes(m_photos->file(name)), QByteArray("the user's"));
    QCOMPARE(QFile::exists(foreign), ::geteuid() == 0);
}

void TestTagSyncWnd::runWritingNothingLeavesAccessTimes()
{
    // Photos that hold their rows' tags already: the run reads them and writes nothing.
    QStringList photos;
    for (int i = 0; i < 3; ++i) {
        photos << photomaker::makePhoto(m_photos->path(), QString("已同步 %1.jpg").arg(i));
        ExivTags tags;
        tags.setStar(5);
        QCOMPARE(tags.saveTagsToFile(photos.last()), 0);
    }
    addRows(photos);
    const struct timespec times[2] = { { 946688523, 5 }, { 1577934245, 7 } };
    for (const QString& photo : photos)
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(photo).constData(), times, 0) == 0);

    TagSyncWnd wnd;
    QVERIFY(runFromWindow(wnd));
    for (const QString& photo : photos) {
        struct stat st { };
        QVERIFY(::stat(QFile::encodeName(photo).constData(), &st) == 0);
        QCOMPARE(QList<qint64>({ st.st_atim.tv_sec, st.st_atim.tv_nsec, st.st_mtim.tv_sec, st.st_mtim.tv_nsec }),
            QList<qint64>({ 946688523, 5, 1577934245, 7 }));
        QCOMPARE(starIn(photo), 5);
    }
}

void TestTagSyncWnd::runUnderFileSizeLimit()
{
    // Under a file-size limit (or on a full disk) the photo too large to be written again is named in the log and
    // left whole; the run goes on to the others and the settings are saved.
    const QString big = photomaker::makePhoto(m_photos->path(), "大 big.jpg", true, 1600, 1200);
    const QString small = photomaker::makePhoto(m_photos->path(), "small.jpg", true, 64, 48);
    addRows({ big, small });
    const QByteArray bigBytes = readBytes(big);
    TagSyncWnd wnd;
    {
        FileSizeLimit limit(QFileInfo(big).size() / 2);
        QVERIFY(runToEnd(wnd));
        wnd.close();
        // The program's exit.
        MarkStartup::stop();
    }
    MarkStartup::start();
    QVERIFY(status(&wnd).startsWith("结束，1 "));
    QCOMPARE(readBytes(big), bigBytes);
    QCOMPARE(starIn(small), 5);
    // Named with the cause the system gave, not a bare code.
    const QString log = QString::fromUtf8(readBytes(TagSyncTask::logFile()));
    QVERIFY2(log.contains(big + ": 写入照片失败（write: " + QString::fromLocal8Bit(strerror(EFBIG)) + "）"),
        qPrintable(log));
    QCOMPARE(QJsonDocument::fromJson(readBytes(TagSyncCfg::filePath())).object()["tag"].toObject()["StarSync"],
        QJsonValue(true));
}

void TestTagSyncWnd::programIgnoresFileSizeSignal()
{
    // A write over the file-size limit fails and is reported instead of ending the program.
    QProcess program;
    program.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    QVERIFY(startUnderFileSizeLimit(program, testutil::programPath("vornmark"), {}, 1 << 30));
    const bool ignores = ignoresSignal(program.processId(), SIGXFSZ);
    program.kill();
    program.waitForFinished();
    QVERIFY(ignores);
}

void TestTagSyncWnd::unmountedVolumeKeepsItsRows_data()
{
    QTest::addColumn<bool>("tmpfs");
    QTest::newRow("tmpfs unmounted") << true;
    QTest::newRow("stand-in: the volume's files moved away") << false;
}

void TestTagSyncWnd::unmountedVolumeKeepsItsRows()
{
    QFETCH(bool, tmpfs);
    std::unique_ptr<SmallFileSystem> mount;
    if (tmpfs) {
        mount = std::make_unique<SmallFileSystem>(16 << 20);
        if (!mount->mounted())
            QSKIP("no tmpfs can be mounted here (root only)");
    }
    const QString volume = tmpfs ? mount->path() : m_photos->file("卷 volume");
    QVERIFY(QDir().mkpath(volume));
    testutil::ListedMountPoints listed({ volume });
    // Photos at depth 0, 1 and 2 of the volume; beside it a folder where one photo is deleted for real, one whose
    // only photo is, and one removed whole.
    QVERIFY(QDir().mkpath(volume + "/一 one/二 two") && QDir().mkpath(m_photos->file("here")));
    QVERIFY(QDir().mkpath(m_photos->file("emptied")) && QDir().mkpath(m_photos->file("removed/子")));
    const QStringList onVolume = { photomaker::makePhoto(volume, "a 甲.jpg", true, 400, 300),
        photomaker::makePhoto(volume + "/一 one", "b.jpg", true, 400, 300),
        photomaker::makePhoto(volume + "/一 one/二 two", "c.jpg", true, 400, 300) };
    const QString kept = photomaker::makePhoto(m_photos->file("here"), "kept.jpg", true, 400, 300);
    const QStringList deleted = { photomaker::makePhoto(m_photos->file("here"), "deleted.jpg", true, 400, 300),
        photomaker::makePhoto(m_photos->file("emptied"), "last.jpg", true, 400, 300),
        photomaker::makePhoto(m_photos->file("removed/子"), "r.jpg", true, 400, 300) };

    // Rows and thumbnails built by a run; stars given in the database only, and favourites of every photo.
    TagSyncCfg* cfg = TagSyncCfg::get();
    cfg->build.BuildThumb = true;
    cfg->build.paths
        = QStringList { volume, m_photos->file("here"), m_photos->file("emptied"), m_photos->file("removed") };
    {
        TagSyncWnd wnd;
        QVERIFY(runFromWindow(wnd));
        wnd.close();
    }
    {
        PooledDb<TagDb> db(tagDbPool);
        FileTagTb rows(db.get());
        BookPathInfo top;
        std::unique_ptr<BookPathInfo> folder(BookPathTb(db.get()).addBookpath(&top, "卷"));
        QVERIFY(folder);
        for (const QString& photo : onVolume + QStringList { kept } + deleted) {
            QVERIFY(rows.modFileStarTag(photo, 4));
            delete BookMarkTb(db.get()).addBookmark(folder.get(), BookMarkInfo::BookMarkFile, photo);
        }
        delete BookMarkTb(db.get()).addBookmark(folder.get(), BookMarkInfo::BookMarkPath, volume + "/一 one/二 two");
    }
    QCOMPARE(keptOf(onVolume + QStringList { kept } + deleted), QString("4++ 4++ 4++ 4++ 4++ 4++ 4++"));

    // The volume goes away: its mount point is left an empty folder.
    if (tmpfs) {
        QVERIFY(mount->unmount());
    } else {
        QVERIFY(QDir(m_photos->path()).rename("卷 volume", "elsewhere"));
        QVERIFY(QDir().mkpath(volume));
    }
    QVERIFY(QDir(volume).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
    QVERIFY(QFile::remove(deleted.at(0)) && QFile::remove(deleted.at(1)));
    QVERIFY(QDir(m_photos->file("removed")).removeRecursively());
    cfg->build.BuildThumb = false;
    cfg->DeleteInvalidFileFav = cfg->DeleteInvalidPathFav = true;
    cfg->tag.DeleteInvalidTag = cfg->tag.DeleteOutSyncTag = true;
    cfg->thumb.DeleteInvalidThumb = true;
    TagSyncWnd wnd;
    QVERIFY(runFromWindow(wnd));

    // Every row of the volume is kept, at every depth; the photos deleted beside it lose their own.
    QCOMPARE(keptOf(onVolume + QStringList { kept } + deleted), QString("4++ 4++ 4++ 4++ none-- none-- none--"));
    PooledDb<TagDb> db(tagDbPool);
    QCOMPARE(BookMarkTb(db.get()).findBookmarkByFile(volume + "/一 one/二 two", -1) >= 0, true);
}

VORN_XDG_TEST_MAIN(TestTagSyncWnd)
#include "tst_tagsyncwnd.moc"
