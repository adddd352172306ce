#include "sys/filereplacer.h"

#include "sys/platform.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <vector>

namespace {

const char kMark[] = ".vorn-";
const int kSuffix = 6; // the random part after the mark

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

QByteArray tempPrefix(const QByteArray& folder, const QByteArray& fileName)
{
    // Long names would pass the file system's limit with the prefix and suffix.
    const QByteArray base = fileName.size() > 200 ? QByteArray("vorntag") : fileName;
    return folder + "/." + base + kMark;
}

QByteArray randomSuffix()
{
    static const char chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray s(kSuffix, 'x');
    for (char& c : s)
        c = chars[QRandomGenerator::system()->bounded(int(sizeof(chars) - 1))];
    return s;
}

QString errnoText(const char* what)
{
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what), QString::fromLocal8Bit(strerror(errno)));
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

// Owner and group first (a change of owner clears set-id bits), then the attributes, the mode, the times.
bool keepFacts(const QByteArray& src, const struct stat& st, int fd, QString& why)
{
    struct stat own { };
    if (::fstat(fd, &own) != 0) {
        why = errnoText("fstat");
        return false;
    }
    if ((own.st_uid != st.st_uid || own.st_gid != st.st_gid) && ::fchown(fd, st.st_uid, st.st_gid) != 0) {
        why = errnoText("fchown");
        return false;
    }
    if (!copyAttributes(src, fd, why))
        return false;
    if (::fchmod(fd, st.st_mode & 07777) != 0) {
        why = errnoText("fchmod");
        return false;
    }
    const struct timespec times[2] = { st.st_atim, st.st_mtim };
    if (::futimens(fd, times) != 0) {
        why = errnoText("futimens");
        return false;
    }
    return true;
}

// Gives the unnamed file a temporary name beside the target; false when the file system or /proc cannot.
bool linkUnnamed(int fd, const QByteArray& prefix, QByteArray& name)
{
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QByteArray candidate = prefix + randomSuffix();
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

FileReplacer::Result replaceWith(const QByteArray& target, const struct stat& st, const QByteArray& content,
    bool unnamed, QString& why, bool& retryNamed)
{
    retryNamed = false;
    const QFileInfo info(QFile::decodeName(target));
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    const QByteArray prefix = tempPrefix(folder, QFile::encodeName(info.fileName()));
    TempHandle temp;
    if (unnamed) {
        temp.fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (temp.fd < 0) {
            retryNamed = errno != EACCES && errno != EPERM && errno != EROFS && errno != ENOSPC && errno != EDQUOT;
            why = errnoText("open O_TMPFILE");
            return FileReplacer::CannotWrite;
        }
    } else {
        QByteArray pattern = prefix + QByteArray(kSuffix, 'X');
        temp.fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (temp.fd < 0) {
            why = errnoText("mkostemp");
            return FileReplacer::CannotWrite;
        }
        temp.name = pattern;
    }
    // Held while the file is ours: a temporary that nobody holds is a leftover.
    ::flock(temp.fd, LOCK_EX);
    if (!platform::writeAll(temp.fd, content.constData(), content.size())) {
        why = errnoText("write");
        return FileReplacer::CannotWrite;
    }
    if (!keepFacts(target, st, temp.fd, why))
        return FileReplacer::CannotKeep;
    if (::fsync(temp.fd) != 0) {
        why = errnoText("fsync");
        return FileReplacer::CannotWrite;
    }
    if (unnamed && !linkUnnamed(temp.fd, prefix, temp.name)) {
        retryNamed = true;
        why = errnoText("linkat");
        return FileReplacer::CannotWrite;
    }
    if (::rename(temp.name.constData(), target.constData()) != 0) {
        why = errnoText("rename");
        return FileReplacer::CannotRename;
    }
    temp.name.clear();
    return FileReplacer::Replaced;
}

} // namespace

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
    // Writing the file itself would be refused: so is replacing it, even where the folder would let us.
    if (!mayWrite(target))
        return fail(NotAllowed, QStringLiteral("no permission to write the file"));
    removeStale(QFileInfo(target).absolutePath());
    bool retryNamed = false;
    Result r = replaceWith(path, st, content, true, cause, retryNamed);
    if (r != Replaced && retryNamed)
        r = replaceWith(path, st, content, false, cause, retryNamed);
    return r == Replaced ? r : fail(r, cause);
}

bool FileReplacer::isTemporaryName(const QString& name)
{
    const int markAt = name.size() - kSuffix - int(sizeof(kMark) - 1);
    return name.startsWith(QLatin1Char('.')) && markAt > 1 && name.midRef(markAt).startsWith(QLatin1String(kMark));
}

int FileReplacer::removeStale(const QString& folder)
{
    const QByteArray dirPath = QFile::encodeName(folder);
    DIR* dir = ::opendir(dirPath.constData());
    if (!dir)
        return 0;
    int removed = 0;
    struct timespec now { };
    ::clock_gettime(CLOCK_REALTIME, &now);
    while (const struct dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.' || !isTemporaryName(QFile::decodeName(entry->d_name)))
            continue;
        const int fd = ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st { };
        // A writer holds its temporary locked; only ours, only regular files, none just made.
        const bool stale = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()
            && (now.tv_sec - st.st_ctim.tv_sec) * 1000 + (now.tv_nsec - st.st_ctim.tv_nsec) / 1000000 >= staleAfterMs
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (stale && ::unlinkat(::dirfd(dir), entry->d_name, 0) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}
