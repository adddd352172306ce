#include "common/photomaker.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>

#include <exiv2/exiv2.hpp>

namespace photomaker {

namespace {
std::string enc(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

template <class Edit> bool editImage(const QString& path, Edit edit)
{
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(enc(path));
        if (!image.get())
            return false;
        image->readMetadata();
        edit(*image);
        image->writeMetadata();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
} // namespace

QMap<QString, QString> cameraExif()
{
    return {
        { "Exif.Image.Make", "VornCam" },
        { "Exif.Image.Model", "VC-100" },
        { "Exif.Image.Orientation", "1" },
        { "Exif.Image.Artist", "Tester" },
        { "Exif.Photo.DateTimeOriginal", "2020:01:02 03:04:05" },
        { "Exif.Photo.ExposureTime", "1/125" },
        { "Exif.Photo.FNumber", "28/10" },
        { "Exif.Photo.ISOSpeedRatings", "200" },
        { "Exif.GPSInfo.GPSLatitudeRef", "N" },
        { "Exif.GPSInfo.GPSLatitude", "31/1 14/1 0/1" },
        { "Xmp.dc.title", "lang=\"x-default\" Test picture" },
        { "Xmp.xmp.Label", "sample" },
    };
}

QString makePhoto(const QString& dir, const QString& name, bool withExif, int w, int h, const char* format)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 255) / qMax(1, w - 1), (y * 255) / qMax(1, h - 1), (x * y) % 256));
    QPainter p(&img);
    p.fillRect(w / 4, h / 4, w / 2, h / 2, QColor(20, 160, 40));
    p.end();
    const QString path = QDir(dir).filePath(name);
    if (!img.save(path, format, 95)) {
        // Formats Qt only reads (GIF) go through ImageMagick.
        const QString png = path + ".src.png";
        int code = -1;
        if (img.save(png))
            runTool("convert", { png, path }, &code);
        QFile::remove(png);
        if (code != 0)
            return QString();
    }
    if (withExif && !setMetadata(path, cameraExif()))
        return QString();
    return path;
}

bool setMetadata(const QString& path, const QMap<QString, QString>& values)
{
    return editImage(path, [&](Exiv2::Image& image) {
        for (auto it = values.begin(); it != values.end(); ++it) {
            const std::string key = it.key().toStdString();
            if (it.key().startsWith("Xmp."))
                image.xmpData()[key] = it.value().toStdString();
            else
                image.exifData()[key] = it.value().toStdString();
        }
    });
}

bool setComment(const QString& path, const char* key, const QByteArray& utf8)
{
    return editImage(
        path, [&](Exiv2::Image& image) { image.exifData()[key] = Exiv2::CommentValue(utf8.toStdString()); });
}

bool setUtf16XpComment(const QString& path, const QString& text)
{
    QByteArray bytes;
    for (QChar c : text + QChar(0)) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return editImage(path, [&](Exiv2::Image& image) {
        Exiv2::DataValue value(Exiv2::unsignedByte);
        value.read(reinterpret_cast<const Exiv2::byte*>(bytes.constData()), long(bytes.size()), Exiv2::littleEndian);
        image.exifData()["Exif.Image.XPComment"] = value;
    });
}

QByteArray readComment(const QString& path, const char* key)
{
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(enc(path));
        image->readMetadata();
        auto it = image->exifData().findKey(Exiv2::ExifKey(key));
        if (it == image->exifData().end())
            return QByteArray();
        QByteArray bytes(int(it->size()), '\0');
        it->copy(reinterpret_cast<Exiv2::byte*>(bytes.data()), Exiv2::littleEndian);
        return bytes.mid(8);
    } catch (const std::exception&) {
        return QByteArray();
    }
}

QByteArray tagsJson(int star, const QList<uint>& colors, const QStringList& texts)
{
    QJsonArray c;
    for (uint rgb : colors)
        c.append(QString::number(rgb));
    QJsonObject root;
    root.insert("starTag", QJsonObject { { "star", star } });
    root.insert("colorTag", QJsonObject { { "colors", c } });
    root.insert("textTag", QJsonObject { { "texts", QJsonArray::fromStringList(texts) } });
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QByteArray runTool(const QString& program, const QStringList& args, int* exitCode)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}

QByteArray exiftoolUserComment(const QString& path)
{
    return runTool("exiftool", { "-b", "-UserComment", path });
}

QImage pixels(const QString& path)
{
    QImageReader reader(path);
    QImage img = reader.read();
    return img.isNull() ? img : img.convertToFormat(QImage::Format_ARGB32);
}

} // namespace photomaker
