#pragma once

#include "sys/filestamp.h"
#include "sys/vornkit_global.h"

#include <QFile>
#include <QPair>
#include <QString>

#include <atomic>
#include <functional>

class QDateTime;

// Copies one file into a folder so that no half-written file ever shows under a final name. The bytes go through
// the kernel (a reflink where the file system shares blocks, else copy_file_range) into an unnamed temporary file in
// the target folder, or a hidden named one where the file system has no unnamed files; the copy takes its final
// name only through publish(), which never replaces an existing file. A copy that was not published is removed when
// the copier goes away, and an unnamed one vanishes by itself when the process is killed.
class VORNKIT_EXPORT FileCopier {
public:
    // Device and inode: the same file whatever the name or link it is reached through.
    using FileId = QPair<quint64, quint64>;
    enum Publish { Published, TargetExists, PublishFailed };
    enum Method { NoCopy, Reflink, KernelCopy, SendFile, ReadWrite };

    // A hidden temporary is named ".<program>-<pid>-<random>.tmp" after the running program.
    FileCopier();
    ~FileCopier();
    FileCopier(const FileCopier&) = delete;
    FileCopier& operator=(const FileCopier&) = delete;

    // The id of what is at path (links followed); false when nothing readable is there. regular, when given,
    // tells whether it is a regular file.
    static bool fileId(const QString& path, FileId& id, bool* regular = nullptr);
    // True when anything, a dangling link included, has the name.
    static bool exists(const QString& path);

    // A checked copy of source under the new name target (the file's mode kept): made beside it under no name,
    // its size checked (with content, every byte), then named. Never replaces anything at target.
    static Publish copyFile(const QString& source, const QString& target, bool content, QString* why = nullptr);
    // Moves source to the new name target, never replacing anything there: a rename within one file system;
    // across file systems a checked copy (every byte compared, times and owner kept, on the disk before it is
    // named) takes the name, and only then does the source go. A link moves as a link to what it points at. Any
    // failure leaves the source as it was and nothing at target. why names the cause of a failure.
    static Publish moveFile(const QString& source, const QString& target, QString* why = nullptr);

    // Opens the source: a regular file only, without blocking on a FIFO behind the name.
    bool openSource(const QString& path);
    FileId sourceId() const { return m_srcId; }
    // What is at path is still the source as it was opened: the same file with the same size and modified time.
    // A save by another program since then (in place or under the name) makes it false.
    bool sourceUnchanged(const QString& path) const;
    // Runs the hook set for tests, if any: a source whose checked copy has its name is about to go (a move across
    // file systems, the tidier's removal), and is checked with sourceUnchanged just after.
    static void beforeSourceRemoval(const QString& path);
    // For tests: a function run at that moment with the source's path, so that a test can change the source then.
    // Set it only while no copy runs; an empty one removes it.
    static void setSourceRemovalHook(std::function<void(const QString&)> hook);
    qint64 sourceSize() const { return m_size; }

    // Copies the open source into a new temporary file in dir; false on failure or when cancel gets set.
    bool copyTo(const QString& dir, const std::atomic_bool* cancel = nullptr);
    Method method() const { return m_method; }
    // Sets the copy's modified time; its access time stays. An invalid time changes nothing.
    bool setModified(const QDateTime& modified);
    // Gives the copy the source's access and modified times, to the nanosecond.
    bool keepSourceTimes();
    // Gives the copy the source's owner and group, where the user may.
    bool keepSourceOwner();
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
    FileStamp m_srcStamp;
    qint64 m_size = -1;
    qint64 m_srcModifiedNs = 0;
    qint64 m_srcAccessedNs = 0;
    unsigned int m_mode = 0;
    unsigned int m_uid = 0;
    unsigned int m_gid = 0;
    int m_dst = -1;
    FileId m_dstId;
    QString m_dir;
    QString m_tag;
    QString m_tempName; // empty for an unnamed temporary file
    bool m_published = false;
    Method m_method = NoCopy;
};
