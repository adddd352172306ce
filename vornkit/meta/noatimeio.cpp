#include "meta/noatimeio.h"

#include "sys/platform.h"

#include <exiv2/error.hpp>

#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

NoAtimeIo::NoAtimeIo(const std::string& path)
    : m_path(path)
{
}

NoAtimeIo::~NoAtimeIo()
{
    close();
}

int NoAtimeIo::open()
{
    close();
    m_fd = platform::openKeepingAccessTime(QByteArray::fromStdString(m_path));
    m_pos = 0;
    m_eof = false;
    m_error = m_fd < 0 ? 1 : 0;
    return m_fd < 0 ? 1 : 0;
}

int NoAtimeIo::close()
{
    munmap();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_pos = 0;
    m_eof = false;
    return 0;
}

long NoAtimeIo::write(const Exiv2::byte*, long)
{
    m_error = 1;
    return 0;
}

long NoAtimeIo::write(Exiv2::BasicIo&)
{
    m_error = 1;
    return 0;
}

int NoAtimeIo::putb(Exiv2::byte)
{
    m_error = 1;
    return EOF;
}

Exiv2::DataBuf NoAtimeIo::read(long rcount)
{
    Exiv2::DataBuf buf(rcount > 0 ? rcount : 0);
    const long got = rcount > 0 ? read(buf.pData_, rcount) : 0;
    if (got < 0)
        throw Exiv2::Error(Exiv2::kerInputDataReadFailed);
    buf.size_ = got;
    return buf;
}

long NoAtimeIo::read(Exiv2::byte* buf, long rcount)
{
    if (m_fd < 0 || rcount < 0) {
        m_error = 1;
        return 0;
    }
    long done = 0;
    while (done < rcount) {
        const ssize_t n = ::pread(m_fd, buf + done, size_t(rcount - done), off_t(m_pos + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            m_error = 1;
            break;
        }
        if (n == 0) {
            m_eof = true;
            break;
        }
        done += long(n);
    }
    m_pos += done;
    return done;
}

int NoAtimeIo::getb()
{
    Exiv2::byte b = 0;
    return read(&b, 1) == 1 ? int(b) : EOF;
}

void NoAtimeIo::transfer(Exiv2::BasicIo&)
{
    throw Exiv2::Error(Exiv2::kerImageWriteFailed);
}

int NoAtimeIo::seek(long offset, Position pos)
{
    long base = 0;
    if (pos == cur)
        base = m_pos;
    else if (pos == end)
        base = long(size());
    if (m_fd < 0 || base + offset < 0)
        return 1;
    m_pos = base + offset;
    m_eof = false;
    return 0;
}

Exiv2::byte* NoAtimeIo::mmap(bool isWriteable)
{
    if (isWriteable || m_fd < 0)
        throw Exiv2::Error(Exiv2::kerCallFailed, m_path, "mmap", "read only");
    munmap();
    const size_t bytes = size();
    if (bytes == 0)
        return nullptr;
    void* map = ::mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE, m_fd, 0);
    if (map == MAP_FAILED)
        throw Exiv2::Error(Exiv2::kerCallFailed, m_path, "mmap", "failed");
    m_map = map;
    m_mapSize = bytes;
    return static_cast<Exiv2::byte*>(m_map);
}

int NoAtimeIo::munmap()
{
    if (m_map)
        ::munmap(m_map, m_mapSize);
    m_map = nullptr;
    m_mapSize = 0;
    return 0;
}

long NoAtimeIo::tell() const
{
    return m_pos;
}

size_t NoAtimeIo::size() const
{
    struct stat st { };
    if (m_fd >= 0 ? ::fstat(m_fd, &st) != 0 : ::stat(m_path.c_str(), &st) != 0)
        return size_t(-1);
    return size_t(st.st_size);
}

bool NoAtimeIo::isopen() const
{
    return m_fd >= 0;
}

int NoAtimeIo::error() const
{
    return m_error;
}

bool NoAtimeIo::eof() const
{
    return m_eof;
}

std::string NoAtimeIo::path() const
{
    return m_path;
}
