#include "sys/filecopier.h"

#include "sys/fileutil.h"
#include "sys/platform.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Bytes per kernel call: large enough to cost nothing, small enough to stop soon when cancelled.
const size_t copyChunk = 8 << 20;
const size_t compareChunk = 1 << 20;

bool unnamedFilesWork()
{
    static const bool procFd = ::access("/proc/self/fd", X_OK) == 0;
    return procFd;
}

QByteArray fdPath(int fd)
{
    return QByteArray("/proc/self/fd/") + QByteArray::number(fd);
}

qint64 nanoseconds(const struct timespec& t)
{
    return qint64(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

struct timespec timespecOf(qint64 ns)
{
    struct timespec t { };
    t.tv_sec = time_t(ns / 1000000000LL);
    t.tv_nsec = long(ns % 1000000000LL);
    return t;
}

void setWhy(QString* why, const QString& what)
{
    if (why)
        *why = what;
}

QString errnoText(const QString& what)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

// Removes what is at path only while it is still the file id names (a copy this process made).
void unlinkIf(const QString& path, const FileCopier::FileId& id)
{
    FileCopier::FileId now;
    if (FileCopier::fileId(path, now) && now == id)
        ::unlink(QFile::encodeName(path).constData());
}

ssize_t readFull(int fd, char* data, size_t size, off_t offset)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data + done, size - done, offset + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += size_t(n);
    }
    return ssize_t(done);
}

} // namespace

FileCopier::FileCopier()
    : m_tag(QCoreApplication::applicationName())
{
    if (m_tag.isEmpty() || m_tag.contains(QLatin1Char('/')))
        m_tag = QStringLiteral("vorn");
}

FileCopier::~FileCopier()
{
    discard();
}

bool FileCopier::fileId(const QString& path, FileId& id, bool* regular)
{
    struct stat st { };
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || ::stat(name.constData(), &st) != 0)
        return false;
    id = FileId(quint64(st.st_dev), quint64(st.st_ino));
    if (regular)
        *regular = S_ISREG(st.st_mode);
    return true;
}

bool FileCopier::exists(const QString& path)
{
    struct stat st { };
    const QByteArray name = QFile::encodeName(path);
    return !name.isEmpty() && ::lstat(name.constData(), &st) == 0;
}

bool FileCopier::openSource(const QString& path)
{
    if (m_src.isOpen())
        m_src.close();
    if (!platform::openRegularFile(m_src, path))
        return false;
    struct stat st { };
    if (::fstat(m_src.handle(), &st) != 0) {
        m_src.close();
        return false;
    }
    m_srcId = FileId(quint64(st.st_dev), quint64(st.st_ino));
    m_srcStamp = FileStamp::fromStat(st);
    m_size = st.st_size;
    m_mode = st.st_mode & 0777;
    m_srcModifiedNs = nanoseconds(st.st_mtim);
    m_srcAccessedNs = nanoseconds(st.st_atim);
    m_uid = st.st_uid;
    m_gid = st.st_gid;
    return true;
}

bool FileCopier::sourceUnchanged(const QString& path) const
{
    return FileStamp::of(path).sameContent(m_srcStamp);
}

namespace {

std::function<void(const QString&)>& sourceRemovalHook()
{
    static std::function<void(const QString&)> hook;
    return hook;
}

} // namespace

void FileCopier::beforeSourceRemoval(const QString& path)
{
    if (const auto& hook = sourceRemovalHook())
        hook(path);
}

void FileCopier::setSourceRemovalHook(std::function<void(const QString&)> hook)
{
    sourceRemovalHook() = std::move(hook);
}

bool FileCopier::openTemp(const QString& dir)
{
    discard();
    m_dir = dir;
    const QByteArray folder = QFile::encodeName(dir);
    if (unnamedFilesWork()) {
        m_dst = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (m_dst >= 0)
            return true;
        // Only a file system without unnamed files goes on to a named one.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_tempName = QString(".%1-%2-%3.tmp")
                         .arg(m_tag)
                         .arg(::getpid())
                         .arg(QRandomGenerator::global()->generate64(), 16, 16, QChar('0'));
        m_dst = ::open(QFile::encodeName(tempPath()).constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
        if (m_dst >= 0)
            return true;
        if (errno != EEXIST)
            break;
    }
    m_tempName.clear();
    return false;
}

QString FileCopier::tempPath() const
{
    return pathJoin(m_dir, m_tempName);
}

bool FileCopier::copyTo(const QString& dir, const std::atomic_bool* cancel)
{
    if (!m_src.isOpen() || !openTemp(dir))
        return false;
    bool ok = kernelCopy(cancel);
    struct stat st { };
    ok = ok && ::fstat(m_dst, &st) == 0;
    if (!ok) {
        discard();
        return false;
    }
    m_dstId = FileId(quint64(st.st_dev), quint64(st.st_ino));
    // As a plain copy does: the source's permission bits (a file system without them refuses, which is fine).
    ::fchmod(m_dst, mode_t(m_mode));
    return true;
}

bool FileCopier::kernelCopy(const std::atomic_bool* cancel)
{
    const int in = m_src.handle();
    if (::lseek(in, 0, SEEK_SET) != 0)
        return false;
    // Shared blocks: no data moves at all.
    if (::ioctl(m_dst, FICLONE, in) == 0) {
        m_method = Reflink;
        return true;
    }
    m_method = KernelCopy;
    qint64 copied = 0;
    std::vector<char> buffer;
    for (;;) {
        if (cancel && cancel->load())
            return false;
        ssize_t n = -1;
        if (m_method == KernelCopy) {
            n = ::copy_file_range(in, nullptr, m_dst, nullptr, copyChunk, 0);
            if (n < 0 && copied == 0 && (errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP || errno == ENOSYS)) {
                m_method = SendFile;
                continue;
            }
        } else if (m_method == SendFile) {
            n = ::sendfile(m_dst, in, nullptr, copyChunk);
            if (n < 0 && copied == 0 && (errno == EINVAL || errno == ENOSYS)) {
                m_method = ReadWrite;
                continue;
            }
        } else {
            buffer.resize(compareChunk);
            n = ::read(in, buffer.data(), buffer.size());
            if (n > 0 && !platform::writeAll(m_dst, buffer.data(), n))
                return false;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        copied += n;
    }
}

bool FileCopier::setModified(const QDateTime& modified)
{
    if (m_dst < 0)
        return false;
    FileTimes times;
    times.modified = modified;
    // The source's own time keeps its nanoseconds; any other is set to the millisecond.
    times.modifiedNs = m_srcModifiedNs;
    times.valid = true;
    // An unnamed file is reached through its descriptor's link.
    const QString path = m_tempName.isEmpty() ? QString::fromLatin1(fdPath(m_dst)) : tempPath();
    return platform::writeFileTimes(path, times);
}

bool FileCopier::keepSourceTimes()
{
    if (m_dst < 0)
        return false;
    const struct timespec times[2] = { timespecOf(m_srcAccessedNs), timespecOf(m_srcModifiedNs) };
    return ::futimens(m_dst, times) == 0;
}

bool FileCopier::keepSourceOwner()
{
    if (m_dst < 0 || ::fchown(m_dst, uid_t(m_uid), gid_t(m_gid)) != 0)
        return false;
    // A change of owner clears the set-id bits: the mode again.
    return ::fchmod(m_dst, mode_t(m_mode)) == 0;
}

bool FileCopier::verify(bool content)
{
    struct stat st { };
    if (m_dst < 0 || ::fstat(m_dst, &st) != 0 || st.st_size != m_size)
        return false;
    struct stat src { };
    if (::fstat(m_src.handle(), &src) != 0 || src.st_size != m_size)
        return false;
    if (!content)
        return true;
    std::vector<char> a(compareChunk), b(compareChunk);
    for (off_t offset = 0; offset < m_size;) {
        const ssize_t n = readFull(m_src.handle(), a.data(), a.size(), offset);
        if (n <= 0 || readFull(m_dst, b.data(), size_t(n), offset) != n || std::memcmp(a.data(), b.data(), size_t(n)))
            return false;
        offset += n;
    }
    return true;
}

bool FileCopier::syncData()
{
    return m_dst >= 0 && ::fsync(m_dst) == 0;
}

bool FileCopier::syncFolder()
{
    const int fd = ::open(QFile::encodeName(m_dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

FileCopier::Publish FileCopier::publish(const QString& target)
{
    if (m_dst < 0 || m_published)
        return PublishFailed;
    const QByteArray to = QFile::encodeName(target);
    if (m_tempName.isEmpty()) {
        // linkat fails on an existing name: nothing is ever replaced.
        if (::linkat(AT_FDCWD, fdPath(m_dst).constData(), AT_FDCWD, to.constData(), AT_SYMLINK_FOLLOW) != 0)
            return errno == EEXIST ? TargetExists : PublishFailed;
    } else {
        const QByteArray from = QFile::encodeName(tempPath());
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) != 0) {
            if (errno == EEXIST)
                return TargetExists;
            if (errno != EINVAL && errno != ENOSYS)
                return PublishFailed;
            // No exclusive rename here: a hard link fails on an existing name too.
            if (::link(from.constData(), to.constData()) == 0) {
                ::unlink(from.constData());
            } else if (errno == EEXIST) {
                return TargetExists;
            } else if (exists(target)) {
                return TargetExists;
            } else if (::rename(from.constData(), to.constData()) != 0) {
                // Neither: the check above is the best this file system allows.
                return PublishFailed;
            }
        }
        m_tempName.clear();
    }
    m_published = true;
    return Published;
}

void FileCopier::discard()
{
    if (m_dst >= 0) {
        ::close(m_dst);
        m_dst = -1;
    }
    if (!m_published && !m_tempName.isEmpty())
        ::unlink(QFile::encodeName(tempPath()).constData());
    m_tempName.clear();
    m_published = false;
    m_method = NoCopy;
}

namespace {

// Copies source beside target and names the copy target once checked. A copy that takes the place of its source
// (move) also takes its owner and times, is compared byte for byte and is on the disk before it is named.
FileCopier::Publish publishCopy(
    FileCopier& copier, const QString& source, const QString& target, bool move, bool content, QString* why)
{
    if (!copier.openSource(source)) {
        setWhy(why, errnoText(QStringLiteral("open")));
        return FileCopier::PublishFailed;
    }
    bool ok = copier.copyTo(ExtractFilePath(target));
    if (ok && move) {
        copier.keepSourceOwner();
        ok = copier.keepSourceTimes();
    }
    ok = ok && copier.verify(content || move) && (!move || copier.syncData());
    if (!ok) {
        setWhy(why, errnoText(QStringLiteral("copy")));
        return FileCopier::PublishFailed;
    }
    const FileCopier::Publish result = copier.publish(target);
    if (result == FileCopier::PublishFailed)
        setWhy(why, errnoText(QStringLiteral("publish")));
    return result;
}

} // namespace

FileCopier::Publish FileCopier::copyFile(const QString& source, const QString& target, bool content, QString* why)
{
    if (exists(target))
        return TargetExists;
    FileCopier copier;
    return publishCopy(copier, source, target, false, content, why);
}

namespace {

// A link moves as a new link to the same place (a relative one made absolute, so that it still points there).
FileCopier::Publish moveLink(const QByteArray& from, const QString& source, const QString& target, QString* why)
{
    QByteArray dest(PATH_MAX, '\0');
    const ssize_t n = ::readlink(from.constData(), dest.data(), size_t(dest.size()));
    if (n < 0 || n >= dest.size()) {
        setWhy(why, errnoText(QStringLiteral("readlink")));
        return FileCopier::PublishFailed;
    }
    dest.truncate(int(n));
    QString pointsTo = QFile::decodeName(dest);
    if (QDir::isRelativePath(pointsTo))
        pointsTo = QDir::cleanPath(pathJoin(QFileInfo(source).absolutePath(), pointsTo));
    const QByteArray to = QFile::encodeName(target);
    if (::symlink(QFile::encodeName(pointsTo).constData(), to.constData()) != 0) {
        if (errno == EEXIST)
            return FileCopier::TargetExists;
        setWhy(why, errnoText(QStringLiteral("symlink")));
        return FileCopier::PublishFailed;
    }
    if (::unlink(from.constData()) != 0) {
        setWhy(why, errnoText(QStringLiteral("unlink")));
        ::unlink(to.constData());
        return FileCopier::PublishFailed;
    }
    return FileCopier::Published;
}

// 0 renamed; else the errno of the last try (EXDEV: another file system).
int renameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // No exclusive rename on this file system: a hard link fails on an existing name too.
    if (::link(from.constData(), to.constData()) == 0) {
        if (::unlink(from.constData()) == 0)
            return 0;
        const int err = errno;
        ::unlink(to.constData());
        return err;
    }
    if (errno == EEXIST || errno == EXDEV)
        return errno;
    struct stat st { };
    if (::lstat(to.constData(), &st) == 0)
        return EEXIST;
    // Neither: the check above is the best this file system allows.
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

} // namespace

FileCopier::Publish FileCopier::moveFile(const QString& source, const QString& target, QString* why)
{
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(target);
    struct stat st { };
    if (from.isEmpty() || to.isEmpty() || ::lstat(from.constData(), &st) != 0) {
        setWhy(why, errnoText(QStringLiteral("stat")));
        return PublishFailed;
    }
    if (exists(target))
        return TargetExists;
    if (S_ISLNK(st.st_mode))
        return moveLink(from, source, target, why);
    const int err = renameNoReplace(from, to);
    if (err == 0)
        return Published;
    if (err == EEXIST)
        return TargetExists;
    if (err != EXDEV) {
        errno = err;
        setWhy(why, errnoText(QStringLiteral("rename")));
        return PublishFailed;
    }

    // Another file system: the source goes only once every byte of its copy is on the disk under the name.
    FileCopier copier;
    const Publish published = publishCopy(copier, source, target, true, true, why);
    if (published != Published)
        return published;
    const FileId copy = copier.copyId();
    // The source must still be the file copied, as it was copied: another program's save meanwhile stays.
    beforeSourceRemoval(source);
    if (!copier.syncFolder()) {
        setWhy(why, errnoText(QStringLiteral("sync")));
    } else if (!copier.sourceUnchanged(source)) {
        setWhy(why, QStringLiteral("move: the source changed while it was copied"));
    } else if (::unlink(from.constData()) != 0) {
        setWhy(why, errnoText(QStringLiteral("unlink")));
    } else {
        return Published;
    }
    unlinkIf(target, copy);
    copier.syncFolder();
    return PublishFailed;
}
