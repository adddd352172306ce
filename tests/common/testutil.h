#pragma once

// Helpers shared by every test program.

#include <QApplication>
#include <QColor>
#include <QFuture>
#include <QImage>
#include <QList>
#include <QSemaphore>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

class QProcess;
class QSemaphore;
class QThreadPool;
class QWidget;
class SqliteDb;

namespace testutil {

// A temporary program folder (data/, profile/ go there) for the life of the object.
class ProgramDir {
public:
    ProgramDir();
    ~ProgramDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_old;
    bool m_hadOld = false;
};

// A scratch home with its own XDG folders (configuration, data with an applications folder, cache, runtime) for
// the life of the object, so that settings, desktop entries and default applications never touch the user's.
// Qt's settings and GLib read these folders once per process: make it before the application
// (VORN_XDG_TEST_MAIN).
class XdgHome {
public:
    XdgHome();
    ~XdgHome();
    QString path() const { return m_dir.path(); }
    QString config() const { return m_dir.filePath("config"); }
    QString data() const { return m_dir.filePath("data"); }

private:
    QTemporaryDir m_dir;
    QList<QPair<QByteArray, QByteArray>> m_old; // the variables as they were; unset ones hold a null value
};

// A temporary folder for sample files (inside parent when given).
class TempDir {
public:
    TempDir();
    explicit TempDir(const QString& parent);
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

// Writes a picture of w x h with a colour gradient (format from the suffix, or given); returns the path or an empty
// text on failure.
QString makeImage(const QString& dir, const QString& name, int w = 64, int h = 48, const QColor& color = Qt::red,
    const char* format = nullptr);
// A plain image of one colour.
QImage solidImage(int w, int h, const QColor& color);
// A picture of four coloured quarters (red, green / blue, yellow), to tell how it was turned.
QImage quarterImage(int w, int h);
// A photo-like picture, different for every seed: soft colour fields, hard-edged shapes and sensor grain, so that
// it compresses and decodes like a photo.
QImage photoLikeImage(int w, int h, int seed);
// Writes a large grey JPEG of w x h (soft bands and blocks) without keeping more than one grey copy of it;
// returns the path or an empty text on failure.
QString makeLargeGreyJpeg(const QString& dir, const QString& name, int w, int h);
// A picture of one-pixel black and white columns: averaged over areas it turns an even grey, sampled it beats into
// moiré.
QImage lineImage(int w, int h);
// The mean and the standard deviation of the grey level over the rectangle (clipped to the image).
QPair<double, double> greyMeanAndSpread(const QImage& image, const QRect& rect);
// A tiny PNG whose header declares w x h (bit depth and colour type as given); its pixel data do not follow.
QByteArray pngDeclaring(quint32 w, quint32 h, int bitDepth = 8, int colorType = 2);
// A GIF of a w x h canvas with the given number of one-pixel frames, looping.
QByteArray gifCanvas(int w, int h, int frames);
bool writeBytes(const QString& path, const QByteArray& bytes);
// Local time from now on is that of the zone ("Asia/Shanghai"), for this process.
void useTimeZone(const char* zone);
// The built program of that name (VORN_BIN_DIR when set, else the build's own program folder).
QString programPath(const QString& name);
QByteArray readBytes(const QString& path);

// Whether two existing paths lie on one file system.
bool sameFileSystem(const QString& a, const QString& b);

// A file system of its own (tmpfs) of the given size, mounted on a temporary folder for the life of the object and
// unmounted after. Only root may mount: mounted() tells whether it could be.
class SmallFileSystem {
public:
    explicit SmallFileSystem(qint64 bytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    // Takes the file system away early, as a volume unplugged: its mount point is left an empty folder.
    bool unmount();

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

// For its life, the shared library reads a file-system table (VORN_FSTAB) that lists these folders as mount points:
// a stand-in for volumes named in /etc/fstab, which are away while not mounted.
class ListedMountPoints {
public:
    explicit ListedMountPoints(const QStringList& folders);
    ~ListedMountPoints();
    ListedMountPoints(const ListedMountPoints&) = delete;
    ListedMountPoints& operator=(const ListedMountPoints&) = delete;

private:
    QTemporaryDir m_dir;
    QByteArray m_old;
    bool m_hadOld = false;
};

// Each row of the query's result as its columns joined by '|'.
QStringList queryRows(SqliteDb& db, const QString& sql);
// The names of the database's tables or indexes ("table", "index"), sorted, those of SQLite left out.
QStringList schemaNames(SqliteDb& db, const char* type);

// While it lives, answers every modal message box by clicking the button with the given text, and keeps the
// boxes' texts in order.
class ModalAnswerer {
public:
    explicit ModalAnswerer(const QString& button);
    ~ModalAnswerer();
    QStringList texts;

private:
    QTimer* m_timer;
};

// Keeps threads of a pool busy (all of them unless told) until open() or the end of the object, so that the jobs
// queued meanwhile wait; opening waits until the holding jobs are done with the gate.
class PoolGate {
public:
    explicit PoolGate(QThreadPool* pool, int threads = 0);
    ~PoolGate();
    PoolGate(const PoolGate&) = delete;
    PoolGate& operator=(const PoolGate&) = delete;
    // Whether every holding job has started.
    bool holding(int timeoutMs = 10000);
    void open();

private:
    QSemaphore m_gate;
    QSemaphore m_started;
    QList<QFuture<void>> m_jobs;
};

// Waits until the spy holds at least count signals; false after timeoutMs so a hung test fails.
bool waitForSignal(QSignalSpy& spy, int count = 1, int timeoutMs = 10000);

// What a watch for the next modal window saw. The watch ends when the last holder drops this.
struct ModalCatch {
    bool ran = false;
    QString text; // a message box's text
};
// Runs fn once on the next modal window that opens within timeoutMs (a dialog or message box that the code under
// test runs with exec()), as long as the returned catch is held.
std::shared_ptr<ModalCatch> onNextModal(std::function<void(QWidget*, ModalCatch&)> fn, int timeoutMs = 10000);
// Presses the first button of the next message box and keeps its text.
std::shared_ptr<ModalCatch> answerMessageBox(int timeoutMs = 10000);

// The same for a caller that needs no catch: fn must close the window (a click, accept or reject).
void onNextModal(std::function<void(QWidget*)> fn, int timeoutMs = 5000);
// Clicks the button of that text on the next modal box; its text goes to *text when given.
void answerNextBox(const QString& button, QString* text = nullptr);

// A field of this process's /proc/self/status in kB ("VmRSS:", "VmHWM:"); -1 when it cannot be read.
qint64 procStatusKb(const char* key);
// Starts the peak of the resident set (VmHWM) over from what is resident now.
void resetPeakMemory();

// For its life, file access runs as an unprivileged user when the test runs as root, so that permission
// bits count; otherwise it does nothing.
class Unprivileged {
public:
    Unprivileged();
    ~Unprivileged();
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;

private:
    bool m_switched = false;
};

// For its life, the files of a folder can be seen but neither moved nor removed under Unprivileged: the folder is
// read and search only, its parent open for search. Afterwards the folder is writable again.
class LockedFolder {
public:
    explicit LockedFolder(const QString& folder);
    ~LockedFolder();
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;
    bool ok() const { return m_ok; }

private:
    QString m_folder;
    bool m_ok = false;
};

// For its life, no file this process writes may grow past limit bytes (a stand-in for a full disk); a write
// beyond fails instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 limit);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    qint64 m_old = -1;
    bool m_set = false;
    void (*m_handler)(int) = nullptr;
};

// Starts a program under a file-size limit of limit bytes, with SIGXFSZ as the system sets it (ending the process)
// unless the program ignores it itself; this process's limit and signal stay as they were.
bool startUnderFileSizeLimit(QProcess& process, const QString& program, const QStringList& args, qint64 limit);
// Whether the running process ignores the signal, as it tells in /proc; waits up to timeoutMs for it to do so.
bool ignoresSignal(qint64 pid, int signal, int timeoutMs = 10000);

} // namespace testutil

// QTEST_MAIN for a widget test whose process runs in its own XdgHome.
#define VORN_XDG_TEST_MAIN(TestObject)                                                                                 \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        testutil::XdgHome xdgHome;                                                                                     \
        QApplication app(argc, argv);                                                                                  \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }
