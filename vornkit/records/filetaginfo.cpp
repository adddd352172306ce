#include "records/filetaginfo.h"

#include "meta/exivtags.h"
#include "records/hinttags.h"
#include "records/tagutil.h"
#include "sys/datetimeutil.h"
#include "sys/platform.h"

#include <QFileInfo>

FileTagInfo::FileTagInfo() = default;

void FileTagInfo::setTextTags(const QString& v)
{
    textTags = v;
    textTag = StrToStringList(v);
}

void FileTagInfo::setRgbs(const QString& v)
{
    rgbs = v;
    rgb = StrToRgbList(v);
}

void FileTagInfo::setHintTextTags(const QString& v)
{
    hintTextTags = v;
    hintTextTag = StrToStringList(v);
}

void FileTagInfo::setHintRgbs(const QString& v)
{
    hintRgbs = v;
    hintRgb = StrToRgbList(v);
}

void FileTagInfo::setTextTag(const QStringList& v)
{
    textTag = v;
    textTags = StringListToStr(v);
}

void FileTagInfo::setRgb(const QList<uint>& v)
{
    rgb = v;
    rgbs = RgbListToStr(v);
}

void FileTagInfo::setHintTextTag(const QStringList& v)
{
    hintTextTag = v;
    hintTextTags = StringListToStr(v);
}

void FileTagInfo::setHintRgb(const QList<uint>& v)
{
    hintRgb = v;
    hintRgbs = RgbListToStr(v);
}

int FileTagInfo::addTextTag(const QString& tag)
{
    const QString t = tag.simplified();
    if (t.isEmpty() || textTag.contains(t, Qt::CaseSensitive))
        return -1;
    textTag.append(t);
    textTags = StringListToStr(textTag);
    return textTag.size() - 1;
}

int FileTagInfo::deleteRgb(int index)
{
    if (index < 0 || index >= rgb.size())
        return -1;
    rgb.removeAt(index);
    rgbs = RgbListToStr(rgb);
    return index;
}

int FileTagInfo::updateRgb(uint c, int pos)
{
    if (pos > 0) {
        if (pos < rgb.size()) {
            rgb[pos] = c;
        } else {
            rgb.append(c);
            pos = rgb.size() - 1;
        }
        for (int i = 0; i < pos; ++i) {
            if (rgb.at(i) == c) {
                rgb.removeAt(i);
                --pos;
                break;
            }
        }
    } else {
        rgb.prepend(c);
        pos = 0;
    }
    for (int i = pos + 1; i < rgb.size(); ++i) {
        if (rgb.at(i) == c) {
            rgb.removeAt(i);
            break;
        }
    }
    rgbs = RgbListToStr(rgb);
    return pos;
}

uint FileTagInfo::getRgb(int index) const
{
    return index >= 0 && index < rgb.size() ? rgb.at(index) : 0u;
}

int FileTagInfo::loadFromFile(const QFileInfo& fi, const QByteArray& bytes, const QImage& image)
{
    path = fi.absolutePath();
    file = fi.absoluteFilePath();
    setFileFacts(fi);
    imageWidth = image.width();
    imageHeight = image.height();

    const int tagResult = loadTagsFromFile(bytes);
    const int hintResult = hintTagsFromFile(image);
    if (tagResult < 0 && hintResult >= 0) {
        star = hintStar;
        setTextTags(hintTextTags);
        setRgbs(hintRgbs);
    }
    return 0;
}

QString FileTagInfo::fileTimeText(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) : QString();
}

QString FileTagInfo::localTimeText(const QString& stored)
{
    QDateTime t = QDateTime::fromString(stored, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (!t.isValid())
        return QString();
    t.setTimeSpec(Qt::UTC);
    return DateTimeToStr(t.toLocalTime());
}

void FileTagInfo::setFileFacts(const QFileInfo& fi)
{
    fileSize = fi.size();
    createTime = fileTimeText(platform::createdTime(fi));
    modifyTime = fileTimeText(fi.lastModified());
}

bool FileTagInfo::matchesFile(const QFileInfo& fi) const
{
    return fi.exists() && fileSize == fi.size() && !modifyTime.isEmpty()
        && modifyTime == fileTimeText(fi.lastModified());
}

void FileTagInfo::takeUserTags(const FileTagInfo& other)
{
    star = other.star;
    setTextTag(other.textTag);
    setRgb(other.rgb);
}

bool FileTagInfo::takeFileTags(const ExivTags& tags)
{
    if (!tags.getHasTags())
        return false;
    star = tags.getStar();
    setRgb(tags.getRgb());
    setTextTag(fileTextTags(tags.getTextTag()));
    return true;
}

QStringList FileTagInfo::fileTextTags(const QStringList& texts)
{
    // A tag holding a blank or a separator would split when the joined text is read back.
    return splitTextTags(texts);
}

int FileTagInfo::loadTagsFromFile(const QByteArray& bytes)
{
    ExivTags tags;
    const int r = tags.loadTagsFromData(bytes);
    if (r >= 0)
        takeFileTags(tags);
    return r;
}

int FileTagInfo::hintTagsFromFile(const QImage& image)
{
    HintTags hints;
    const int r = hints.hintTagsFromData(image);
    if (r >= 0) {
        hintStar = hints.getHintStarTag();
        setHintRgb(hints.getHintColorTag());
        setHintTextTag(hints.getHintTextTag());
    }
    return r;
}
