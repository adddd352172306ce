#include "app/appcfg.h"
#include "app/fileassoc.h"
#include "common/testutil.h"

#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#pragma pop_macro("signals")

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

using testutil::readBytes;
using testutil::writeBytes;

// Runs in its own XdgHome (see main): every file below is a scratch one.
class TestFileAssoc : public QObject {
    Q_OBJECT
private slots:
    void init();
    void desktopEntry();
    void associateAndUndo();
    void refusedChanges();
    void desktopTools();
};

// Another desktop's list as the desktop tools write it.
static const QByteArray OtherApps = "[Added Associations]\n"
                                    "image/png=eog.desktop;\n"
                                    "text/plain=gedit.desktop;\n"
                                    "\n"
                                    "[Default Applications]\n"
                                    "image/png=eog.desktop\n"
                                    "text/plain=gedit.desktop\n"
                                    "image/gif=vornel-old.desktop\n"
                                    "\n"
                                    "[Removed Associations]\n"
                                    "image/jpeg=display-im6.q16.desktop;\n";

static QString backupOf(const QString& mime)
{
    QSettings store("tamrolek", "vornel");
    return store.value("vornel.bak/" + mime).toString();
}

// A key of the desktop entry as GLib reads it.
static QString entryValue(const char* key)
{
    g_autoptr(GKeyFile) kf = g_key_file_new();
    const QByteArray path = QFile::encodeName(assocDesktopEntryPath());
    if (!g_key_file_load_from_file(kf, path.constData(), G_KEY_FILE_NONE, nullptr))
        return QString();
    g_autofree gchar* value = g_key_file_get_string(kf, G_KEY_FILE_DESKTOP_GROUP, key, nullptr);
    return QString::fromUtf8(value);
}

void TestFileAssoc::init()
{
    AppCfg::instance(1);
    QFile::remove(assocMimeAppsPath());
    QFile::remove(assocDesktopEntryPath());
    QFile::remove(QFileInfo(assocDesktopEntryPath()).absolutePath() + "/mimeinfo.cache");
    QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/tamrolek").removeRecursively();
}

void TestFileAssoc::desktopEntry()
{
    const QString program = QCoreApplication::applicationFilePath();
    QVERIFY(!isOpenCommandOwn());
    QCOMPARE(writeOpenCommand(), 0);
    QVERIFY(isOpenCommandOwn());
    QCOMPARE(entryValue("Exec"), '"' + program + "\" %f");
    QCOMPARE(entryValue("Icon"), QString("vornel"));
    const QImage icon(QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + "/icons/hicolor/128x128/apps/vornel.png");
    QCOMPARE(icon.size(), QSize(128, 128));

    // Program paths with blanks, Chinese and the characters the Exec quoting reserves come back whole.
    testutil::TempDir dir;
    const QString odd = dir.file("照片 管理 \"$HOME\" `x` a\\b");
    QVERIFY(QDir().mkpath(odd));
    const QString link = odd + "/vornel";
    QVERIFY(QFile::link(program, link));
    g_autoptr(GKeyFile) kf = g_key_file_new();
    for (const auto& [key, value] : { std::pair<const char*, QString> { "Type", "Application" }, { "Name", "x" },
             { "Exec", assocOpenCommand(link) } })
        g_key_file_set_string(kf, G_KEY_FILE_DESKTOP_GROUP, key, value.toUtf8().constData());
    const QByteArray entryFile = QFile::encodeName(dir.file("odd.desktop"));
    QVERIFY(g_key_file_save_to_file(kf, entryFile.constData(), nullptr));
    // GLib finds the program behind the entry, and parses the command as it does when it starts it.
    g_autoptr(GDesktopAppInfo) app = g_desktop_app_info_new_from_filename(entryFile.constData());
    QVERIFY(app);
    g_auto(GStrv) argv = nullptr;
    QVERIFY(g_shell_parse_argv(g_app_info_get_commandline(G_APP_INFO(app)), nullptr, &argv, nullptr));
    QCOMPARE(QStringList({ QString::fromUtf8(argv[0]), QString::fromUtf8(argv[1]) }), QStringList({ link, "%f" }));
}

void TestFileAssoc::associateAndUndo()
{
    QVERIFY(writeBytes(assocMimeAppsPath(), OtherApps));
    QCOMPARE(writeOpenCommand(), 0);

    // The user's default is kept once; taking over again keeps the first one.
    QCOMPARE(associateFileType("png"), 0);
    QCOMPARE(associateFileType("PNG"), 0);
    QCOMPARE(backupOf("image/png"), QString("eog.desktop"));
    // A name that only begins like ours is another program's default, kept like any other.
    QCOMPARE(associateFileType("gif"), 0);
    QCOMPARE(backupOf("image/gif"), QString("vornel-old.desktop"));
    QCOMPARE(associateFileType("jpg"), 0);
    QCOMPARE(backupOf("image/jpeg"), QString());

    QByteArray expected = OtherApps;
    expected.replace("image/png=eog.desktop\n", "image/png=vornel.desktop\n");
    expected.replace("image/gif=vornel-old.desktop\n", "image/gif=vornel.desktop\nimage/jpeg=vornel.desktop\n");
    QCOMPARE(readBytes(assocMimeAppsPath()), expected);
    QCOMPARE(entryValue("MimeType"), QString("image/png;image/gif;image/jpeg;"));
    bool all = true;
    QTRY_COMPARE_WITH_TIMEOUT(associatedFileTypes(all), QStringList({ "gif", "jpeg", "jpg", "png" }), 10000);
    QVERIFY(!all);

    // Undo: a type without a kept default loses ours; the others get theirs back; everything else is as it was.
    QCOMPARE(unassociateFileType("jpeg"), 0);
    QCOMPARE(unassociateFileType("jpg"), 0);
    QCOMPARE(unassociateFileType("png"), 0);
    QCOMPARE(unassociateFileType("gif"), 0);
    QCOMPARE(readBytes(assocMimeAppsPath()), OtherApps);
    QCOMPARE(entryValue("MimeType"), QString());

    // A default the user chose since then is not undone by the backup still kept.
    QByteArray chosen = OtherApps;
    chosen.replace("image/png=eog.desktop\n", "image/png=gimp.desktop\n");
    QVERIFY(writeBytes(assocMimeAppsPath(), chosen));
    QCOMPARE(unassociateFileType("png"), 0);
    QCOMPARE(readBytes(assocMimeAppsPath()), chosen);

    // A group that only we wrote goes again, with the line that parted it from the others.
    const QByteArray added = "[Added Associations]\nimage/png=eog.desktop;\n";
    QVERIFY(writeBytes(assocMimeAppsPath(), added));
    QCOMPARE(associateFileType("bmp"), 0);
    QCOMPARE(unassociateFileType("bmp"), 0);
    QCOMPARE(readBytes(assocMimeAppsPath()), added);
}

void TestFileAssoc::refusedChanges()
{
    QCOMPARE(associateFileType("nosuchtype"), -1);
    QCOMPARE(unassociateFileType(""), -1);

    // A list that does not parse is never written over.
    const QByteArray garbage = "image/png=eog.desktop\nnot a key file\n";
    QVERIFY(writeBytes(assocMimeAppsPath(), garbage));
    QCOMPARE(associateFileType("png"), -1);
    QCOMPARE(readBytes(assocMimeAppsPath()), garbage);

    // A default that cannot be kept is not replaced: the settings store reads fine (its file points into a
    // missing folder) and fails only when written.
    QVERIFY(writeBytes(assocMimeAppsPath(), OtherApps));
    testutil::TempDir dir;
    const QString store = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/tamrolek";
    QVERIFY(QDir().mkpath(store));
    QVERIFY(QFile::link(dir.file("missing/vornel.conf"), store + "/vornel.conf"));
    QCOMPARE(associateFileType("png"), -1);
    QCOMPARE(readBytes(assocMimeAppsPath()), OtherApps);
}

// What the desktop's own tools report, once the desktop database has been updated.
void TestFileAssoc::desktopTools()
{
    const QString xdgMime = QStandardPaths::findExecutable("xdg-mime");
    if (xdgMime.isEmpty() || QStandardPaths::findExecutable("update-desktop-database").isEmpty())
        QSKIP("xdg-mime or update-desktop-database is not installed");
    const QString cache = QFileInfo(assocDesktopEntryPath()).absolutePath() + "/mimeinfo.cache";
    QCOMPARE(writeOpenCommand(), 0);
    QCOMPARE(associateFileType("jpg"), 0);
    QVERIFY(notifyAssocChanged());
    QTRY_VERIFY_WITH_TIMEOUT(readBytes(cache).contains("image/jpeg=vornel.desktop;"), 10000);
    QProcess query;
    query.start(xdgMime, { "query", "default", "image/jpeg" });
    QVERIFY(query.waitForFinished(20000));
    QCOMPARE(query.readAllStandardOutput().trimmed(), QByteArray("vornel.desktop"));
}

VORN_XDG_TEST_MAIN(TestFileAssoc)
#include "tst_fileassoc.moc"
