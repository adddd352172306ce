#pragma once

#include "sys/filereplacer.h"
#include "sys/vornkit_global.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace Exiv2 {
class Image;
}

// The suite's own tags inside an image file: a JSON document with the star, the colour
// tags and the text tags, kept in "Exif.Photo.UserComment" and "Exif.Image.XPComment".
// A write never touches the photo in place: it goes into a copy beside it, which replaces
// the photo only when the whole write succeeded.
class VORNKIT_EXPORT ExivTags {
public:
    enum Result {
        Ok = 0,
        FileMissing = -1, // also: no image open, nothing valid to load
        NoImage = -2, // also: the data hold neither comment
        OpenFailed = -101,
        WriteFailed = -102,
        Changed = -103, // another program saved the file meanwhile: left as that program saved it
    };

    ExivTags();
    ~ExivTags();
    ExivTags(const ExivTags&) = delete;
    ExivTags& operator=(const ExivTags&) = delete;

    // 0 (tags loaded, or neither comment present) or -1.
    int loadTagsFromFile(const QString& file);
    // From the whole bytes of an image file: 0, -1 (unreadable, or no valid tags) or -2 (no comment).
    int loadTagsFromData(const QByteArray& data);
    // 0 (also when the file already holds exactly these tags: it is left untouched); -1 missing file; -2 no image;
    // -101 cannot be opened; -102 cannot be written: the format takes no Exif, the user may not write the photo,
    // its owner, group, mode or extended attributes could not be kept, or the disk is full; -103 another program
    // saved the file while the tags were written, twice in a row. On failure the file is left byte for byte as it
    // was (or as the other program saved it). The photo keeps its access and modified times.
    int saveTagsToFile(const QString& file);
    // Into the file opened by loadTagsFromFile: 0; -1 when none is open; -102 when the write fails; -103 when the
    // tags in the file changed since the load (merge them again) or another program kept saving it. A file that
    // another program saved since the load, with the tags it had then, takes the tags into its new content. Its
    // times are those from before the load.
    int saveTagsToFile();
    // The last save found the file already holding exactly these tags and left it untouched.
    bool wasUnchanged() const { return m_unchanged; }
    // Why the last write failed as the system told it ("write: File too large"); empty when it did not say.
    const QString& failure() const { return m_failure; }
    // What a failed save's result (below 0) says to a user.
    QString failureText(int result) const;

    int getStar() const { return m_star; }
    void setStar(int star) { m_star = star; }
    const QList<uint>& getRgb() const { return m_rgb; }
    void setRgb(const QList<uint>& rgb) { m_rgb = rgb; }
    const QStringList& getTextTag() const { return m_textTag; }
    void setTextTag(const QStringList& textTag) { m_textTag = textTag; }
    bool getHasTags() const { return m_hasTags; }
    void setHasTags(bool hasTags) { m_hasTags = hasTags; }
    const QString& getFile() const { return m_file; }

protected:
    bool checkJson(const QJsonObject& obj) const;
    int loadFromJson(const QByteArray& json);
    QByteArray saveToJson() const;
    // 0, -1 file missing, -2 no image, -101 exiv2 error while opening or reading.
    int readTags(const QString& file, QString& xpComment, QString& userComment);
    int readTags(const QByteArray& data, QString& xpComment, QString& userComment);
    int writeTags(const QString& file, const QString& json);
    int writeTags(const QString& json);
    int writeTags(const QString& file, const QByteArray& json);
    int writeTags(const QByteArray& json);

private:
    std::unique_ptr<Exiv2::Image> m_image;
    QString m_file;
    // The file and its comments as loadTagsFromFile found them.
    FileReplacer::Snapshot m_loaded;
    QString m_loadedXp;
    QString m_loadedUser;
    bool m_hasTags = false;
    bool m_unchanged = false;
    QString m_failure;
    int m_star = 0;
    QStringList m_textTag;
    QList<uint> m_rgb;
};
