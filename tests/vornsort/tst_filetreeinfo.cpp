#include "filecopier.h"
#include "filetreeinfo.h"
#include "tidyrunner.h"
#include "vornsort/sorttest.h"

#include "sys/datetimeutil.h"
#include "sys/platform.h"

#include <QProcess>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using sorttest::cfgFor;
using sorttest::filesBelow;
using sorttest::photo;

class TestFileTreeInfo : public QObject {
    Q_OBJECT
private slots:
    void planFolders();
    void planDatesAndRange();
    void uniqueNames();
    void executeCopiesTimesAndSources();
    void clashRules();
    void copierVerifiesAndNeverReplaces();
    void killedCopyLeavesNoHalfFile();
    void scanAndRunTree();
};

static FileTreeInfo* planned(const QString& file, const TidyCfg& cfg)
{
    auto* info = new FileTreeInfo();
    info->init(QFileInfo(file), cfg);
    return info;
}

void TestFileTreeInfo::planFolders()
{
    sorttest::SortEnv env;
    testutil::TempDir dir;
    const QString file = photo(dir.file("src"), "IMG 1.jpg", "2021:02:03 04:05:06");
    QVERIFY(!file.isEmpty());
    TidyCfg cfg = cfgFor(dir.file("src"), dir.file("dst"));

    // Every offered format gives its folders, the short ones too.
    const QStringList folders = { "2021年/02月03日", "2021年/02月/03日", "2021年/02月", "2021年02月03日", "2021年02月",
        "2021年", "2021/0203", "2021/02/03", "2021/02", "20210203", "202102", "2021", "2021年/02月/03日/04时/05分/06秒",
        "2021/02/03/04/05/06" };
    for (int i = 0; i < folders.size(); ++i) {
        cfg.PathRuleTimeStr = pathRuleFormat(i);
        FileTreeInfo info;
        info.init(QFileInfo(file), cfg);
        QCOMPARE(info.status, 1);
        QCOMPARE(info.dstRel, folders.at(i) + "/IMG 1.jpg");
        QCOMPARE(info.message, QString());
    }
    QCOMPARE(pathRuleFormat(14), QString());
    QCOMPARE(pathRuleFormat(-1), QString());

    // Custom formats: only an empty folder text fails; none climbs out of the target folder.
    const QList<QPair<QString, QString>> custom = { { "", "" }, { "'..'", "" }, { "yyyy/'..'/'..'/x", "" },
        { "/yyyy//MM/./dd", "2021/02/03/IMG 1.jpg" }, { "'相册' yyyy", "相册 2021/IMG 1.jpg" } };
    for (const auto& c : custom) {
        cfg.PathRuleTimeStr = c.first;
        FileTreeInfo info;
        info.init(QFileInfo(file), cfg);
        QCOMPARE(info.dstRel, c.second);
        QCOMPARE(info.status, c.second.isEmpty() ? -1 : 1);
        QCOMPARE(info.message, c.second.isEmpty() ? QString("生成目录层级失败") : QString());
    }
}

void TestFileTreeInfo::planDatesAndRange()
{
    sorttest::SortEnv env;
    testutil::TempDir dir;
    const QString dated = photo(dir.file("src"), "a.jpg", "2021:02:03 04:05:06");
    const QString undated = photo(dir.file("src"), "b.png");
    QVERIFY(!dated.isEmpty() && !undated.isEmpty());
    FileTimes times;
    times.modified = QDateTime(QDate(2019, 7, 1), QTime(8, 0));
    QVERIFY(platform::writeFileTimes(undated, times));
    TidyCfg cfg = cfgFor(dir.file("src"), dir.file("dst"));

    // Range on: inclusive at both ends; no date taken or a date outside it excludes the file.
    cfg.LimitDateRange = true;
    cfg.StartDate = cfg.EndDate = "2021-02-03";
    std::unique_ptr<FileTreeInfo> info(planned(dated, cfg));
    QCOMPARE(info->status, 1);
    QCOMPARE(info->takeTimeStr(), QString("2021-02-03 04:05:06"));
    QCOMPARE(info->newModTime, info->takeTime);
    QCOMPARE(info->srcModTimeStr(), DateTimeToStr(QFileInfo(dated).lastModified()));
    cfg.EndDate = "2021-02-02";
    cfg.StartDate = "2020-01-01";
    info.reset(planned(dated, cfg));
    QCOMPARE(info->message, QString("拍摄时间超过指定范围"));
    QCOMPARE(info->status, -1);
    info.reset(planned(undated, cfg));
    QCOMPARE(info->message, QString("文件中无拍摄时间"));

    // Range off, folders by date taken: a file without one is left alone without a text and skipped.
    cfg.LimitDateRange = false;
    info.reset(planned(undated, cfg));
    QCOMPARE(info->status, -1);
    QCOMPARE(info->message, QString());
    QCOMPARE(info->takeTimeStr(), QString());
    QCOMPARE(info->execute(cfg, nullptr), -1);
    QCOMPARE(info->message, QString("跳过"));
    QVERIFY(!QFileInfo::exists(dir.file("dst")));

    // Folders by modified time, the copy timed by it too; "now" reads the clock.
    cfg.PathRuleTimeSrc = TidyCfg::SrcModTime;
    cfg.FileModTimeSrc = TidyCfg::SrcModTime;
    info.reset(planned(undated, cfg));
    QCOMPARE(info->status, 1);
    QCOMPARE(info->dstRel, QString("2019/07/01/b.png"));
    QCOMPARE(info->newModTimeStr(), QString("2019-07-01 08:00:00"));
    cfg.PathRuleTimeSrc = TidyCfg::NowTime;
    info.reset(planned(undated, cfg));
    QCOMPARE(info->dstRel, QDate::currentDate().toString("yyyy/MM/dd") + "/b.png");
    cfg.PathRuleTimeSrc = 7;
    info.reset(planned(undated, cfg));
    QCOMPARE(info->message, QString("生成目录层级失败"));
}

void TestFileTreeInfo::uniqueNames()
{
    testutil::TempDir dir;
    QVERIFY(QDir().mkpath(dir.file("2021.02")));
    for (const char* name : { "2021.02/IMG_1.jpg", "2021.02/IMG_1-1.jpg", "2021.02/a", "2021.02/.hidden" })
        QVERIFY(testutil::writeBytes(dir.file(name), "x"));
    QCOMPARE(FileTreeInfo::uniqueName(dir.path(), "2021.02/IMG_1.jpg"), QString("2021.02/IMG_1-2.jpg"));
    // The number goes into the file name, never into a folder with a dot.
    QCOMPARE(FileTreeInfo::uniqueName(dir.path(), "2021.02/a"), QString("2021.02/a-1"));
    QCOMPARE(FileTreeInfo::uniqueName(dir.path(), "2021.02/.hidden"), QString("2021.02/.hidden-1"));
    // A dangling link holds its name.
    QVERIFY(QFile::link(dir.file("nowhere"), dir.file("2021.02/b-1.jpg")));
    QVERIFY(testutil::writeBytes(dir.file("2021.02/b.jpg"), "x"));
    QCOMPARE(FileTreeInfo::uniqueName(dir.path(), "2021.02/b.jpg"), QString("2021.02/b-2.jpg"));
}

void TestFileTreeInfo::executeCopiesTimesAndSources()
{
    sorttest::SortEnv env;
    testutil::TempDir dir;
    const QString file = photo(dir.file("src/卡 1"), "相片 1.jpg", "2021:02:03 04:05:06");
    QVERIFY(!file.isEmpty());
    const QByteArray bytes = testutil::readBytes(file);
    TidyCfg cfg = cfgFor(dir.file("src"), dir.file("dst"));

    std::unique_ptr<FileTreeInfo> info(planned(file, cfg));
    QCOMPARE(info->execute(cfg, nullptr), 0);
    QCOMPARE(info->message, QString("复制源文件成功"));
    const QString copy = dir.file("dst/2021/02/03/相片 1.jpg");
    QCOMPARE(testutil::readBytes(copy), bytes);
    QCOMPARE(platform::readFileTimes(copy).modified, QDateTime(QDate(2021, 2, 3), QTime(4, 5, 6)));
    QVERIFY(QFileInfo::exists(file));
    QCOMPARE(filesBelow(dir.file("dst")), QStringList({ "2021/02/03/相片 1.jpg" }));

    // Sources go only when asked, after their copy arrived; the source's modified time is kept to the nanosecond.
    cfg.KeepSrcFile = false;
    cfg.FileModTimeSrc = TidyCfg::SrcModTime;
    cfg.DstPath = dir.file("moved");
    const qint64 modifiedNs = platform::readFileTimes(file).modifiedNs;
    info.reset(planned(file, cfg));
    QCOMPARE(info->execute(cfg, nullptr), 0);
    QCOMPARE(info->message, QString("删除源文件成功"));
    QVERIFY(!QFileInfo::exists(file));
    QCOMPARE(testutil::readBytes(dir.file("moved/2021/02/03/相片 1.jpg")), bytes);
    QCOMPARE(platform::readFileTimes(dir.file("moved/2021/02/03/相片 1.jpg")).modifiedNs, modifiedNs);

    // A folder that cannot be made, a source gone since the plan: the source stays, nothing is left behind.
    const QString other = photo(dir.file("src"), "b.jpg", "2022:01:01 00:00:00");
    QVERIFY(testutil::writeBytes(dir.file("blocked"), "file in the way"));
    cfg.DstPath = dir.file("blocked");
    info.reset(planned(other, cfg));
    QCOMPARE(info->execute(cfg, nullptr), -1);
    QCOMPARE(info->message, QString("创建目录失败"));
    QVERIFY(QFileInfo::exists(other));
    cfg.DstPath = dir.file("dst");
    info.reset(planned(other, cfg));
    QVERIFY(QFile::rename(other, other + ".away"));
    QCOMPARE(info->execute(cfg, nullptr), -1);
    QCOMPARE(info->message, QString("复制源文件失败"));
    QVERIFY(QFileInfo::exists(other + ".away"));
    QCOMPARE(filesBelow(dir.file("dst")), QStringList({ "2021/02/03/相片 1.jpg" }));
}

void TestFileTreeInfo::clashRules()
{
    sorttest::SortEnv env;
    testutil::TempDir dir;
    const QString file = photo(dir.file("src"), "IMG_1.jpg", "2021:02:03 04:05:06");
    QVERIFY(!file.isEmpty());
    const QByteArray bytes = testutil::readBytes(file);
    TidyCfg cfg = cfgFor(dir.file("src"), dir.file("dst"));
    const QString target = dir.file("dst/2021/02/03/IMG_1.jpg");
    QVERIFY(QDir().mkpath(dir.file("dst/2021/02/03")));
    QVERIFY(testutil::writeBytes(target, "older"));
    QVERIFY(testutil::writeBytes(dir.file("dst/2021/02/03/IMG_1-1.jpg"), "older too"));

    // Skip leaves the target; rename takes the first free name and shows it.
    std::unique_ptr<FileTreeInfo> info(planned(file, cfg));
    QCOMPARE(info->execute(cfg, nullptr), -1);
    QCOMPARE(info->message, QString("跳过"));
    QCOMPARE(testutil::readBytes(target), QByteArray("older"));
    cfg.FileExistsOpt = TidyCfg::ExistsRename;
    info.reset(planned(file, cfg));
    QCOMPARE(info->execute(cfg, nullptr), 0);
    QCOMPARE(info->dstRel, QString("2021/02/03/IMG_1-2.jpg"));
    QCOMPARE(testutil::readBytes(dir.file("dst/2021/02/03/IMG_1-2.jpg")), bytes);

    // Replace: the old target is trashed only once the new copy is complete. A source gone since the plan
    // leaves the target where it was.
    cfg.FileExistsOpt = TidyCfg::ExistsReplace;
    info.reset(planned(file, cfg));
    QVERIFY(QFile::rename(file, file + ".away"));
    QCOMPARE(info->execute(cfg, nullptr), -1);
    QCOMPARE(testutil::readBytes(target), QByteArray("older"));
    QVERIFY(QFile::rename(file + ".away", file));
    // No trash to be had: the target stays, and so does the source.
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    QVERIFY(testutil::writeBytes(env.home.file("no-trash"), "x"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(env.home.file("no-trash")));
    cfg.KeepSrcFile = false;
    QCOMPARE(info->execute(cfg, nullptr), -1);
    QCOMPARE(info->message, QString("移动文件到回收站失败"));
    QCOMPARE(testutil::readBytes(target), QByteArray("older"));
    QVERIFY(QFileInfo::exists(file));
    qputenv("XDG_DATA_HOME", oldData);
    cfg.KeepSrcFile = true;
    QCOMPARE(info->execute(cfg, nullptr), 0);
    QCOMPARE(testutil::readBytes(target), bytes);
    QCOMPARE(testutil::readBytes(env.trashFile("IMG_1.jpg")), QByteArray("older"));
    QCOMPARE(filesBelow(dir.file("dst")),
        QStringList({ "2021/02/03/IMG_1-1.jpg", "2021/02/03/IMG_1-2.jpg", "2021/02/03/IMG_1.jpg" }));

    // The target is the source itself (the target tree tidied again): nothing moves, nothing is trashed.
    cfg.SrcPath = cfg.DstPath;
    cfg.KeepSrcFile = false;
    info.reset(planned(target, cfg));
    QCOMPARE(info->dstFile(), target);
    QCOMPARE(info->execute(cfg, nullptr), -1);
    QCOMPARE(info->message, QString("跳过"));
    QCOMPARE(testutil::readBytes(target), bytes);

    // Two sources of one name in one run: the second never replaces the first's copy.
    const QString second = photo(dir.file("src/other"), "IMG_1.jpg", "2021:02:03 09:09:09");
    QVERIFY(!second.isEmpty());
    const QByteArray secondBytes = testutil::readBytes(second);
    cfg = cfgFor(dir.file("src"), dir.file("run"));
    cfg.FileExistsOpt = TidyCfg::ExistsReplace;
    cfg.KeepSrcFile = false;
    TidyRunner runner(cfg);
    const QList<FileTreeInfo*> infos = runner.plan(runner.scanTree(cfg.SrcPath));
    QCOMPARE(infos.size(), 2);
    QCOMPARE(runner.execute(infos), 2);
    QCOMPARE(testutil::readBytes(dir.file("run/2021/02/03/IMG_1.jpg")), bytes);
    QCOMPARE(testutil::readBytes(dir.file("run/2021/02/03/IMG_1-1.jpg")), secondBytes);
    QCOMPARE(filesBelow(dir.file("run")), QStringList({ "2021/02/03/IMG_1-1.jpg", "2021/02/03/IMG_1.jpg" }));
    QCOMPARE(QDir(env.home.file("share/Trash/files")).entryList(QDir::Files).size(), 1);
    qDeleteAll(infos);
}

void TestFileTreeInfo::copierVerifiesAndNeverReplaces()
{
    testutil::TempDir dir;
    const QString src = dir.file("src.jpg");
    QVERIFY(testutil::writeBytes(src, QByteArray(3 << 20, 'a')));
    QVERIFY(QDir().mkpath(dir.file("out")));

    // Verification sees a source that changed after it was copied: a byte (with content) or its size.
    {
        FileCopier copier;
        QVERIFY(copier.openSource(src));
        QVERIFY(copier.copyTo(dir.file("out")));
        QVERIFY(copier.verify(true));
        QFile f(src);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(2 << 20);
        f.write("b");
        f.close();
        QVERIFY(copier.verify(false));
        QVERIFY(!copier.verify(true));
        QVERIFY(f.open(QIODevice::Append));
        f.write("more");
        f.close();
        QVERIFY(!copier.verify(false));
    }
    // Never published: nothing remains.
    QCOMPARE(filesBelow(dir.file("out")), QStringList());

    // Publishing never replaces; a cancelled copy leaves nothing.
    QVERIFY(testutil::writeBytes(dir.file("out/taken.jpg"), "mine"));
    {
        FileCopier copier;
        QVERIFY(copier.openSource(src));
        QVERIFY(copier.copyTo(dir.file("out")));
        QCOMPARE(copier.publish(dir.file("out/taken.jpg")), FileCopier::TargetExists);
        QCOMPARE(testutil::readBytes(dir.file("out/taken.jpg")), QByteArray("mine"));
        QCOMPARE(copier.publish(dir.file("out/new.jpg")), FileCopier::Published);
        const std::atomic_bool cancel { true };
        FileCopier cancelled;
        QVERIFY(cancelled.openSource(src));
        QVERIFY(!cancelled.copyTo(dir.file("out"), &cancel));
    }
    QCOMPARE(filesBelow(dir.file("out")), QStringList({ "new.jpg", "taken.jpg" }));
    QCOMPARE(testutil::readBytes(dir.file("out/new.jpg")), testutil::readBytes(src));

    // Only regular files are sources.
    QVERIFY(::mkfifo(QFile::encodeName(dir.file("pipe.jpg")).constData(), 0600) == 0);
    FileCopier pipe;
    QVERIFY(!pipe.openSource(dir.file("pipe.jpg")));
}

void TestFileTreeInfo::killedCopyLeavesNoHalfFile()
{
    sorttest::SortEnv env;
    testutil::TempDir dir;
    QVERIFY(QDir().mkpath(dir.file("src")));
    const QString big = dir.file("src/big.jpg");
    QByteArray bytes(24 << 20, '\0');
    for (int i = 0; i < bytes.size(); i += 4096)
        bytes[i] = char(i / 4096);
    QVERIFY(testutil::writeBytes(big, bytes));
    TidyCfg cfg = cfgFor(dir.file("src"), dir.file("dst"), "yyyy");
    cfg.PathRuleTimeSrc = TidyCfg::SrcModTime;
    cfg.FileModTimeSrc = TidyCfg::SrcModTime;
    cfg.FileExistsOpt = TidyCfg::ExistsRename;

    // A process copying one file after another is killed part way: every name holds a whole copy.
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        for (int i = 0; i < 1000; ++i) {
            FileTreeInfo info;
            info.init(QFileInfo(big), cfg);
            info.execute(cfg, nullptr);
        }
        ::_exit(0);
    }
    QTRY_VERIFY_WITH_TIMEOUT(filesBelow(dir.file("dst")).size() >= 3, 20000);
    QTest::qWait(7);
    ::kill(child, SIGKILL);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    const QStringList copies = filesBelow(dir.file("dst"));
    QVERIFY(copies.size() >= 3);
    for (const QString& copy : copies) {
        QVERIFY2(!copy.contains("/."), qPrintable(copy));
        QVERIFY2(testutil::readBytes(dir.file("dst/" + copy)) == bytes, qPrintable(copy));
    }
}

void TestFileTreeInfo::scanAndRunTree()
{
    sorttest::SortEnv env;
    testutil::TempDir dir;
    const QString src = dir.file("src");
    QVERIFY(!photo(src, "z.JPG", "2021:02:03 04:05:06").isEmpty());
    QVERIFY(!photo(src + "/b 卡", "a.jpg", "2021:02:28 23:59:59").isEmpty());
    QVERIFY(!photo(src + "/b 卡/深", "c.jpeg", "2022:12:31 00:00:00").isEmpty());
    QVERIFY(!photo(src + "/a", "d.png", "2019:07:01 08:00:00").isEmpty());

    // The run makes the layout of exiftool's date sort for the format both can express.
    TidyCfg cfg = cfgFor(src, dir.file("dst"), "yyyy/MM");
    TidyRunner runner(cfg);
    QList<FileTreeInfo*> infos = runner.plan(runner.scanTree(src));
    QCOMPARE(runner.execute(infos), 4);
    qDeleteAll(infos);
    const QStringList layout = { "2019/07/d.png", "2021/02/a.jpg", "2021/02/z.JPG", "2022/12/c.jpeg" };
    QCOMPARE(filesBelow(dir.file("dst")), layout);
    const QString peer = dir.file("peer");
    QVERIFY(QDir().mkpath(peer));
    QProcess exiftool;
    exiftool.setWorkingDirectory(peer);
    exiftool.start("exiftool", { "-q", "-r", "-o", peer + "/", "-Directory<DateTimeOriginal", "-d", "%Y/%m", src });
    if (!exiftool.waitForFinished(60000) && exiftool.error() == QProcess::FailedToStart)
        QSKIP("exiftool is not installed");
    QCOMPARE(exiftool.exitCode(), 0);
    QCOMPARE(filesBelow(peer), layout);

    // A folder's files, by name, before its subfolders'; no other files, no FIFO, no link back up the tree.
    QVERIFY(testutil::writeBytes(src + "/notes.txt", "not a photo"));
    QVERIFY(::mkfifo(QFile::encodeName(src + "/pipe.jpg").constData(), 0600) == 0);
    QVERIFY(QFile::link(src, src + "/a/loop"));
    QStringList found;
    for (const QFileInfo& file : runner.scanTree(src))
        found << QDir(src).relativeFilePath(file.absoluteFilePath());
    QCOMPARE(found, QStringList({ "z.JPG", "a/d.png", "b 卡/a.jpg", "b 卡/深/c.jpeg" }));

    // A second run into the same target loses nothing: skipped as there, or moved beside under new names.
    TidyRunner again(cfg);
    infos = again.plan(again.scanTree(src));
    QCOMPARE(again.execute(infos), 0);
    QCOMPARE(infos.at(0)->message, QString("跳过"));
    qDeleteAll(infos);
    cfg.FileExistsOpt = TidyCfg::ExistsRename;
    cfg.KeepSrcFile = false;
    TidyRunner moving(cfg);
    infos = moving.plan(moving.scanTree(src));
    QCOMPARE(moving.execute(infos), 4);
    qDeleteAll(infos);
    QCOMPARE(filesBelow(dir.file("dst")),
        QStringList({ "2019/07/d-1.png", "2019/07/d.png", "2021/02/a-1.jpg", "2021/02/a.jpg", "2021/02/z-1.JPG",
            "2021/02/z.JPG", "2022/12/c-1.jpeg", "2022/12/c.jpeg" }));
    QCOMPARE(filesBelow(src), QStringList({ "a/loop", "notes.txt", "pipe.jpg" }));
}

QTEST_GUILESS_MAIN(TestFileTreeInfo)
#include "tst_filetreeinfo.moc"
