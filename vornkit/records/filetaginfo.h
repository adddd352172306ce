#pragma once

#include "sys/vornkit_global.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

class ExivTags;
class QDateTime;
class QFileInfo;

// One image file's [filetag] row in memory. Each tag set is held as a list and as its joined text;
// the setters keep the two in step.
class VORNKIT_EXPORT FileTagInfo {
public:
    FileTagInfo();

    // Appends the simplified tag; -1 when it is empty or already there (case-sensitive).
    int addTextTag(const QString& tag);
    // -1 when the index is out of range.
    int deleteRgb(int index);
    // Places the colour at pos (front for pos <= 0, appended past the end) once; returns its index.
    int updateRgb(uint rgb, int pos);
    // 0 when out of range.
    uint getRgb(int index) const;
    // File facts, embedded tags (else the hints) and hint tags of a file; always 0.
    int loadFromFile(const QFileInfo& fi, const QByteArray& bytes, const QImage& image);

    // A file time as stored: UTC "yyyy-MM-dd hh:mm:ss", so that a row means the same instant in every time zone.
    static QString fileTimeText(const QDateTime& time);
    // A stored file time shown in local time, same form; empty when it does not parse.
    static QString localTimeText(const QString& stored);
    // Size, creation time (birth, else modified) and modified time of the file, in their stored form.
    void setFileFacts(const QFileInfo& fi);
    // The row still describes the file: same size and same modified instant. The birth time takes no part, since
    // it cannot be set back on Linux (a backup restored with its times keeps the old modified time only).
    bool matchesFile(const QFileInfo& fi) const;
    // The one rule for a row's tags read from a photo: star and colours as they are, text tags split the way the
    // joined text is read back ("beach sunset" becomes "beach" and "sunset"), so that a row made from the file
    // and the same row read from the database after a restart hold the same tags. False, and nothing changes,
    // when the holder has no tags of ours.
    bool takeFileTags(const ExivTags& tags);
    // The text tags of a photo as a row holds them (the rule above).
    static QStringList fileTextTags(const QStringList& texts);

    // Takes over the user's star, colours and text tags of another row (a stale row whose file holds none).
    void takeUserTags(const FileTagInfo& other);

    qint64 getRowId() const { return rowId; }
    void setRowId(qint64 v) { rowId = v; }
    const QString& getPath() const { return path; }
    void setPath(const QString& v) { path = v; }
    const QString& getFile() const { return file; }
    void setFile(const QString& v) { file = v; }
    qint64 getFileSize() const { return fileSize; }
    void setFileSize(qint64 v) { fileSize = v; }
    const QString& getCreateTime() const { return createTime; }
    void setCreateTime(const QString& v) { createTime = v; }
    const QString& getModifyTime() const { return modifyTime; }
    void setModifyTime(const QString& v) { modifyTime = v; }
    int getImageWidth() const { return imageWidth; }
    void setImageWidth(int v) { imageWidth = v; }
    int getImageHeight() const { return imageHeight; }
    void setImageHeight(int v) { imageHeight = v; }
    int getStar() const { return star; }
    void setStar(int v) { star = v; }
    int getHintStar() const { return hintStar; }
    void setHintStar(int v) { hintStar = v; }

    const QString& getTextTags() const { return textTags; }
    void setTextTags(const QString& v);
    const QString& getRgbs() const { return rgbs; }
    void setRgbs(const QString& v);
    const QString& getHintTextTags() const { return hintTextTags; }
    void setHintTextTags(const QString& v);
    const QString& getHintRgbs() const { return hintRgbs; }
    void setHintRgbs(const QString& v);

    const QStringList& getTextTag() const { return textTag; }
    void setTextTag(const QStringList& v);
    const QList<uint>& getRgb() const { return rgb; }
    void setRgb(const QList<uint>& v);
    const QStringList& getHintTextTag() const { return hintTextTag; }
    void setHintTextTag(const QStringList& v);
    const QList<uint>& getHintRgb() const { return hintRgb; }
    void setHintRgb(const QList<uint>& v);

protected:
    // Tags embedded in the file's metadata; negative when none could be read.
    int loadTagsFromFile(const QByteArray& bytes);
    // Tags suggested from the pixels.
    int hintTagsFromFile(const QImage& image);

private:
    qint64 rowId = 0;
    QString path;
    QString file;
    qint64 fileSize = 0;
    QString createTime;
    QString modifyTime;
    int imageWidth = 0;
    int imageHeight = 0;
    int star = 0;
    QString textTags;
    QString rgbs;
    int hintStar = 0;
    QString hintTextTags;
    QString hintRgbs;
    QStringList textTag;
    QList<uint> rgb;
    QStringList hintTextTag;
    QList<uint> hintRgb;
};
