#include "sys/platform.h"

#include "sys/fileutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QVector>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

const qint64 nsPerMs = 1000000LL;

// Nanoseconds since 1970 reach from 1677 to 2262; beyond that a time is kept to the millisecond.
const qint64 maxNsSeconds = 9000000000LL;
// Far enough for QDateTime, small enough not to overflow as milliseconds.
const qint64 maxSeconds = 9000000000000LL;

qint64 toNs(const struct statx_timestamp& t)
{
    if (t.tv_sec > maxNsSeconds || t.tv_sec < -maxNsSeconds)
        return std::numeric_limits<qint64>::min();
    return qint64(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

QDateTime toDateTime(const struct statx_timestamp& t)
{
    const qint64 sec = qBound(-maxSeconds, qint64(t.tv_sec), maxSeconds);
    return QDateTime::fromMSecsSinceEpoch(sec * 1000 + t.tv_nsec / nsPerMs);
}

QDateTime fromNs(qint64 ns)
{
    // Floor division, so times before 1970 land on the right millisecond.
    qint64 ms = ns / nsPerMs;
    if (ns % nsPerMs < 0)
        --ms;
    return QDateTime::fromMSecsSinceEpoch(ms);
}

// The stored nanoseconds when they still describe dt, else dt's milliseconds; UTIME_OMIT for no time.
struct timespec toTimespec(const QDateTime& dt, qint64 ns)
{
    struct timespec ts { };
    if (!dt.isValid()) {
        ts.tv_nsec = UTIME_OMIT;
        return ts;
    }
    const qint64 ms = dt.toMSecsSinceEpoch();
    if (ns == std::numeric_limits<qint64>::min() || fromNs(ns).toMSecsSinceEpoch() != ms) {
        ts.tv_sec = time_t(ms / 1000);
        ts.tv_nsec = long(ms % 1000) * long(nsPerMs);
    } else {
        ts.tv_sec = time_t(ns / 1000000000LL);
        ts.tv_nsec = long(ns % 1000000000LL);
    }
    if (ts.tv_nsec < 0) {
        ts.tv_nsec += 1000000000L;
        --ts.tv_sec;
    }
    return ts;
}

} // namespace

QString programDir()
{
    const QByteArray dir = qgetenv("VORN_PROGRAM_DIR");
    if (!dir.isEmpty())
        return QFile::decodeName(dir);
    return QCoreApplication::applicationDirPath();
}

FileTimes readFileTimes(const QString& path)
{
    FileTimes times;
    struct statx stx { };
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || statx(AT_FDCWD, name.constData(), 0, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0)
        return times;
    times.accessedNs = toNs(stx.stx_atime);
    times.modifiedNs = toNs(stx.stx_mtime);
    // Never the status-change time: every chmod would move it.
    const bool birth = stx.stx_mask & STATX_BTIME;
    times.createdNs = birth ? toNs(stx.stx_btime) : times.modifiedNs;
    times.created = toDateTime(birth ? stx.stx_btime : stx.stx_mtime);
    times.accessed = toDateTime(stx.stx_atime);
    times.modified = toDateTime(stx.stx_mtime);
    times.valid = true;
    return times;
}

bool writeFileTimes(const QString& path, const FileTimes& times)
{
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty())
        return false;
    const struct timespec ts[2]
        = { toTimespec(times.accessed, times.accessedNs), toTimespec(times.modified, times.modifiedNs) };
    return utimensat(AT_FDCWD, name.constData(), ts, 0) == 0;
}

QDateTime createdTime(const QFileInfo& info)
{
    const QDateTime birth = info.birthTime();
    return birth.isValid() ? birth : info.lastModified();
}

bool readFileMode(const QString& path, mode_t& mode)
{
    struct stat st { };
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || stat(name.constData(), &st) != 0)
        return false;
    mode = st.st_mode & 07777;
    return true;
}

bool writeFileMode(const QString& path, mode_t mode)
{
    const QByteArray name = QFile::encodeName(path);
    return !name.isEmpty() && chmod(name.constData(), mode & 07777) == 0;
}

bool isReadOnly(const QString& path)
{
    mode_t mode = 0;
    return readFileMode(path, mode) && !(mode & S_IWUSR);
}

bool setReadOnly(const QString& path, bool readOnly)
{
    mode_t mode = 0;
    if (!readFileMode(path, mode))
        return false;
    const mode_t wanted = readOnly ? (mode & ~mode_t(S_IWUSR)) : (mode | S_IWUSR);
    return wanted == mode || writeFileMode(path, wanted);
}

bool isRegularFile(const QString& path)
{
    struct stat st { };
    const QByteArray name = QFile::encodeName(path);
    return !name.isEmpty() && stat(name.constData(), &st) == 0 && S_ISREG(st.st_mode);
}

int openKeepingAccessTime(const QByteArray& path, int flags)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOATIME | O_CLOEXEC | flags);
    if (fd >= 0 || errno != EPERM)
        return fd;
    return ::open(path.constData(), O_RDONLY | O_CLOEXEC | flags);
}

bool openRegularFile(QFile& file, const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty())
        return false;
    // Not even opened unless the name (or its link) leads to a regular file: opening a device can act on it.
    struct stat named { };
    if (stat(name.constData(), &named) != 0 || !S_ISREG(named.st_mode))
        return false;
    // O_NONBLOCK: should the name turn into a FIFO meanwhile, opening it would wait for a writer for good.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st { };
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size_t(qMin<qint64>(size, 1 << 20)));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        data += put;
        size -= put;
    }
    return true;
}

bool readRegularFile(const QString& path, qint64 maxBytes, QByteArray& out)
{
    out.clear();
    QFile file;
    if (!openRegularFile(file, path) || file.size() > maxBytes)
        return false;
    out = file.readAll();
    return out.size() == file.size();
}

void ignoreFileSizeSignal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

namespace {

// A path as the mount tables write it: blank, tab, newline and backslash as three octal digits after "\\".
QString unescapeMountPath(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        if (field.at(i) == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok && code > 0 && code < 256) {
                out.append(char(code));
                i += 3;
                continue;
            }
        }
        out.append(field.at(i));
    }
    return QDir::cleanPath(QFile::decodeName(out));
}

// The given whitespace-separated field of every line that is not blank or a comment.
QStringList mountField(const QString& table, int index)
{
    QStringList out;
    QFile file(table);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QByteArray text = line.trimmed();
        if (text.isEmpty() || text.startsWith('#'))
            continue;
        const QList<QByteArray> fields = text.simplified().split(' ');
        if (fields.size() > index)
            out << unescapeMountPath(fields.at(index));
    }
    return out;
}

bool atOrBelow(const QString& path, const QString& top)
{
    return path == top || path.startsWith(top + QLatin1Char('/'));
}

struct Mount {
    QString point;
    QByteArray type;
};

// The mounts of a mountinfo table: field 5 is the mount point, the type follows the "-" after the optional fields.
QVector<Mount> mountList(const QString& mountinfo)
{
    QVector<Mount> out;
    QFile file(mountinfo);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 5)
            continue;
        const int dash = fields.indexOf("-", 5);
        out.push_back({ unescapeMountPath(fields.at(4)),
            dash >= 0 && dash + 1 < fields.size() ? fields.at(dash + 1) : QByteArray() });
    }
    return out;
}

// A clean absolute path with the links of its existing part resolved: that part, and the whole path.
struct Resolved {
    QString existing;
    QString path;
};

Resolved resolve(const QString& clean)
{
    QString head = clean;
    QString rest;
    for (;;) {
        const QFileInfo fi(head);
        const QString real = fi.canonicalFilePath();
        if (!real.isEmpty() || fi.isRoot())
            return { real, rest.isEmpty() ? real : QDir::cleanPath(real + QLatin1Char('/') + rest) };
        rest = rest.isEmpty() ? fi.fileName() : fi.fileName() + QLatin1Char('/') + rest;
        head = fi.absolutePath();
    }
}

// Where the desktop mounts removable volumes and shares that the file-system table does not list.
const char* const kRemovablePlaces[] = { "/media", "/run/media", "/mnt" };

// File systems whose top folder holds one entry per share or automounted volume, there only while it answers.
bool listsShares(const QByteArray& type)
{
    return type == "autofs" || type.startsWith("fuse.gvfs");
}

} // namespace

bool onUnmountedVolume(const QString& folder, const QString& fstab, const QString& mountinfo)
{
    if (folder.isEmpty())
        return false;
    const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const Resolved real = resolve(clean);
    const QVector<Mount> mounts = mountList(mountinfo.isEmpty() ? QStringLiteral("/proc/self/mountinfo") : mountinfo);
    const auto mounted = [&mounts](const QString& point) {
        return std::any_of(mounts.begin(), mounts.end(), [&point](const Mount& m) { return m.point == point; });
    };
    const QString table = !fstab.isEmpty() ? fstab : qEnvironmentVariable("VORN_FSTAB", QStringLiteral("/etc/fstab"));
    for (const QString& point : mountField(table, 1)) {
        // The root is always there; "none" and swap areas are no folders.
        if (!point.startsWith(QLatin1Char('/')) || point == QLatin1String("/"))
            continue;
        if ((atOrBelow(clean, point) || atOrBelow(real.path, point)) && !mounted(point))
            return true;
    }
    for (const char* place : kRemovablePlaces) {
        const QString top = QLatin1String(place);
        if (real.path == top || !atOrBelow(real.path, top))
            continue;
        const bool volume = std::any_of(mounts.begin(), mounts.end(),
            [&](const Mount& m) { return atOrBelow(m.point, top) && atOrBelow(real.path, m.point); });
        if (!volume)
            return true;
    }
    // A share's folder missing from such a file system's top: the share is not connected.
    return real.path != real.existing && std::any_of(mounts.begin(), mounts.end(), [&real](const Mount& m) {
        return m.point == real.existing && listsShares(m.type);
    });
}

// Executables sit beside the running program, whatever VORN_PROGRAM_DIR says about data.
QString toolPath(const QString& tool)
{
    return pathJoin(QCoreApplication::applicationDirPath(), tool);
}

bool startTool(const QString& tool)
{
    return QProcess::startDetached(toolPath(tool), QStringList(), QCoreApplication::applicationDirPath());
}

} // namespace platform
