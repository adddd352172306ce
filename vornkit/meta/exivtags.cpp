#include "meta/exivtags.h"

#include "meta/noatimeio.h"
#include "sys/filereplacer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>

#include <exiv2/exiv2.hpp>

#include <cstring>
#include <limits>

namespace {

const char* const kUserComment = "Exif.Photo.UserComment";
const char* const kXpComment = "Exif.Image.XPComment";

std::string encodePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QByteArray dropTrailingNuls(QByteArray bytes)
{
    int end = bytes.size();
    while (end > 0 && bytes.at(end - 1) == '\0')
        --end;
    bytes.truncate(end);
    return bytes;
}

QString fromUtf16Le(const QByteArray& bytes)
{
    QString text;
    for (int i = 0; i + 1 < bytes.size(); i += 2)
        text.append(QChar(ushort(uchar(bytes.at(i)) | uchar(bytes.at(i + 1)) << 8)));
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

// A comment as text. UserComment comes back as a CommentValue; XPComment comes back as
// plain bytes: an 8-byte character-set header and UTF-8 when this suite wrote it, bare
// UTF-16LE when another program did.
QString commentText(const Exiv2::Value& value)
{
    if (const auto* comment = dynamic_cast<const Exiv2::CommentValue*>(&value))
        return QString::fromUtf8(dropTrailingNuls(QByteArray::fromStdString(comment->comment())));

    const long size = value.size();
    if (size <= 0 || size > std::numeric_limits<int>::max())
        return QString();
    QByteArray bytes(int(size), '\0');
    value.copy(reinterpret_cast<Exiv2::byte*>(bytes.data()), Exiv2::littleEndian);
    static const char* const headers[] = { "ASCII\0\0\0", "JIS\0\0\0\0\0", "UNICODE\0", "\0\0\0\0\0\0\0\0" };
    for (const char* header : headers) {
        if (bytes.size() >= 8 && memcmp(bytes.constData(), header, 8) == 0) {
            const QByteArray body = bytes.mid(8);
            if (header[0] == 'U')
                return fromUtf16Le(body);
            return QString::fromUtf8(dropTrailingNuls(body));
        }
    }
    return fromUtf16Le(bytes);
}

void readComments(Exiv2::Image& image, QString& xpComment, QString& userComment)
{
    const Exiv2::ExifData& exif = image.exifData();
    auto user = exif.findKey(Exiv2::ExifKey(kUserComment));
    if (user != exif.end())
        userComment = commentText(user->value());
    auto xp = exif.findKey(Exiv2::ExifKey(kXpComment));
    if (xp != exif.end())
        xpComment = commentText(xp->value());
}

// A tags document read: star, colours and text tags; false when the text is not one.
struct ParsedTags {
    int star = 0;
    QList<uint> rgb;
    QStringList text;
    bool operator==(const ParsedTags& o) const { return star == o.star && rgb == o.rgb && text == o.text; }
};

// A tags document holds all three keys; their value types are not examined.
bool hasTagKeys(const QJsonObject& obj)
{
    return obj.contains("starTag") && obj.contains("colorTag") && obj.contains("textTag");
}

bool parseTags(const QByteArray& json, ParsedTags& out)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject obj = doc.object();
    if (!hasTagKeys(obj))
        return false;
    out.star = qBound(0, obj.value("starTag").toObject().value("star").toInt(0), 5);
    for (const QJsonValue& color : obj.value("colorTag").toObject().value("colors").toArray())
        out.rgb.append(color.toString().toUInt());
    for (const QJsonValue& text : obj.value("textTag").toObject().value("texts").toArray())
        out.text.append(text.toString());
    return true;
}

// The tags as a reader finds them: UserComment, else XPComment.
bool tagsOf(const QString& xpComment, const QString& userComment, ParsedTags& out)
{
    out = ParsedTags();
    if (parseTags(userComment.toUtf8(), out))
        return true;
    out = ParsedTags();
    return parseTags(xpComment.toUtf8(), out);
}

void setComments(Exiv2::ExifData& exif, const std::string& json)
{
    exif[kXpComment] = Exiv2::CommentValue(json);
    exif[kUserComment] = Exiv2::CommentValue(json);
}

// Whether the rewritten file holds the comments as set and every tag that exiv2 drops silently when a
// JPEG's Exif outgrows its segment (tags above 4 KB, our comments among them, and the thumbnail).
bool keptEverything(const QByteArray& result, const Exiv2::ExifData& before, const std::string& json)
{
    const Exiv2::Image::AutoPtr image
        = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(result.constData()), long(result.size()));
    if (!image.get())
        return false;
    image->readMetadata();
    QString xpComment, userComment;
    readComments(*image, xpComment, userComment);
    const QString expected = QString::fromStdString(json);
    if (xpComment != expected || userComment != expected)
        return false;
    const Exiv2::ExifData& exif = image->exifData();
    for (const Exiv2::Exifdatum& datum : before) {
        if ((datum.size() > 4096 || datum.groupName() == "Thumbnail")
            && exif.findKey(Exiv2::ExifKey(datum.key())) == exif.end())
            return false;
    }
    return true;
}

// Opens an image with open() into image and reads both comments; exiv2 errors end at this boundary.
template <class Open>
int readOpened(std::unique_ptr<Exiv2::Image>& image, Open open, QString& xpComment, QString& userComment)
{
    try {
        image.reset(open().release());
        if (!image)
            return ExivTags::NoImage;
        image->readMetadata();
        readComments(*image, xpComment, userComment);
        return ExivTags::Ok;
    } catch (const Exiv2::AnyError&) {
    } catch (const std::exception&) {
    }
    image.reset();
    return ExivTags::OpenFailed;
}

// exiv2 refuses some formats it cannot even open (GIF); a picture that Qt can read is then
// a format that cannot take the tags rather than a broken file.
int openFailure(int code, const QString& path)
{
    if (code == Exiv2::kerFileContainsUnknownImageType && !QImageReader::imageFormat(path).isEmpty())
        return ExivTags::WriteFailed;
    return ExivTags::OpenFailed;
}

// The file as a holder loaded it, for a write that must go into that same file.
struct Loaded {
    FileReplacer::Snapshot snapshot;
    QString xpComment;
    QString userComment;
};

// The file's bytes with the two comments set; Ok, unchanged when it already holds exactly these tags; Changed for
// a holder's file that another program saved since the load with other tags than it had. failure: set for a format
// that takes no tags.
int buildContent(QByteArray& bytes, const QString& target, const std::string& json, const Loaded* loaded,
    bool sameAsLoaded, QByteArray& result, bool& unchanged, QString& failure)
{
    const QString noTags = QStringLiteral("此格式不能存放标签");
    std::unique_ptr<Exiv2::Image> image;
    try {
        // exiv2 may rewrite a TIFF in place inside this buffer: it is our own copy.
        image.reset(Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.data()), long(bytes.size()))
                        .release());
        if (!image)
            return ExivTags::NoImage;
        if (!(image->checkMode(Exiv2::mdExif) & Exiv2::amWrite)) {
            failure = noTags;
            return ExivTags::WriteFailed;
        }
        image->readMetadata();
        QString xpComment, userComment;
        readComments(*image, xpComment, userComment);
        // Saved by another program since the load, and its tags are not the ones merged: they would be lost.
        if (loaded && !sameAsLoaded && (xpComment != loaded->xpComment || userComment != loaded->userComment))
            return ExivTags::Changed;
        // A file that already holds exactly these tags is left as it is.
        ParsedTags held, wanted;
        if (tagsOf(xpComment, userComment, held) && parseTags(QByteArray::fromStdString(json), wanted)
            && held == wanted) {
            unchanged = true;
            return ExivTags::Ok;
        }
    } catch (const Exiv2::AnyError& e) {
        const int code = openFailure(e.code(), target);
        if (code == ExivTags::WriteFailed)
            failure = noTags;
        return code;
    } catch (const std::exception&) {
        return ExivTags::OpenFailed;
    }

    try {
        const Exiv2::ExifData before = image->exifData();
        setComments(image->exifData(), json);
        // The XMP packet goes back as it was read, not laid out anew.
        image->writeXmpFromPacket(true);
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        if (io.open() != 0)
            return ExivTags::WriteFailed;
        const long size = io.size();
        if (size <= 0 || size > std::numeric_limits<int>::max()) {
            io.close();
            return ExivTags::WriteFailed;
        }
        result.resize(int(size));
        const long got = io.read(reinterpret_cast<Exiv2::byte*>(result.data()), size);
        io.close();
        if (got != size || !keptEverything(result, before, json))
            return ExivTags::WriteFailed;
    } catch (const Exiv2::AnyError&) {
        return ExivTags::WriteFailed;
    } catch (const std::exception&) {
        return ExivTags::WriteFailed;
    }
    return ExivTags::Ok;
}

// Writes the two comments into the file without touching it in place: exiv2 rewrites the file's bytes in memory
// (its own file writes do not report a full disk), and the result replaces the file through FileReplacer, which
// keeps owner, group, mode, extended attributes and times, and refuses when another program saved the file since
// it was read: it is then read again, once. A photo the user may not write is refused. A symbolic link is
// followed: its target is replaced, the link stays.
int writeComments(const QString& file, const std::string& json, const Loaded* loaded, bool& unchanged, QString& failure)
{
    unchanged = false;
    const QFileInfo info(file);
    if (file.isEmpty() || !info.exists())
        return ExivTags::FileMissing;
    const QString target = info.canonicalFilePath();
    if (target.isEmpty())
        return ExivTags::FileMissing;
    if (!QFileInfo(target).isFile())
        return ExivTags::OpenFailed;
    if (!FileReplacer::mayWrite(target)) {
        failure = QStringLiteral("no permission to write it");
        qWarning("Tags not written into %s: no permission to write it", qPrintable(target));
        return ExivTags::WriteFailed;
    }

    QString why;
    for (int attempt = 0; attempt < 2; ++attempt) {
        QByteArray bytes;
        FileReplacer::Snapshot read;
        const FileReplacer::Result got = FileReplacer::read(target, std::numeric_limits<int>::max(), bytes, read, &why);
        if (got == FileReplacer::Changed)
            continue;
        if (got != FileReplacer::Ok)
            return ExivTags::OpenFailed;
        // Unchanged since the load: the times from before the load's read.
        const bool sameAsLoaded = loaded && loaded->snapshot.sameAs(read);
        QByteArray result;
        const int built = buildContent(bytes, target, json, loaded, sameAsLoaded, result, unchanged, failure);
        if (built != ExivTags::Ok || unchanged) {
            if (built == ExivTags::Changed)
                failure = QStringLiteral("its tags were changed by another program");
            if (built == ExivTags::Changed)
                qWarning("Tags not written into %s: its tags were changed by another program", qPrintable(target));
            return built;
        }
        bytes.clear();
        const FileReplacer::Result r
            = FileReplacer::replace(target, result, sameAsLoaded ? loaded->snapshot : read, &why);
        if (r == FileReplacer::Replaced)
            return ExivTags::Ok;
        if (r != FileReplacer::Changed) {
            failure = why;
            qWarning("Tags not written into %s: %s", qPrintable(target), qPrintable(why));
            return ExivTags::WriteFailed;
        }
    }
    failure = why;
    qWarning("Tags not written into %s: %s", qPrintable(target), qPrintable(why));
    return ExivTags::Changed;
}

} // namespace

ExivTags::ExivTags() = default;

ExivTags::~ExivTags() = default;

bool ExivTags::checkJson(const QJsonObject& obj) const
{
    return hasTagKeys(obj);
}

int ExivTags::loadFromJson(const QByteArray& json)
{
    ParsedTags parsed;
    if (!parseTags(json, parsed))
        return -1;
    m_star = parsed.star;
    m_rgb.append(parsed.rgb);
    m_textTag.append(parsed.text);
    m_hasTags = true;
    return 0;
}

QByteArray ExivTags::saveToJson() const
{
    QJsonArray colors;
    for (uint rgb : m_rgb)
        colors.append(QString::number(rgb, 10));
    QJsonObject root;
    root.insert("starTag", QJsonObject { { "star", m_star } });
    root.insert("colorTag", QJsonObject { { "colors", colors } });
    root.insert("textTag", QJsonObject { { "texts", QJsonArray::fromStringList(m_textTag) } });
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

int ExivTags::readTags(const QString& file, QString& xpComment, QString& userComment)
{
    const std::string path = encodePath(QDir::toNativeSeparators(file));
    // Only a regular file: opening a pipe would wait for a writer.
    if (file.isEmpty() || !Exiv2::fileExists(path, false) || !QFileInfo(file).isFile())
        return FileMissing;
    // Read without moving the photo's access time: a write that finds the tags in place leaves it as it was.
    return readOpened(
        m_image, [&] { return Exiv2::ImageFactory::open(Exiv2::BasicIo::AutoPtr(new NoAtimeIo(path))); }, xpComment,
        userComment);
}

int ExivTags::readTags(const QByteArray& data, QString& xpComment, QString& userComment)
{
    if (data.isEmpty())
        return OpenFailed;
    const auto* bytes = reinterpret_cast<const Exiv2::byte*>(data.constData());
    return readOpened(
        m_image, [&] { return Exiv2::ImageFactory::open(bytes, long(data.size())); }, xpComment, userComment);
}

int ExivTags::loadTagsFromFile(const QString& file)
{
    m_file = file;
    // Taken before the read moves the access time.
    m_loaded = FileReplacer::snapshotOf(file);
    QString xpComment, userComment;
    if (readTags(file, xpComment, userComment) < 0)
        return -1;
    m_loadedXp = xpComment;
    m_loadedUser = userComment;
    if (xpComment.isEmpty() && userComment.isEmpty())
        return 0;
    if (loadFromJson(userComment.toUtf8()) == 0)
        return 0;
    return loadFromJson(xpComment.toUtf8());
}

int ExivTags::loadTagsFromData(const QByteArray& data)
{
    QString xpComment, userComment;
    if (readTags(data, xpComment, userComment) < 0)
        return -1;
    if (xpComment.isEmpty() && userComment.isEmpty())
        return -2;
    if (loadFromJson(userComment.toUtf8()) == 0)
        return 0;
    return loadFromJson(xpComment.toUtf8());
}

int ExivTags::writeTags(const QString& file, const QString& json)
{
    m_unchanged = false;
    m_failure.clear();
    try {
        return writeComments(file, json.toStdString(), nullptr, m_unchanged, m_failure);
    } catch (const Exiv2::AnyError&) {
        return WriteFailed;
    } catch (const std::exception&) {
        return WriteFailed;
    }
}

int ExivTags::writeTags(const QString& json)
{
    if (!m_image || m_file.isEmpty())
        return FileMissing;
    m_unchanged = false;
    m_failure.clear();
    const Loaded loaded { m_loaded, m_loadedXp, m_loadedUser };
    int result = WriteFailed;
    try {
        result = writeComments(m_file, json.toStdString(), &loaded, m_unchanged, m_failure);
    } catch (const Exiv2::AnyError&) {
    } catch (const std::exception&) {
    }
    if (result == Ok || result == FileMissing || result == Changed)
        return result;
    return WriteFailed;
}

int ExivTags::writeTags(const QString& file, const QByteArray& json)
{
    return writeTags(file, QString::fromUtf8(json));
}

int ExivTags::writeTags(const QByteArray& json)
{
    return writeTags(QString::fromUtf8(json));
}

QString ExivTags::failureText(int result) const
{
    if (result == Changed)
        return QStringLiteral("照片正被其他程序修改，未写入");
    QString why = m_failure;
    if (why.isEmpty())
        why = result == FileMissing                     ? QStringLiteral("文件不存在")
            : result == NoImage || result == OpenFailed ? QStringLiteral("无法读取照片")
                                                        : QString::number(result);
    return QStringLiteral("写入照片失败（%1）").arg(why);
}

int ExivTags::saveTagsToFile(const QString& file)
{
    return writeTags(file, saveToJson());
}

int ExivTags::saveTagsToFile()
{
    return writeTags(saveToJson());
}
