#include "search/likefindcfg.h"

#include "sys/fileutil.h"
#include "sys/strutil.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

// The grouping keys in their fixed order, each with its flag.
struct KeyFlag {
    const char* key;
    bool FindSettings::*flag;
};
const KeyFlag kKeys[] = {
    { "FileSize", &FindSettings::FileSizeIsSame },
    { "FileType", &FindSettings::FileTypeIsSame },
    { "FileName", &FindSettings::FileNameIsSame },
    { "FullMD5", &FindSettings::FullContentIsSame },
    { "PartMD5", &FindSettings::PartContentIsSame },
    { "CreationTime", &FindSettings::CreationTimeIsSame },
    { "LastAccessTime", &FindSettings::LastAccessTimeIsSame },
    { "LastWriteTime", &FindSettings::LastWriteTimeIsSame },
};

// The boolean keys of the "find" object, in the order they are written.
const KeyFlag kFlags[] = {
    { "FileTypeIsSame", &FindSettings::FileTypeIsSame },
    { "FileNameIsSame", &FindSettings::FileNameIsSame },
    { "FileSizeIsSame", &FindSettings::FileSizeIsSame },
    { "CreationTimeIsSame", &FindSettings::CreationTimeIsSame },
    { "LastAccessTimeIsSame", &FindSettings::LastAccessTimeIsSame },
    { "LastWriteTimeIsSame", &FindSettings::LastWriteTimeIsSame },
    { "PartContentIsSame", &FindSettings::PartContentIsSame },
    { "FullContentIsSame", &FindSettings::FullContentIsSame },
    { "FindSimilarImage", &FindSettings::FindSimilarImage },
    { "FindNoDiff", &FindSettings::FindNoDiff },
    { "FindLittleDiff", &FindSettings::FindLittleDiff },
    { "FindMediumDiff", &FindSettings::FindMediumDiff },
};

struct KeyInt {
    const char* key;
    int FindSettings::*value;
};
const KeyInt kDistances[] = {
    { "NoDiff", &FindSettings::NoDiff },
    { "LittleDiff", &FindSettings::LittleDiff },
    { "MediumDiff", &FindSettings::MediumDiff },
};

struct LayoutInt {
    const char* key;
    int FindLayout::*value;
};
const LayoutInt kSizes[] = {
    { "ItemWidth", &FindLayout::ItemWidth },
    { "ItemHeight", &FindLayout::ItemHeight },
    { "BorderSpace", &FindLayout::BorderSpace },
    { "TextHeight", &FindLayout::TextHeight },
};

} // namespace

QStringList FindSettings::selectedFields() const
{
    QStringList keys;
    for (const KeyFlag& k : kKeys) {
        if (this->*k.flag)
            keys << QString::fromLatin1(k.key);
    }
    return keys;
}

QString FindSettings::orderByText() const
{
    QString text;
    for (const QString& key : selectedFields())
        text += QStringLiteral(" [%1] ASC, ").arg(key);
    Trim(text, QStringLiteral(", "));
    return text;
}

void FindLayout::updateRects()
{
    itemRect = QRect(0, 0, ItemWidth, ItemHeight);
    imageRect = QRect(BorderSpace, BorderSpace, ItemWidth - 2 * BorderSpace, ItemHeight - 3 * BorderSpace - TextHeight);
    textRect = QRect(BorderSpace, ItemHeight - TextHeight - BorderSpace, ItemWidth - 2 * BorderSpace, TextHeight);
}

void FindLayout::translateRects(int dx, int dy)
{
    itemRect.translate(dx, dy);
    imageRect.translate(dx, dy);
    textRect.translate(dx, dy);
}

int LikeFindCfg::load(const QString& fileName)
{
    QJsonObject root;
    if (!readJsonObject(profileFile(fileName), root))
        return -1;
    LastPath = root.value("LastPath").toString();

    const QJsonObject f = root.value("find").toObject();
    const FindSettings defaults;
    for (const KeyFlag& k : kFlags)
        find.*k.flag = f.value(QLatin1String(k.key)).toBool(defaults.*k.flag);
    for (const KeyInt& k : kDistances)
        find.*k.value = f.value(QLatin1String(k.key)).toInt(defaults.*k.value);
    find.FindPath.clear();
    for (const QJsonValue& v : f.value("FindPath").toArray())
        find.FindPath << v.toString();

    const QJsonObject l = root.value("layout").toObject();
    const FindLayout sizes;
    for (const LayoutInt& k : kSizes)
        layout.*k.value = l.value(QLatin1String(k.key)).toInt(sizes.*k.value);
    return 0;
}

int LikeFindCfg::save(const QString& fileName) const
{
    QJsonObject f;
    for (const KeyFlag& k : kFlags)
        f.insert(QLatin1String(k.key), find.*k.flag);
    for (const KeyInt& k : kDistances)
        f.insert(QLatin1String(k.key), find.*k.value);
    f.insert("FindPath", QJsonArray::fromStringList(find.FindPath));
    QJsonObject l;
    for (const LayoutInt& k : kSizes)
        l.insert(QLatin1String(k.key), layout.*k.value);
    QJsonObject root;
    root.insert("LastPath", LastPath);
    root.insert("find", f);
    root.insert("layout", l);

    return writeJsonObject(profileFile(fileName), root) ? 0 : -1;
}

QString LikeFindCfg::fieldTitle(const QString& key)
{
    static const struct {
        const char* key;
        const char* title;
    } titles[] = {
        { "FilePath", "文件路径" },
        { "FileName", "文件名称" },
        { "FileSize", "文件大小" },
        { "FileType", "文件类型" },
        { "CreationTime", "创建时间" },
        { "LastAccessTime", "访问时间" },
        { "LastWriteTime", "修改时间" },
        { "PartMD5", "文件MD5" },
        { "FullMD5", "文件MD5" },
    };
    for (const auto& t : titles) {
        if (key == QLatin1String(t.key))
            return QString::fromUtf8(t.title);
    }
    return QString();
}
