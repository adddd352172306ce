#include "filetreeinfo.h"
#include "sys/filecopier.h"
#include "tidyrunner.h"
#include "vornsort/sorttest.h"

#include "sys/platform.h"

#include <QScopeGuard>
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
    void planFoldersAndDates();
    void copyTimesAndSources();
    void clashRules();
    void killedCopyLeavesNoHalfFile();
    void runOverATree();
};

static FileTreeInfo* planned(const QString& file, const TidyCfg& cfg)
{
    auto* info = new FileTreeInfo();
    info->init(QFileInfo(file), cfg);
    return info;
}

// A whole run over the source tree; the number of photos carried out.
static int tidy(const TidyCfg& cfg)
{
    TidyRunner runner(cfg);
    const QList<FileTreeInfo*> infos = runner.plan(runner.scanTree(cfg.SrcPath));
    const int done = runner.execute(infos);
    qDeleteAll(infos);
    return done;
}

void TestFileTreeInfo::planFoldersAndDates()
{
    sorttest::SortEnv env;
    testutil::TempDir dir;
    const QString file = photo(dir.file("src"), "IMG 1.jpg", "2021:02:03 04:05:06");
    const QString undated = photo(dir.file("src"), "b.png");
    QVERIFY(!file.isEmpty() && !undated.isEmpty());
    TidyCfg cfg = cfgFor(dir.file("src"), dir.file("dst"));

    // An offered format, a short one, and custom ones: only an empty folder text or one that climbs out of the
    // target folder fails.
    const QList<QPair<QString, QString>> folders
        = { { pathRuleFormat(0), "2021年/02月03日" }, { pathRuleFormat(11), "2021" }, { "", "" }, { "'..'", "" },
              { "yyyy/'..'/'..'/x", "" }, { "/yyyy//MM/./dd", "2021/02/03" } };
    for (const auto& folder : folders) {
        cfg.PathRuleTimeStr = folder.first;
        std::unique_ptr<FileTreeInfo> info(planned(file, cfg));
        QCOMPARE(info->dstRel, folder.second.isEmpty() ? QString() : folder.second + "/IMG 1.jpg");
        QCOMPARE(info->message, folder.second.isEmpty() ? QString("生成目录层级失败") : QString());
    }

    // The range holds both its days; outside it, or without a date taken, a file is left with a reason.
    cfg.PathRuleTimeStr = "yyyy/MM/dd";
    cfg.LimitDateRange = true;
    cfg.StartDate = cfg.EndDate = "2021-02-03";
    std::unique_ptr<FileTreeInfo> info(planned(file, cfg));
    QCOMPARE(info->status, 1);
    cfg.StartDate = "2021-02-04";
    cfg.EndDate = "2022-01-01";
    info.reset(planned(file, cfg));
    QCOMPARE(info->message, QString("拍摄时间超过指定范围"));
    info.reset(planned(undated, cfg));
    QCOMPARE(info->message, QString("文件中无拍摄时间"));
    // Without the range, folders by date taken leave a file without one silently, and its execution skips it.
    cfg.LimitDateRange = false;
    info.reset(planned(undated, cfg));
    QCOMPARE(info->message, QString());
    QCOMPARE(info->execute(cfg, nullptr), -1);
    QCOMPARE(info->message, QString("跳过"));
    // Folders by the file's modified time need no date taken.
    FileTimes times;
    times.modified = QDateTime(QDate(2019, 7, 1), QTime(8, 0));
    QVERIFY(platform::writeFileTimes(undated, times));
    cfg.PathRuleTimeSrc = cfg.FileModTimeSrc = TidyCfg::SrcModTime;
    info.reset(planned(undated, cfg));
    QCOMPARE(info->dstRel, QString("2019/07/01/b.png"));

    // The unique name numbers the file, never a folder with a dot; a dangling link holds its name.
    QVERIFY(QDir().mkpath(dir.file("2021.02")));
    for (const char* name : { "2021.02/IMG_1.jpg", "2021.02/IMG_1-1.jpg", "2021.02/a" })
        QVERIFY(testutil::writeBytes(dir.file(name), "x"));
    QVERIFY(QFile::link(dir.file("nowhere"), dir.file("2021.02/a-1")));
    QCOMPARE(FileTreeInfo::uniqueName(dir.path(), "2021.02/IMG_1.jpg"), QString("2021.02/IMG_1-2.jpg"));
    QCOMPARE(FileTreeInfo::uniqueName(dir.path(), "2021.02/a"), QString("2021.02/a-2"));
}

void TestFileTreeInfo::copyTimesAndSources()
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
    // Another program's save between the checked copy and the removal of the source: the source stays with it.
    {
        QVERIFY(testutil::writeBytes(file, bytes));
        cfg.DstPath = dir.file("saved");
        info.reset(planned(file, cfg));
        bool saveMade = false;
        FileCopier::setSourceRemovalHook([&](const QString& path) {
            saveMade = QDir::fromNativeSeparators(path) == file && testutil::writeBytes(path, bytes + "saved");
        });
        const auto noHook = qScopeGuard([] { FileCopier::setSourceRemovalHook({}); });
        QCOMPARE(info->execute(cfg, nullptr), -1);
        QVERIFY(saveMade);
        QCOMPARE(info->message, QString("源文件在复制后被修改，未删除"));
        QCOMPARE(testutil::readBytes(file), bytes + "saved");
        QCOMPARE(testutil::readBytes(dir.file("saved/2021/02/03/相片 1.jpg")), bytes);
    }

    // Verification sees a source that changed after it was copied: in a byte (with content) or in its size.
    FileCopier copier;
    QVERIFY(copier.openSource(copy));
    QVERIFY(copier.copyTo(dir.file("dst")));
    QVERIFY(copier.verify(true));
    QVERIFY(testutil::writeBytes(copy, QByteArray(bytes).replace(bytes.size() / 2, 1, "?")));
    QVERIFY(copier.verify(false));
    QVERIFY(!copier.verify(true));
    QVERIFY(testutil::writeBytes(copy, bytes + "more"));
    QVERIFY(!copier.verify(false));
    // Publishing never replaces a file.
    QCOMPARE(copier.publish(copy), FileCopier::TargetExists);
    QCOMPARE(testutil::readBytes(copy), bytes + "more");
    copier.discard();
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
    cfg.FileExistsOpt = TidyCfg::ExistsRename;
    info.reset(planned(file, cfg));
    QCOMPARE(info->execute(cfg, nullptr), 0);
    QCOMPARE(info->dstRel, QString("2021/02/03/IMG_1-2.jpg"));
    QCOMPARE(testutil::readBytes(dir.file("dst/2021/02/03/IMG_1-2.jpg")), bytes);

    // Replace trashes the old target only once the new copy is complete: not when the source is gone, not when
    // there is no trash (the source stays then too).
    cfg.FileExistsOpt = TidyCfg::ExistsReplace;
    cfg.KeepSrcFile = false;
    info.reset(planned(file, cfg));
    QVERIFY(QFile::rename(file, file + ".away"));
    QCOMPARE(info->execute(cfg, nullptr), -1);
    QVERIFY(QFile::rename(file + ".away", file));
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    QVERIFY(testutil::writeBytes(env.home.path() + "/no-trash", "a file: no trash in it"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(env.home.path() + "/no-trash"));
    QCOMPARE(info->execute(cfg, nullptr), -1);
    QCOMPARE(info->message, QString("移动文件到回收站失败"));
    QCOMPARE(testutil::readBytes(target), QByteArray("older"));
    QVERIFY(QFileInfo::exists(file));
    qputenv("XDG_DATA_HOME", oldData);
    cfg.KeepSrcFile = true;
    QCOMPARE(info->execute(cfg, nullptr), 0);
    QCOMPARE(testutil::readBytes(target), bytes);
    QCOMPARE(testutil::readBytes(env.trash() + "/IMG_1.jpg"), QByteArray("older"));

    // The target is the source itself (the target tree tidied again): nothing is trashed or removed.
    cfg.SrcPath = cfg.DstPath;
    cfg.KeepSrcFile = false;
    info.reset(planned(target, cfg));
    QCOMPARE(info->execute(cfg, nullptr), -1);
    QCOMPARE(info->message, QString("跳过"));
    QCOMPARE(testutil::readBytes(target), bytes);

    // Two sources of one name in one run: the second never replaces the first's copy.
    const QString second = photo(dir.file("src/other"), "IMG_1.jpg", "2021:02:03 09:09:09");
    const QByteArray secondBytes = testutil::readBytes(second);
    cfg = cfgFor(dir.file("src"), dir.file("run"));
    cfg.FileExistsOpt = TidyCfg::ExistsReplace;
    QCOMPARE(tidy(cfg), 2);
    QCOMPARE(testutil::readBytes(dir.file("run/2021/02/03/IMG_1.jpg")), bytes);
    QCOMPARE(testutil::readBytes(dir.file("run/2021/02/03/IMG_1-1.jpg")), secondBytes);
    QCOMPARE(filesBelow(env.trash()), QStringList({ "IMG_1.jpg" }));
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
    cfg.PathRuleTimeSrc = cfg.FileModTimeSrc = TidyCfg::SrcModTime;
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
    QCOMPARE(::waitpid(child, nullptr, 0), child);
    for (const QString& copy : filesBelow(dir.file("dst")))
        QVERIFY2(testutil::readBytes(dir.file("dst/" + copy)) == bytes, qPrintable(copy));
}

void TestFileTreeInfo::runOverATree()
{
    sorttest::SortEnv env;
    testutil::TempDir dir;
    const QString src = dir.file("src");
    QVERIFY(!photo(src, "z.JPG", "2021:02:03 04:05:06").isEmpty());
    QVERIFY(!photo(src + "/b 卡", "a.jpg", "2021:02:28 23:59:59").isEmpty());
    QVERIFY(!photo(src + "/b 卡/深", "c.jpeg", "2022:12:31 00:00:00").isEmpty());
    QVERIFY(!photo(src + "/a", "d.png", "2019:07:01 08:00:00").isEmpty());

    TidyCfg cfg = cfgFor(src, dir.file("dst"), "yyyy/MM");
    QCOMPARE(tidy(cfg), 4);

    // A folder's files, by name, before its subfolders'; no other files; a FIFO, a dangling link and a link back
    // up the tree are named as skipped.
    QVERIFY(testutil::writeBytes(src + "/notes.txt", "not a photo"));
    QVERIFY(::mkfifo(QFile::encodeName(src + "/pipe.jpg").constData(), 0600) == 0);
    QVERIFY(QFile::link(src + "/nowhere.jpg", src + "/a/dangling.jpg"));
    QVERIFY(QFile::link(src, src + "/a/loop"));
    QStringList found;
    for (const TidyRunner::Found& entry : TidyRunner(cfg).scanTree(src))
        found << QDir(src).relativeFilePath(entry.file.absoluteFilePath())
                + (entry.skip.isEmpty() ? "" : " " + entry.skip);
    QCOMPARE(found,
        QStringList({ "pipe.jpg 不是普通文件", "z.JPG", "a/d.png", "a/dangling.jpg 链接指向的文件不存在",
            "a/loop 目录链接指向要整理的目录之内", "b 卡/a.jpg", "b 卡/深/c.jpeg" }));

    // A second run into the same target loses nothing: moved beside under new names.
    cfg.FileExistsOpt = TidyCfg::ExistsRename;
    cfg.KeepSrcFile = false;
    QCOMPARE(tidy(cfg), 4);
    QCOMPARE(filesBelow(dir.file("dst")),
        QStringList({ "2019/07/d-1.png", "2019/07/d.png", "2021/02/a-1.jpg", "2021/02/a.jpg", "2021/02/z-1.JPG",
            "2021/02/z.JPG", "2022/12/c-1.jpeg", "2022/12/c.jpeg" }));
    QCOMPARE(filesBelow(src), QStringList({ "a/dangling.jpg", "notes.txt", "pipe.jpg" }));
}

QTEST_GUILESS_MAIN(TestFileTreeInfo)
#include "tst_filetreeinfo.moc"
