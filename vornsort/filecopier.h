#pragma once

#include <QFile>
#include <QPair>
#include <QString>

#include <atomic>

class QDateTime;

// Copies one file into a folder so that no half-written file ever shows under a final name. The bytes go through
// the kernel (a reflink where the file system shares blocks, else copy_file_range) into an unnamed temporary file in
// the target folder, or a hidden named one where the file system has no unnamed files; the copy takes its final
// name only through publish(), which never replaces an existing file. A copy that was not published is removed when
// the copier goes away, and an unnamed one vanishes by itself when the process is killed.
class FileCopier {
public:
    // Device and inode: the same file whatever the name or link it is reached through.
    using FileId = QPair<quint64, quint64>;
    enum Publish { Published, TargetExists, PublishFailed };
    enum Method { NoCopy, Reflink, KernelCopy, SendFile, ReadWrite };

    FileCopier();
    ~FileCopier();
    FileCopier(const FileCopier&) = delete;
    FileCopier& operator=(const FileCopier&) = delete;

    // The id of what is at path (links followed); false when nothing readable is there. regular, when given,
    // tells whether it is a regular file.
    static bool fileId(const QString& path, FileId& id, bool* regular = nullptr);
    // True when anything, a dangling link included, has the name.
    static bool exists(const QString& path);

    // Opens the source: a regular file only, without blocking on a FIFO behind the name.
    bool openSource(const QString& path);
    FileId sourceId() const { return m_srcId; }
    qint64 sourceSize() const { return m_size; }

    // Copies the open source into a new temporary file in dir; false on failure or when cancel gets set.
    bool copyTo(const QString& dir, const std::atomic_bool* cancel = nullptr);
    Method method() const { return m_method; }
    // Sets the copy's modified time; its access time stays. An invalid time changes nothing.
    bool setModified(const QDateTime& modified);
    // The copy has the source's size, and with content every byte of it.
    bool verify(bool content);
    // Writes the copy's data to the disk; after publish, its folder entry too.
    bool syncData();
    bool syncFolder();

    // Gives the copy its final name; TargetExists when anything is there already, which stays untouched.
    Publish publish(const QString& target);
    FileId copyId() const { return m_dstId; }
    // Removes a copy that was not published.
    void discard();

private:
    bool openTemp(const QString& dir);
    bool kernelCopy(const std::atomic_bool* cancel);
    QString tempPath() const;

    QFile m_src;
    FileId m_srcId;
    qint64 m_size = -1;
    qint64 m_srcModifiedNs = 0;
    unsigned int m_mode = 0;
    int m_dst = -1;
    FileId m_dstId;
    QString m_dir;
    QString m_tempName; // empty for an unnamed temporary file
    bool m_published = false;
    Method m_method = NoCopy;
};
