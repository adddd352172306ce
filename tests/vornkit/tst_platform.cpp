#include "common/testutil.h"
#include "sys/platform.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void timesKeepNanoseconds();
    void modeBitsAndCreation();
    void folderAndTools();
    void onlyRegularFilesOpen();
};

static bool setRawTimes(const QString& path, time_t sec, long nsec)
{
    const struct timespec ts[2] = { { sec, nsec }, { sec + 10, nsec + 1 } };
    return utimensat(AT_FDCWD, QFile::encodeName(path).constData(), ts, 0) == 0;
}

void TestPlatform::timesKeepNanoseconds()
{
    testutil::TempDir dir;
    const QString a = testutil::makeImage(dir.path(), "照片 a.png");
    const QString b = testutil::makeImage(dir.path(), "b.png");
    QVERIFY(setRawTimes(a, 1000000000, 123456789));
    const FileTimes ta = platform::readFileTimes(a);
    QVERIFY(ta.valid);
    QCOMPARE(ta.accessedNs, 1000000000123456789LL);
    QCOMPARE(ta.modifiedNs, 1000000010123456790LL);
    QCOMPARE(ta.modified.toMSecsSinceEpoch(), 1000000010123LL);

    // Restoring what was read onto another file gives it the exact times.
    QVERIFY(platform::writeFileTimes(b, ta));
    const FileTimes tb = platform::readFileTimes(b);
    QCOMPARE(qMakePair(tb.accessedNs, tb.modifiedNs), qMakePair(ta.accessedNs, ta.modifiedNs));

    // A changed QDateTime wins over stale nanoseconds; an invalid one leaves that time alone.
    FileTimes changed = ta;
    changed.modified = QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5, 678));
    changed.accessed = QDateTime();
    QVERIFY(platform::writeFileTimes(b, changed));
    const FileTimes tc = platform::readFileTimes(b);
    QCOMPARE(tc.modified, changed.modified);
    QCOMPARE(tc.modifiedNs % 1000000, 0LL);
    QCOMPARE(tc.accessedNs, ta.accessedNs);

    // Before 1970 too.
    FileTimes old;
    old.modified = QDateTime(QDate(1965, 6, 1), QTime(12, 0, 0, 250), Qt::UTC);
    QVERIFY(platform::writeFileTimes(b, old));
    QCOMPARE(platform::readFileTimes(b).modified, old.modified);

    // Past the nanosecond range (year 2400): read and put back to the second, no overflow.
    const time_t far = 13569465600;
    QVERIFY(setRawTimes(a, far, 5));
    const FileTimes tf = platform::readFileTimes(a);
    QCOMPARE(tf.modified, QDateTime::fromSecsSinceEpoch(far + 10));
    QVERIFY(platform::writeFileTimes(b, tf));
    struct stat st { };
    QVERIFY(::stat(QFile::encodeName(b).constData(), &st) == 0);
    QCOMPARE(qint64(st.st_mtim.tv_sec), qint64(far + 10));
    QCOMPARE(qint64(st.st_atim.tv_sec), qint64(far));

    QVERIFY(!platform::readFileTimes(dir.file("missing")).valid);
    QVERIFY(!platform::writeFileTimes(dir.file("missing"), ta));
}

void TestPlatform::modeBitsAndCreation()
{
    testutil::TempDir dir;
    const QString f = testutil::makeImage(dir.path(), "m 文件.png");
    auto modeOf = [](const QString& path) {
        mode_t mode = 0;
        return platform::readFileMode(path, mode) ? int(mode) : -1;
    };
    QVERIFY(platform::writeFileMode(f, 0640));
    QCOMPARE(modeOf(f), 0640);
    QVERIFY(!platform::isReadOnly(f));
    QVERIFY(setRawTimes(f, 946684800, 0)); // 2000-01-01
    const FileTimes before = platform::readFileTimes(f);
    QTest::qWait(20);
    QVERIFY(platform::setReadOnly(f, true));
    QCOMPARE(modeOf(f), 0440);
    QVERIFY(platform::isReadOnly(f));

    // The mode change moved the status-change time only, which is not the creation time.
    const FileTimes after = platform::readFileTimes(f);
    QCOMPARE(after.createdNs, before.createdNs);
    QCOMPARE(after.modifiedNs, before.modifiedNs);
    struct statx stx { };
    QVERIFY(statx(AT_FDCWD, QFile::encodeName(f).constData(), 0, STATX_CTIME, &stx) == 0);
    QVERIFY(after.createdNs != qint64(stx.stx_ctime.tv_sec) * 1000000000LL + stx.stx_ctime.tv_nsec);
    QCOMPARE(platform::createdTime(QFileInfo(f)).toSecsSinceEpoch(), after.created.toSecsSinceEpoch());

    QVERIFY(platform::setReadOnly(f, false));
    QCOMPARE(modeOf(f), 0640);
    QVERIFY(platform::writeFileMode(f, 01751));
    QCOMPARE(modeOf(f), 01751);

    // Nothing read, nothing written.
    mode_t mode = 0123;
    QVERIFY(!platform::readFileMode(dir.file("missing"), mode));
    QCOMPARE(int(mode), 0123);
    QVERIFY(!platform::setReadOnly(dir.file("missing"), false));
    QVERIFY(!QFile::exists(dir.file("missing")));
}

void TestPlatform::folderAndTools()
{
    {
        testutil::ProgramDir dir;
        QCOMPARE(platform::programDir(), dir.path());
    }
    qunsetenv("VORN_PROGRAM_DIR");
    QCOMPARE(platform::programDir(), QCoreApplication::applicationDirPath());

    QCOMPARE(platform::toolPath("vorntwin"), QCoreApplication::applicationDirPath() + "/vorntwin");
    QVERIFY(!platform::startTool("vorn-no-such-tool"));

    // A stand-in tool beside this program reports how many arguments it got.
    testutil::TempDir dir;
    const QString out = dir.file("args.txt");
    const QString name = QString("vorn-fake-tool-%1").arg(QCoreApplication::applicationPid());
    const QString tool = platform::toolPath(name);
    QVERIFY(testutil::writeBytes(tool,
        "#!/bin/sh\necho $# > \"" + QFile::encodeName(out) + ".part\" && mv \"" + QFile::encodeName(out) + ".part\" \""
            + QFile::encodeName(out) + "\"\n"));
    QVERIFY(platform::writeFileMode(tool, 0700));
    const bool started = platform::startTool(name);
    if (started)
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
    QFile::remove(tool);
    QVERIFY(started);
    QCOMPARE(testutil::readBytes(out).trimmed(), QByteArray("0"));
}

// A FIFO, a link to one, a folder or a file over the limit never blocks and never reads.
void TestPlatform::onlyRegularFilesOpen()
{
    testutil::TempDir dir;
    const QString photo = dir.file("照片 1.jpg");
    QVERIFY(testutil::writeBytes(photo, "bytes"));
    const QString fifo = dir.file("pipe.jpg");
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString link = dir.file("link.jpg");
    QVERIFY(QFile::link(fifo, link));
    const QString good = dir.file("good link.jpg");
    QVERIFY(QFile::link(photo, good));

    // Not even opened: opening a device can act on it.
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    QVERIFY(inotify_add_watch(watch, QFile::encodeName(fifo).constData(), IN_OPEN) >= 0);

    QByteArray out;
    for (const QString& p : { photo, good }) {
        QVERIFY(platform::isRegularFile(p));
        QVERIFY(platform::readRegularFile(p, 100, out));
        QCOMPARE(out, QByteArray("bytes"));
    }
    QVERIFY(!platform::readRegularFile(photo, 4, out));
    QVERIFY(out.isEmpty());
    for (const QString& p : { fifo, link, dir.path(), dir.file("missing.jpg"), QString() }) {
        QVERIFY(!platform::isRegularFile(p));
        QFile f;
        QVERIFY(!platform::openRegularFile(f, p));
        QVERIFY(!f.isOpen());
        QVERIFY(!platform::readRegularFile(p, 100, out));
    }
    char events[4096];
    QCOMPARE(read(watch, events, sizeof events), ssize_t(-1));
    close(watch);
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
