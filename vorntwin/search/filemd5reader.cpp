#include "search/filemd5reader.h"

#include "sys/platform.h"

namespace {

// Reads past the first block come in pieces this large; the digest is the same whatever the piece size.
const qint64 kRestPiece = qint64(1) << 20;

} // namespace

FileMd5Reader::FileMd5Reader()
    : m_hash(QCryptographicHash::Md5)
{
}

FileMd5Reader::~FileMd5Reader()
{
    m_file.close();
}

bool FileMd5Reader::open(const QString& path)
{
    m_file.close();
    if (!platform::openRegularFile(m_file, path))
        return false;
    m_buffer.fill('\0', kBlockSize);
    m_lastSize = 0;
    m_hash.reset();
    m_digest.clear();
    m_failed = false;
    m_atEnd = false;
    return true;
}

void FileMd5Reader::add(const char* data, qint64 size)
{
    m_hash.addData(data, int(size));
    m_digest = QString::fromLatin1(m_hash.result().toHex());
}

bool FileMd5Reader::readNext()
{
    qint64 n = m_file.isOpen() && m_buffer.size() == kBlockSize ? m_file.read(m_buffer.data(), kBlockSize) : 0;
    if (n < 0) {
        m_failed = true;
        n = 0;
    }
    m_lastSize = n;
    if (n == 0)
        m_atEnd = true;
    add(m_buffer.constData(), n);
    return true;
}

bool FileMd5Reader::readRest(const std::atomic_bool* cancel)
{
    if (m_failed || !m_file.isOpen())
        return false;
    QByteArray piece(int(kRestPiece), Qt::Uninitialized);
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return false;
        const qint64 n = m_file.read(piece.data(), kRestPiece);
        if (n < 0) {
            m_failed = true;
            return false;
        }
        if (n == 0)
            break;
        m_hash.addData(piece.constData(), int(n));
        m_lastSize = n;
    }
    m_atEnd = true;
    m_digest = QString::fromLatin1(m_hash.result().toHex());
    return true;
}

void FileMd5Reader::close()
{
    m_file.close();
    // Thousands of readers wait between their reads: none holds a buffer meanwhile.
    m_buffer = QByteArray();
}
