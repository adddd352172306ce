#pragma once

#include "sys/filecopier.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSet>
#include <QString>

#include <atomic>

class TidyCfg;

// One found photo: where its copy goes and with which times (the plan), and what became of it (the execution).
class FileTreeInfo {
public:
    FileTreeInfo();

    // Plans the file with the process's settings object, or with the given settings.
    void init(const QFileInfo& file);
    void init(const QFileInfo& file, const TidyCfg& cfg);
    // An entry the run leaves alone (a folder or file it does not take), with the reason its row shows.
    void skip(const QFileInfo& entry, const QString& reason, const TidyCfg& cfg);
    // Carries the plan out: 0 on success, -1 on a skip or failure, message set in every case. written holds the
    // files that this run has written into the record's folder (none of them is ever replaced) and takes the new
    // copy; cancel stops a copy part way, leaving nothing behind.
    int execute();
    int execute(const TidyCfg& cfg, QSet<FileCopier::FileId>* written, const std::atomic_bool* cancel = nullptr);

    // rel with "-N" added to its file name (a-1.jpg, a-2.jpg, ...): the first that names nothing below root.
    static QString uniqueName(const QString& root, const QString& rel);

    QString takeTimeStr() const;
    QString srcModTimeStr() const;
    QString srcCreateTimeStr() const;
    QString newModTimeStr() const;
    QString newCreateTimeStr() const;

    QString srcFile() const;
    QString dstFile() const;

    QString srcDir;
    QString fileName;
    QString dstRoot;
    QString dstRel;
    QDateTime takeTime;
    QDateTime srcModTime;
    QDateTime srcCreateTime;
    QDateTime newModTime;
    QDateTime newCreateTime;
    QString message;
    // Why the scan left the entry alone; empty for a found photo.
    QString skipReason;
    int status = 0;
    QFileInfo fileInfo;

private:
    // The date of a date source code: null for the date taken when there is none, and for an unknown code.
    QDateTime dateBySrc(int code) const;
    QString folderRule(const TidyCfg& cfg);
    QDateTime newTime(int code);
    QString skippedText() const;
};
