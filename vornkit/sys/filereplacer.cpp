#include "sys/filereplacer.h"

#include "sys/platform.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QSet>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <limits>
#include <vector>

namespace {

const char kMark[] = ".vornw-";
const int kHashDigits = 8; // hash of the file's name
const int kRandomDigits = 8;
const int kMaxBase = 200; // bytes of the file's name kept in the temporary's name

// Closes on every path out; removes the named temporary unless it was renamed over the target.
class TempHandle {
public:
    ~TempHandle()
    {
        if (!name.isEmpty())
            ::unlink(name.constData());
        if (fd >= 0)
            ::close(fd);
    }
    int fd = -1;
    QByteArray name; // set while a named temporary exists
};

quint32 nameHash(const QByteArray& name)
{
    quint32 h = 2166136261u;
    for (char c : name) {
        h ^= quint8(c);
        h *= 16777619u;
    }
    return h;
}

QByteArray hex(quint32 value)
{
    return QByteArray::number(value, 16).rightJustified(8, '0');
}

// The file's name, cut at a character boundary where it would pass the file system's limit with the mark.
QByteArray baseOf(const QByteArray& fileName)
{
    if (fileName.size() <= kMaxBase)
        return fileName;
    int cut = kMaxBase;
    while (cut > 0 && (quint8(fileName.at(cut)) & 0xC0) == 0x80)
        --cut;
    return fileName.left(cut);
}

bool isHexDigits(const char* s, int n)
{
    for (int i = 0; i < n; ++i) {
        if (!((s[i] >= '0' && s[i] <= '9') || (s[i] >= 'a' && s[i] <= 'f')))
            return false;
    }
    return true;
}

// ".<base>.vornw-<hash><random>": the base and the hash of the full name it was made for.
bool parseTemporary(const QByteArray& name, QByteArray& base, quint32& hash)
{
    const int markSize = int(sizeof(kMark) - 1);
    const int markAt = name.size() - kHashDigits - kRandomDigits - markSize;
    if (markAt < 2 || name.at(0) != '.' || !name.mid(markAt, markSize).startsWith(kMark)
        || !isHexDigits(name.constData() + markAt + markSize, kHashDigits + kRandomDigits))
        return false;
    base = name.mid(1, markAt - 1);
    hash = name.mid(markAt + markSize, kHashDigits).toUInt(nullptr, 16);
    return true;
}

QByteArray randomPart()
{
    return hex(QRandomGenerator::system()->generate());
}

QString errnoText(const char* what)
{
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what), QString::fromLocal8Bit(strerror(errno)));
}

FileReplacer::Snapshot fromStat(const struct stat& st)
{
    FileReplacer::Snapshot s;
    s.stamp = FileStamp::fromStat(st);
    s.modifiedSec = qint64(st.st_mtim.tv_sec);
    s.modifiedNsec = st.st_mtim.tv_nsec;
    s.accessedSec = qint64(st.st_atim.tv_sec);
    s.accessedNsec = st.st_atim.tv_nsec;
    s.owner = st.st_uid;
    s.group = st.st_gid;
    s.mode = st.st_mode & 07777;
    return s;
}

// Every extended attribute of src (the access control list is one: system.posix_acl_access) onto fd.
bool copyAttributes(const QByteArray& src, int fd, QString& why)
{
    ssize_t size = ::listxattr(src.constData(), nullptr, 0);
    if (size < 0) {
        if (errno == ENOTSUP)
            return true;
        why = errnoText("listxattr");
        return false;
    }
    std::vector<char> names(size_t(size) + 1);
    size = ::listxattr(src.constData(), names.data(), names.size());
    if (size < 0) {
        why = errnoText("listxattr");
        return false;
    }
    for (ssize_t at = 0; at < size; at += ssize_t(strlen(names.data() + at)) + 1) {
        const char* name = names.data() + at;
        if (!*name)
            continue;
        const ssize_t valueSize = ::getxattr(src.constData(), name, nullptr, 0);
        std::vector<char> value(size_t(qMax<ssize_t>(valueSize, 0)) + 1);
        const ssize_t got = valueSize < 0 ? -1 : ::getxattr(src.constData(), name, value.data(), value.size());
        if (got < 0) {
            why = errnoText("getxattr") + " " + QString::fromLocal8Bit(name);
            return false;
        }
        if (::fsetxattr(fd, name, value.data(), size_t(got), 0) == 0)
            continue;
        // A security label the system gave the new file itself may already be the same.
        std::vector<char> own(size_t(got) + 1);
        if (strncmp(name, "security.", 9) == 0 && ::fgetxattr(fd, name, own.data(), own.size()) == got
            && memcmp(own.data(), value.data(), size_t(got)) == 0)
            continue;
        why = errnoText("fsetxattr") + " " + QString::fromLocal8Bit(name);
        return false;
    }
    return true;
}

// Owner and group first (a change of owner clears set-id bits), then the attributes, the mode, the times as they
// were before the file was read.
bool keepFacts(const QByteArray& src, const FileReplacer::Snapshot& facts, int fd, QString& why)
{
    struct stat own { };
    if (::fstat(fd, &own) != 0) {
        why = errnoText("fstat");
        return false;
    }
    if ((own.st_uid != facts.owner || own.st_gid != facts.group) && ::fchown(fd, facts.owner, facts.group) != 0) {
        why = errnoText("fchown");
        return false;
    }
    if (!copyAttributes(src, fd, why))
        return false;
    if (::fchmod(fd, facts.mode) != 0) {
        why = errnoText("fchmod");
        return false;
    }
    struct timespec times[2] {};
    times[0].tv_sec = time_t(facts.accessedSec);
    times[0].tv_nsec = facts.accessedNsec;
    times[1].tv_sec = time_t(facts.modifiedSec);
    times[1].tv_nsec = facts.modifiedNsec;
    if (::futimens(fd, times) != 0) {
        why = errnoText("futimens");
        return false;
    }
    return true;
}

// Gives the unnamed file a temporary name beside the target; false when the file system or /proc cannot.
bool linkUnnamed(int fd, const QByteArray& folder, const QByteArray& fileName, QByteArray& name)
{
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QByteArray candidate = folder + '/' + FileReplacer::temporaryName(fileName, randomPart());
        if (::linkat(AT_FDCWD, proc.constData(), AT_FDCWD, candidate.constData(), AT_SYMLINK_FOLLOW) == 0
            || ::linkat(fd, "", AT_FDCWD, candidate.constData(), AT_EMPTY_PATH) == 0) {
            name = candidate;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool sameContent(const struct stat& st, const FileReplacer::Snapshot& s)
{
    return FileStamp::fromStat(st).sameContent(s.stamp);
}

// Puts the finished temporary in the target's place, but only over the file that was read. Where the file system
// can swap two names at once, the swap itself tells what was replaced: another save that landed in the instant
// after the last check goes back under its name.
FileReplacer::Result commit(
    TempHandle& temp, const QByteArray& target, const FileReplacer::Snapshot& read, QString& why)
{
    struct stat now { };
    if (::stat(target.constData(), &now) != 0 || !fromStat(now).sameAs(read)) {
        why = QStringLiteral("changed by another program while the tags were written");
        return FileReplacer::Changed;
    }
    if (::renameat2(AT_FDCWD, temp.name.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) != 0) {
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            why = errnoText("rename");
            return FileReplacer::CannotRename;
        }
        if (::rename(temp.name.constData(), target.constData()) != 0) {
            why = errnoText("rename");
            return FileReplacer::CannotRename;
        }
        temp.name.clear();
        return FileReplacer::Replaced;
    }
    // The exchange moves the change time of both; the rest tells the file that was read.
    struct stat out { };
    if (::lstat(temp.name.constData(), &out) == 0 && sameContent(out, read)) {
        ::unlink(temp.name.constData());
        temp.name.clear();
        return FileReplacer::Replaced;
    }
    why = QStringLiteral("changed by another program while the tags were written");
    struct stat ours { };
    ::fstat(temp.fd, &ours);
    if (::renameat2(AT_FDCWD, temp.name.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0) {
        struct stat back { };
        if (::lstat(temp.name.constData(), &back) == 0 && back.st_dev == ours.st_dev && back.st_ino == ours.st_ino)
            return FileReplacer::Changed; // ours is removed with the handle
        // A still newer save replaced ours meanwhile: it goes over the one it replaced.
    }
    // What the name holds is not ours: never removed, put back under the photo's name.
    ::rename(temp.name.constData(), target.constData());
    temp.name.clear();
    return FileReplacer::Changed;
}

FileReplacer::Result replaceWith(const QByteArray& target, const FileReplacer::Snapshot& read,
    const QByteArray& content, bool unnamed, QString& why, bool& retryNamed)
{
    retryNamed = false;
    const QFileInfo info(QFile::decodeName(target));
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    const QByteArray fileName = QFile::encodeName(info.fileName());
    TempHandle temp;
    if (unnamed) {
        temp.fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (temp.fd < 0) {
            retryNamed = errno != EACCES && errno != EPERM && errno != EROFS && errno != ENOSPC && errno != EDQUOT;
            why = errnoText("open O_TMPFILE");
            return FileReplacer::CannotWrite;
        }
    } else {
        for (int attempt = 0; attempt < 16 && temp.fd < 0; ++attempt) {
            const QByteArray candidate = folder + '/' + FileReplacer::temporaryName(fileName, randomPart());
            temp.fd = ::open(candidate.constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
            if (temp.fd >= 0)
                temp.name = candidate;
            else if (errno != EEXIST)
                break;
        }
        if (temp.fd < 0) {
            why = errnoText("open");
            return FileReplacer::CannotWrite;
        }
    }
    // Held while the file is ours: a temporary that nobody holds is a leftover.
    ::flock(temp.fd, LOCK_EX);
    if (!platform::writeAll(temp.fd, content.constData(), content.size())) {
        why = errnoText("write");
        return FileReplacer::CannotWrite;
    }
    if (!keepFacts(target, read, temp.fd, why))
        return FileReplacer::CannotKeep;
    if (::fsync(temp.fd) != 0) {
        why = errnoText("fsync");
        return FileReplacer::CannotWrite;
    }
    if (unnamed && !linkUnnamed(temp.fd, folder, fileName, temp.name)) {
        retryNamed = true;
        why = errnoText("linkat");
        return FileReplacer::CannotWrite;
    }
    return commit(temp, target, read, why);
}

// A replace looks for leftovers once per folder and process: only a write killed in an instant leaves one.
bool firstVisit(const QString& folder)
{
    static QMutex mutex;
    static QSet<QString> visited;
    QMutexLocker lock(&mutex);
    if (visited.contains(folder))
        return false;
    visited.insert(folder);
    return true;
}

} // namespace

bool FileReplacer::Snapshot::sameAs(const Snapshot& other) const
{
    return stamp == other.stamp;
}

FileReplacer::Snapshot FileReplacer::snapshotOf(const QString& target)
{
    const QByteArray path = QFile::encodeName(target);
    struct stat st { };
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0)
        return Snapshot();
    return fromStat(st);
}

FileReplacer::Result FileReplacer::read(
    const QString& target, qint64 maxBytes, QByteArray& content, Snapshot& snapshot, QString* why)
{
    content.clear();
    snapshot = Snapshot();
    const auto fail = [&](Result r, const QString& text) {
        if (why)
            *why = text;
        content.clear();
        return r;
    };
    const QByteArray path = QFile::encodeName(target);
    struct stat named { };
    // Not even opened unless it is a regular file: opening a device can act on it.
    if (path.isEmpty() || ::stat(path.constData(), &named) != 0 || !S_ISREG(named.st_mode))
        return fail(Missing, QStringLiteral("not a regular file"));
    const int fd = platform::openKeepingAccessTime(path, O_NONBLOCK);
    if (fd < 0)
        return fail(CannotRead, errnoText("open"));
    for (int attempt = 0; attempt < 3; ++attempt) {
        struct stat before { };
        if (::fstat(fd, &before) != 0 || !S_ISREG(before.st_mode)) {
            ::close(fd);
            return fail(Missing, QStringLiteral("not a regular file"));
        }
        if (before.st_size > maxBytes || before.st_size > std::numeric_limits<int>::max() - 1) {
            ::close(fd);
            return fail(CannotRead, QStringLiteral("too large"));
        }
        content.resize(int(before.st_size));
        qint64 done = 0;
        while (done < content.size()) {
            const ssize_t n = ::pread(fd, content.data() + done, size_t(content.size() - done), off_t(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += n;
        }
        struct stat after { };
        if (::fstat(fd, &after) != 0) {
            ::close(fd);
            return fail(CannotRead, errnoText("fstat"));
        }
        const Snapshot first = fromStat(before);
        if (done == content.size() && fromStat(after).sameAs(first)) {
            ::close(fd);
            snapshot = first;
            return Ok;
        }
    }
    ::close(fd);
    return fail(Changed, QStringLiteral("kept changing while it was read"));
}

bool FileReplacer::mayWrite(const QString& target)
{
    const QByteArray path = QFile::encodeName(target);
    struct stat st { };
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0)
        return false;
    return ::faccessat(AT_FDCWD, path.constData(), W_OK, AT_EACCESS) == 0 || st.st_uid == ::geteuid();
}

FileReplacer::Result FileReplacer::replace(const QString& target, const QByteArray& content, QString* why)
{
    return replace(target, content, snapshotOf(target), why);
}

FileReplacer::Result FileReplacer::replace(
    const QString& target, const QByteArray& content, const Snapshot& read, QString* why)
{
    QString cause;
    const auto fail = [&](Result r, const QString& text) {
        if (why)
            *why = text;
        return r;
    };
    const QByteArray path = QFile::encodeName(target);
    struct stat st { };
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return fail(Missing, QStringLiteral("not a regular file"));
    if (!fromStat(st).sameAs(read))
        return fail(Changed, QStringLiteral("changed by another program since it was read"));
    // Writing the file itself would be refused: so is replacing it, even where the folder would let us.
    if (!mayWrite(target))
        return fail(NotAllowed, QStringLiteral("no permission to write the file"));
    const QString folder = QFileInfo(target).absolutePath();
    if (firstVisit(folder))
        removeStale(folder);
    bool retryNamed = false;
    Result r = replaceWith(path, read, content, true, cause, retryNamed);
    if (r != Replaced && retryNamed)
        r = replaceWith(path, read, content, false, cause, retryNamed);
    return r == Replaced ? r : fail(r, cause);
}

QByteArray FileReplacer::temporaryName(const QByteArray& fileName, const QByteArray& random)
{
    return '.' + baseOf(fileName) + kMark + hex(nameHash(fileName)) + random;
}

bool FileReplacer::isTemporaryName(const QString& name)
{
    QByteArray base;
    quint32 hash = 0;
    return parseTemporary(QFile::encodeName(name), base, hash);
}

int FileReplacer::removeStale(const QString& folder)
{
    const QByteArray dirPath = QFile::encodeName(folder);
    DIR* dir = ::opendir(dirPath.constData());
    if (!dir)
        return 0;
    QSet<QByteArray> names;
    QList<QByteArray> candidates;
    while (const struct dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        names.insert(name);
        QByteArray base;
        quint32 hash = 0;
        if (parseTemporary(name, base, hash))
            candidates.append(name);
    }
    const int dfd = ::dirfd(dir);
    struct timespec now { };
    ::clock_gettime(CLOCK_REALTIME, &now);
    int removed = 0;
    for (const QByteArray& name : candidates) {
        QByteArray base;
        quint32 hash = 0;
        parseTemporary(name, base, hash);
        // The file it was made for is beside it: by its whole name, or the one a cut name starts.
        QByteArray photo;
        if (names.contains(base) && nameHash(base) == hash) {
            photo = base;
        } else {
            for (const QByteArray& other : names) {
                if (other.size() > base.size() && other.startsWith(base) && other != name && nameHash(other) == hash
                    && baseOf(other) == base) {
                    photo = other;
                    break;
                }
            }
        }
        struct stat photoSt { };
        if (photo.isEmpty() || ::fstatat(dfd, photo.constData(), &photoSt, 0) != 0 || !S_ISREG(photoSt.st_mode))
            continue;
        const int fd = ::openat(dfd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st { };
        // Only this user's, only regular files with no other name, none just made, none a writer holds.
        const bool stale = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_nlink == 1
            && (now.tv_sec - st.st_ctim.tv_sec) * 1000 + (now.tv_nsec - st.st_ctim.tv_nsec) / 1000000 >= staleAfterMs
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        struct stat named { };
        // Still the same file under that name.
        if (stale && ::fstatat(dfd, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == st.st_ino
            && named.st_dev == st.st_dev && ::unlinkat(dfd, name.constData(), 0) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}
