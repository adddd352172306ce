#include "common/testutil.h"
#include "sys/fileutil.h"
#include "sys/platform.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

class TestFileUtil : public QObject {
    Q_OBJECT
private slots:
    void pathsAndSizes();
    void clipboardAndCombo();
    void fileManagerFallback();
    void trashAndWrite();
    void imagesListedByName();
    void goneOnlyOnEvidence();
    void unmountedVolumesFromTables();
};

void TestFileUtil::pathsAndSizes()
{
    QCOMPARE(pathJoin("C:/a/", "/b"), QString("C:/a/b"));
    QCOMPARE(pathJoin("C:\\a\\", "\\b"), QString("C:\\a/b"));
    QCOMPARE(pathJoin("", "x"), QString("/x"));
    QCOMPARE(pathJoin("a\\/", "b"), QString("a\\/b")); // backslashes go first, so this one stays
    QCOMPARE(pathJoin("/a//", "//b//", "c"), QString("/a/b/c"));
    QCOMPARE(pathJoin("/a", "/b/", "\\c/", "/d.jpg"), QString("/a/b/c/d.jpg"));

    QCOMPARE(ExtractFileName("C:/a/b.jpg/"), QString("b.jpg"));
    QCOMPARE(ExtractFilePath("/b.jpg"), QString());
    QCOMPARE(ExtractFilePath("/a/b\\c.jpg"), QString("/a/b"));
    QCOMPARE(ExtractFileExt(".hidden"), QString());
    QCOMPARE(ExtractFileExt("/a/b.tar.gz"), QString("gz"));
    QCOMPARE(ExtractFileBaseName("C:/a/b.jpg"), QString("C:/a/b"));
    QCOMPARE(ExtractFileBaseName("C:/a/b"), QString());

    QStringList list { "\\x", "y\\z" };
    stdFilePath(list);
    QCOMPARE(list, QStringList({ "/x", "y/z" }));

    QCOMPARE(calcFileSize(0), QString("0 B"));
    QCOMPARE(calcFileSize(99), QString("99 B"));
    QCOMPARE(calcFileSize(100), QString("0.0977 K"));
    QCOMPARE(calcFileSize(150), QString("0.146 K"));
    QCOMPARE(calcFileSize(1536), QString("1.5 K"));
    QCOMPARE(calcFileSize(102399), QString("100 K"));
    QCOMPARE(calcFileSize(102400), QString("0.0977 M"));
    QCOMPARE(calcFileSize(3 * 1048576LL), QString("  3 M"));
    QCOMPARE(calcFileSize(104857600LL), QString("0.0977 G"));
    QCOMPARE(calcFileSize(112589990684262399LL), QString("100 P"));
    QCOMPARE(calcFileSize(112589990684262400LL), QString());
    QCOMPARE(calcImageSize(640, 480), QString("640 x 480"));
}

void TestFileUtil::clipboardAndCombo()
{
    // Cut: file managers read the GNOME and KDE marks.
    const QStringList files { "/tmp/照片 1/a b.jpg", "/tmp/c.png" };
    QVERIFY(copyToClipboard(files, false));
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    QCOMPARE(mime->urls(), QList<QUrl>({ QUrl::fromLocalFile(files[0]), QUrl::fromLocalFile(files[1]) }));
    const QList<QByteArray> gnome = mime->data("x-special/gnome-copied-files").split('\n');
    QCOMPARE(gnome.size(), 3);
    QCOMPARE(gnome[0], QByteArray("cut"));
    QCOMPARE(QUrl::fromEncoded(gnome[1]).toLocalFile(), files[0]);
    QCOMPARE(mime->data("application/x-kde-cutselection"), QByteArray("1"));
    QCOMPARE(mime->text(), files.join('\n'));

    QVERIFY(copyToClipboard(files[1], true));
    mime = QApplication::clipboard()->mimeData();
    QCOMPARE(mime->data("x-special/gnome-copied-files"), QByteArray("copy\nfile:///tmp/c.png"));
    QVERIFY(mime->data("application/x-kde-cutselection") != "1");

    QComboBox combo;
    combo.addItems({ "Alpha", "beta" });
    setCurrentText(combo, "beta");
    QCOMPARE(combo.currentIndex(), 1);
    setCurrentText(combo, "alpha"); // case counts: no match clears the selection
    QCOMPARE(combo.currentIndex(), -1);
    combo.setEditable(true);
    setCurrentText(combo, "gamma");
    QCOMPARE(combo.currentText(), QString("gamma"));
}

void TestFileUtil::fileManagerFallback()
{
    // No session bus: the folder goes to xdg-open, here a stand-in that records its argument.
    testutil::TempDir dir;
    const QString bin = dir.file("bin");
    QVERIFY(QDir().mkpath(bin));
    const QString out = dir.file("opened.txt");
    QVERIFY(testutil::writeBytes(bin + "/xdg-open",
        "#!/bin/sh\nprintf '%s' \"$1\" > \"" + QFile::encodeName(out) + ".part\" && mv \"" + QFile::encodeName(out)
            + ".part\" \"" + QFile::encodeName(out) + "\"\n"));
    QFile::setPermissions(bin + "/xdg-open", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin) + ":" + oldPath);
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(dir.file("nobus")));

    const QString folder = dir.file("照片 文件夹");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(!explorerFilePos(dir.file("missing.jpg")));
    QVERIFY(explorerFilePos(testutil::makeImage(folder, "a b.png")));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
    QCOMPARE(QString::fromUtf8(testutil::readBytes(out)), folder);
    qputenv("PATH", oldPath);
}

void TestFileUtil::trashAndWrite()
{
    // The trash of a private home on the same file system as the file.
    testutil::TempDir dir;
    const QByteArray oldHome = qgetenv("HOME"), oldData = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", QFile::encodeName(dir.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.file("share")));
    const QString photo = testutil::makeImage(dir.path(), "相片 1%41.png");
    QVERIFY(moveToTrash(photo));
    QVERIFY(!QFile::exists(photo));
    QVERIFY(QFile::exists(dir.file("share/Trash/files/相片 1%41.png")));
    // The original path is stored URL-escaped, so restoring gives back "%41", not "A".
    const QByteArray info = testutil::readBytes(dir.file("share/Trash/info/相片 1%41.png.trashinfo"));
    QVERIFY2(info.contains("\nPath=" + QUrl::toPercentEncoding(photo, "/") + "\n"), info.constData());
    QVERIFY(info.contains("\nDeletionDate="));

    // No trash can be made: the file stays where it was, not in the current folder.
    QVERIFY(testutil::writeBytes(dir.file("blocker"), "x"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.file("blocker")));
    QVERIFY(QDir().mkpath(dir.file("cwd")));
    const QString oldCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.file("cwd")));
    const QString kept = testutil::makeImage(dir.path(), "kept.png");
    const bool trashed = moveToTrash(kept);
    QDir::setCurrent(oldCwd);
    QVERIFY(!trashed);
    QVERIFY(QFile::exists(kept));
    QVERIFY(QDir(dir.file("cwd")).isEmpty());
    qputenv("HOME", oldHome);
    qputenv("XDG_DATA_HOME", oldData);

    const QString file = dir.file("w.bin");
    QVERIFY(testutil::writeBytes(file, QByteArray(100, 'x')));
    QCOMPARE(writeFile(file, "abc"), qint64(3));
    QCOMPARE(testutil::readBytes(file), QByteArray("abc")); // truncated, not overlaid
    QCOMPARE(writeFile(dir.file("no/such/dir/x"), "abc"), qint64(-1));

    // Settings files: written whole beside the old one, read back only when they hold an object.
    const QString cfg = dir.file("设置 1.cfg");
    QVERIFY(writeJsonObject(cfg, QJsonObject { { "LastPath", "/照片" } }));
    QCOMPARE(::link(QFile::encodeName(cfg).constData(), QFile::encodeName(dir.file("old.cfg")).constData()), 0);
    QVERIFY(writeJsonObject(cfg, QJsonObject { { "LastPath", "/新" } }));
    QJsonObject obj;
    QVERIFY(readJsonObject(dir.file("old.cfg"), obj)); // the old file was replaced, never truncated
    QCOMPARE(obj.value("LastPath").toString(), QString("/照片"));
    QVERIFY(readJsonObject(cfg, obj));
    QCOMPARE(obj.value("LastPath").toString(), QString("/新"));
    QVERIFY(testutil::writeBytes(file, "[1, 2"));
    QVERIFY(!readJsonObject(file, obj) && !readJsonObject(dir.file("missing.cfg"), obj));
    QCOMPARE(obj.value("LastPath").toString(), QString("/新"));
    QVERIFY(!writeJsonObject(dir.file("blocker/x.cfg"), obj));
}

// A folder lists as a file manager shows it, whatever order the file system keeps; no folders, no other files.
void TestFileUtil::imagesListedByName()
{
    testutil::TempDir dir;
    for (const char* name : { "b10.jpg", "b9.jpg", "A1.png", "照片 2.jpg", "a2.JPG", "notes.txt" })
        QVERIFY(testutil::writeBytes(dir.file(name), "x"));
    QVERIFY(QDir(dir.path()).mkdir("c.jpg"));
    QStringList names;
    for (const QString& f : listImagesByName(dir.path()))
        names << QFileInfo(f).fileName();
    QVERIFY(names.removeOne("照片 2.jpg")); // where Han sorts against Latin is the language's own rule
    QCOMPARE(names, QStringList({ "A1.png", "a2.JPG", "b9.jpg", "b10.jpg" }));
}

void TestFileUtil::goneOnlyOnEvidence()
{
    testutil::TempDir dir;
    for (const char* folder : { "full 满", "empty", "closed", "卷 away" })
        QVERIFY(QDir(dir.path()).mkpath(QString::fromUtf8(folder)));
    QVERIFY(testutil::writeBytes(dir.file("full 满/other.jpg"), "x"));
    QVERIFY(testutil::writeBytes(dir.file("closed/other.jpg"), "x"));
    QVERIFY(QFile::link(dir.file("nowhere/x.jpg"), dir.file("full 满/dangling.jpg")));
    QVERIFY(QFile::link(dir.file("nowhere"), dir.file("link")));
    const auto presence = [&](const char* name) { return int(pathPresence(dir.file(QString::fromUtf8(name)))); };
    const int present = int(PathPresence::Present), gone = int(PathPresence::Gone),
              unknown = int(PathPresence::Unknown);
    // Gone from a folder that answers, even an empty one (its last photo deleted), and with a folder removed whole
    // (the nearest folder above answers and holds something; empty, it may be where a volume was mounted); a link
    // whose target is out of reach tells nothing.
    QCOMPARE(QList<int>({ presence("full 满/other.jpg"), presence("full 满/gone.jpg"), presence("missing"),
                 presence("full 满/dangling.jpg"), presence("empty/gone.jpg"), presence("missing/gone.jpg"),
                 presence("missing/子/gone.jpg"), presence("link/gone.jpg"), presence("empty/子/gone.jpg") }),
        QList<int>({ present, gone, gone, unknown, gone, gone, gone, unknown, unknown }));
    // An unmounted volume's mount point, empty or missing, and what would be below it tell nothing; once the volume
    // is no longer listed, its folder answers as any other.
    {
        testutil::ListedMountPoints listed({ dir.file("卷 away"), dir.file("卷 gone") });
        QCOMPARE(QList<int>({ presence("卷 away/gone.jpg"), presence("卷 away/子/gone.jpg"),
                     presence("卷 gone/gone.jpg"), presence("卷 gone") }),
            QList<int>({ unknown, unknown, unknown, unknown }));
    }
    QCOMPARE(presence("卷 away/gone.jpg"), gone);
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(dir.file("closed")).constData(), 0311) == 0);
    {
        testutil::Unprivileged user;
        QCOMPARE(presence("closed/gone.jpg"), unknown);
        QCOMPARE(presence("closed/子/gone.jpg"), unknown);
    }
    QVERIFY(::chmod(QFile::encodeName(dir.file("closed")).constData(), 0755) == 0);
    QCOMPARE(presence("closed/gone.jpg"), gone);
}

void TestFileUtil::unmountedVolumesFromTables()
{
    testutil::TempDir dir;
    QVERIFY(QDir(dir.path()).mkpath("卷 a/photos") && QFile::link(dir.file("卷 a"), dir.file("link")));
    QByteArray a = QFile::encodeName(dir.file("卷 a"));
    a.replace(' ', "\\040");
    QVERIFY(testutil::writeBytes(dir.file("fstab"),
        "# comment\nUUID=1 / ext4 defaults 0 1\n/dev/sdb1 " + a + " vfat noauto 0 0\n/swap none swap sw 0 0\n"));
    QVERIFY(
        testutil::writeBytes(dir.file("mounted"), "26 1 8:1 / / rw - ext4 /dev/sda1 rw\n40 26 8:17 / " + a + " rw\n"));
    QVERIFY(testutil::writeBytes(dir.file("unmounted"), "26 1 8:1 / / rw - ext4 /dev/sda1 rw\n"));
    const auto unmounted = [&](const char* folder, const char* table) {
        return platform::onUnmountedVolume(dir.file(QString::fromUtf8(folder)), dir.file("fstab"), dir.file(table));
    };
    // At or below a listed mount point (also through a link) while it is not mounted; beside it, never.
    QVERIFY(unmounted("卷 a", "unmounted") && unmounted("卷 a/photos", "unmounted") && unmounted("link", "unmounted"));
    QVERIFY(!unmounted("卷 a/photos", "mounted") && !unmounted("卷 ab", "unmounted") && !unmounted("", "unmounted"));

    // Below a place of removable volumes only while one is mounted in between; a share missing from the top of the
    // desktop's share file system is not connected.
    QVERIFY(QDir(dir.path()).mkpath("gvfs/share"));
    QVERIFY(testutil::writeBytes(dir.file("media"),
        "26 1 8:1 / / rw - ext4 /dev/sda1 rw\n41 26 8:33 / /media/某\\040user/卷\\040b rw - vfat /dev/sdc1 rw\n"
        "50 26 0:50 / "
            + QFile::encodeName(QFileInfo(dir.file("gvfs")).canonicalFilePath())
            + " rw shared:1 - fuse.gvfsd-fuse gvfsd-fuse rw\n"));
    const auto away
        = [&](const QString& path) { return platform::onUnmountedVolume(path, dir.file("fstab"), dir.file("media")); };
    QVERIFY(away("/media/某 user/卷 c/x.jpg") && away("/media/某 user/卷 c") && away("/run/media/u/卷/x.jpg")
        && away("/mnt/usb"));
    QVERIFY(!away("/media/某 user/卷 b/DCIM/x.jpg") && !away("/media") && !away("/mntx/y"));
    QVERIFY(away(dir.file("gvfs/smb-share:server=s,share=p/x.jpg")) && !away(dir.file("gvfs/share/gone/x.jpg"))
        && !away(dir.file("gvfs")));
}

QTEST_MAIN(TestFileUtil)
#include "tst_fileutil.moc"
