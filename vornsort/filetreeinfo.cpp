#include "filetreeinfo.h"

#include "tidycfg.h"

#include "meta/exivutil.h"
#include "sys/datetimeutil.h"
#include "sys/fileutil.h"
#include "sys/platform.h"

#include <QDir>

namespace {

QString timeText(const QDateTime& dt)
{
    return dt.isValid() ? DateTimeToStr(dt) : QString();
}

// Folder levels of a formatted folder text: empty and "." levels dropped; null when a level climbs out ("..").
QString cleanFolder(const QString& folder)
{
    QStringList levels;
    for (const QString& level : folder.split('/', Qt::SkipEmptyParts)) {
        if (level == QLatin1String(".."))
            return QString();
        if (level != QLatin1String("."))
            levels << level;
    }
    return levels.join('/');
}

} // namespace

FileTreeInfo::FileTreeInfo() = default;

void FileTreeInfo::init(const QFileInfo& file)
{
    init(file, *TidyCfg::get());
}

void FileTreeInfo::init(const QFileInfo& file, const TidyCfg& cfg)
{
    message.clear();
    status = 1;
    fileInfo = file;
    srcDir = QDir::toNativeSeparators(fileInfo.absolutePath());
    fileName = fileInfo.fileName();
    dstRoot = cfg.DstPath;

    takeTime = ParsDateTimeStr(getPhotoTakeTime(QDir::toNativeSeparators(fileInfo.absoluteFilePath())));
    if (cfg.LimitDateRange) {
        if (!takeTime.isValid()) {
            message = QStringLiteral("文件中无拍摄时间");
            status = -1;
        } else {
            const QString d = takeTime.date().toString(QStringLiteral("yyyy-MM-dd"));
            if (d < cfg.StartDate || cfg.EndDate < d) {
                message = QStringLiteral("拍摄时间超过指定范围");
                status = -1;
            }
        }
    }

    srcModTime = fileInfo.lastModified();
    srcCreateTime = platform::createdTime(fileInfo);
    dstRel = QDir::toNativeSeparators(folderRule(cfg));
    newModTime = newTime(cfg.FileModTimeSrc);
    newCreateTime = newTime(cfg.FileCreateTimeSrc);
}

void FileTreeInfo::skip(const QFileInfo& entry, const QString& reason, const TidyCfg& cfg)
{
    fileInfo = entry;
    srcDir = QDir::toNativeSeparators(entry.absolutePath());
    fileName = entry.fileName();
    dstRoot = cfg.DstPath;
    skipReason = reason;
    message = skippedText();
    status = -1;
}

QString FileTreeInfo::skippedText() const
{
    return skipReason.isEmpty() ? QStringLiteral("跳过") : QStringLiteral("跳过：") + skipReason;
}

QDateTime FileTreeInfo::dateBySrc(int code) const
{
    switch (code) {
    case TidyCfg::TakeTime:
        return takeTime.isValid() ? takeTime : QDateTime();
    case TidyCfg::SrcModTime:
        return fileInfo.lastModified();
    case TidyCfg::SrcCreateTime:
        return platform::createdTime(fileInfo);
    case TidyCfg::NowTime:
        return QDateTime::currentDateTime();
    default:
        return QDateTime();
    }
}

QString FileTreeInfo::folderRule(const TidyCfg& cfg)
{
    const QDateTime dt = dateBySrc(cfg.PathRuleTimeSrc);
    if (cfg.PathRuleTimeSrc == TidyCfg::TakeTime && !dt.isValid()) {
        status = -1;
        return QString();
    }
    // Any format works; only a date that cannot be had, an empty folder text or one that climbs out of the
    // target folder fails.
    const QString folder = dt.isValid() ? cleanFolder(dt.toString(cfg.PathRuleTimeStr)) : QString();
    if (folder.isEmpty()) {
        message = QStringLiteral("生成目录层级失败");
        status = -1;
        return QString();
    }
    return pathJoin(folder, fileInfo.fileName());
}

QDateTime FileTreeInfo::newTime(int code)
{
    const QDateTime dt = dateBySrc(code);
    if (code == TidyCfg::TakeTime && !dt.isValid())
        status = -1;
    return dt;
}

QString FileTreeInfo::uniqueName(const QString& root, const QString& rel)
{
    const int slash = rel.lastIndexOf('/');
    const QString folder = rel.left(slash + 1);
    const QString name = rel.mid(slash + 1);
    const int dot = name.lastIndexOf('.');
    for (int n = 1;; ++n) {
        const QString tag = QStringLiteral("-%1").arg(n);
        const QString candidate = folder + (dot < 1 ? name + tag : name.left(dot) + tag + name.mid(dot));
        if (!FileCopier::exists(pathJoin(root, candidate)))
            return candidate;
    }
}

QString FileTreeInfo::srcFile() const
{
    return pathJoin(srcDir, fileName);
}

QString FileTreeInfo::dstFile() const
{
    return pathJoin(dstRoot, dstRel);
}

int FileTreeInfo::execute()
{
    QSet<FileCopier::FileId> written;
    return execute(*TidyCfg::get(), &written);
}

int FileTreeInfo::execute(const TidyCfg& cfg, QSet<FileCopier::FileId>* written, const std::atomic_bool* cancel)
{
    if (status != 1) {
        message = skippedText();
        return -1;
    }
    QString target = dstFile();
    const QString folder = ExtractFilePath(target);
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) {
        message = QStringLiteral("创建目录失败");
        return -1;
    }
    FileCopier copier;
    if (!copier.openSource(srcFile())) {
        message = QStringLiteral("复制源文件失败");
        return -1;
    }

    // The copy is made, timed and checked under a temporary name before anything at the target is touched.
    bool copied = false;
    bool timesSet = false;
    bool published = false;
    for (int attempt = 0; attempt < 100 && !published; ++attempt) {
        bool replace = false;
        if (FileCopier::exists(target)) {
            FileCopier::FileId id;
            bool regular = false;
            const bool known = FileCopier::fileId(target, id, &regular);
            // The photo is there already: the source itself, or a link to it.
            if (known && id == copier.sourceId()) {
                message = QStringLiteral("跳过");
                return -1;
            }
            int option = cfg.FileExistsOpt;
            // Never replace what this run wrote, nor anything but a file.
            if (option == TidyCfg::ExistsReplace && (!known || !regular || (written && written->contains(id))))
                option = TidyCfg::ExistsRename;
            if (option == TidyCfg::ExistsSkip) {
                message = QStringLiteral("跳过");
                return -1;
            } else if (option == TidyCfg::ExistsRename) {
                dstRel = QDir::toNativeSeparators(uniqueName(dstRoot, QDir::fromNativeSeparators(dstRel)));
                target = dstFile();
            } else if (option == TidyCfg::ExistsReplace) {
                replace = true;
            } else {
                message = QStringLiteral("复制源文件失败");
                return -1;
            }
        }
        if (!copied) {
            if (!copier.copyTo(folder, cancel)) {
                message = QStringLiteral("复制源文件失败");
                return -1;
            }
            // The birth time cannot be set; the modified time can.
            timesSet = copier.setModified(newModTime);
            // The source goes only when every byte arrived, and only once the copy is on the disk.
            if (!copier.verify(!cfg.KeepSrcFile) || (!cfg.KeepSrcFile && !copier.syncData())) {
                copier.discard();
                message = QStringLiteral("复制源文件失败");
                return -1;
            }
            copied = true;
        }
        if (replace && !moveToTrash(target)) {
            message = QStringLiteral("移动文件到回收站失败");
            return -1;
        }
        const FileCopier::Publish result = copier.publish(target);
        if (result == FileCopier::PublishFailed) {
            message = QStringLiteral("复制源文件失败");
            return -1;
        }
        // TargetExists: something took the name meanwhile; decide again.
        published = result == FileCopier::Published;
    }
    if (!published) {
        message = QStringLiteral("复制源文件失败");
        return -1;
    }
    if (written)
        written->insert(copier.copyId());
    message = QStringLiteral("复制源文件成功");
    if (!timesSet) {
        message = QStringLiteral("设置文件创建和修改时间失败");
        return -1;
    }
    if (!cfg.KeepSrcFile) {
        // Another program saved the source after it was copied: the source keeps that save.
        FileCopier::beforeSourceRemoval(srcFile());
        if (!copier.sourceUnchanged(srcFile())) {
            message = QStringLiteral("源文件在复制后被修改，未删除");
            return -1;
        }
        if (!copier.syncFolder() || !QFile::remove(srcFile())) {
            message = QStringLiteral("删除源文件失败");
            return -1;
        }
        message = QStringLiteral("删除源文件成功");
    }
    return 0;
}

QString FileTreeInfo::takeTimeStr() const
{
    return timeText(takeTime);
}

QString FileTreeInfo::srcModTimeStr() const
{
    return timeText(srcModTime);
}

QString FileTreeInfo::srcCreateTimeStr() const
{
    return timeText(srcCreateTime);
}

QString FileTreeInfo::newModTimeStr() const
{
    return timeText(newModTime);
}

QString FileTreeInfo::newCreateTimeStr() const
{
    return timeText(newCreateTime);
}
