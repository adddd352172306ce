#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QString>

#include <atomic>

// A file's running MD5: block by block (2048 bytes) or the rest at once in large reads.
class FileMd5Reader {
public:
    static constexpr int kBlockSize = 2048;

    FileMd5Reader();
    ~FileMd5Reader();
    FileMd5Reader(const FileMd5Reader&) = delete;
    FileMd5Reader& operator=(const FileMd5Reader&) = delete;

    // Opens a regular file from its start; false changes nothing else.
    bool open(const QString& path);
    // Reads the next block into the digest; a failed read counts as the end and marks the reader failed.
    bool readNext();
    // Reads to the end in large pieces; false on a read error or when cancelled.
    bool readRest(const std::atomic_bool* cancel = nullptr);
    void close();

    qint64 lastBlockSize() const { return m_lastSize; }
    QString digest() const { return m_digest; }
    bool failed() const { return m_failed; }
    bool atEnd() const { return m_atEnd; }

private:
    void add(const char* data, qint64 size);

    QFile m_file;
    QByteArray m_buffer;
    qint64 m_lastSize = 0;
    QCryptographicHash m_hash;
    QString m_digest;
    bool m_failed = false;
    bool m_atEnd = false;
};
