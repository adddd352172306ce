#include "filecopier.h"

#include "sys/fileutil.h"
#include "sys/platform.h"

#include <QDateTime>
#include <QRandomGenerator>

#include <cerrno>
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

FileCopier::FileCopier() = default;

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
    m_size = st.st_size;
    m_mode = st.st_mode & 0777;
    m_srcModifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return true;
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
        m_tempName = QString(".vornsort-%1-%2.tmp")
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
