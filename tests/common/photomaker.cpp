#include "common/photomaker.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFuture>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QThread>
#include <QtConcurrent>

#include <cstdio>

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

int editedVersion(const QString& path)
{
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(enc(path));
        if (!image.get())
            return -1;
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        const auto it = exif.findKey(Exiv2::ExifKey("Exif.Image.ImageDescription"));
        if (it == exif.end())
            return -1;
        const QString text = QString::fromStdString(it->toString());
        return text.startsWith('v') ? text.mid(1).toInt() : -1;
    } catch (const std::exception&) {
        return -1;
    }
}

struct EditorJob {
    QFuture<void> future;
};

ConcurrentEditor::ConcurrentEditor(const QStringList& files)
    : m_files(files)
    , m_last(files.size(), -1)
    , m_job(new EditorJob)
{
    for (int i = 0; i < files.size(); ++i)
        m_last[i] = editedVersion(files[i]);
    // Its own thread: a test's pools stay free for the code under test.
    static QThreadPool pool;
    pool.setMaxThreadCount(4);
    m_job->future = QtConcurrent::run(&pool, [this] { run(); });
}

ConcurrentEditor::~ConcurrentEditor()
{
    stop();
}

void ConcurrentEditor::run()
{
    int version = 0;
    for (int v : m_last)
        version = qMax(version, v);
    while (!m_stop) {
        for (int i = 0; i < m_files.size() && !m_stop; ++i) {
            const QString& path = m_files[i];
            QFile in(path);
            if (!in.open(QIODevice::ReadOnly))
                continue;
            QByteArray bytes = in.readAll();
            in.close();
            const int held = editedVersion(path);
            if (held != m_last[i])
                m_undone << QString("%1: v%2 after v%3").arg(path).arg(held).arg(m_last[i]);
            QByteArray saved;
            try {
                Exiv2::Image::AutoPtr image
                    = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.constData()), bytes.size());
                image->readMetadata();
                image->exifData()["Exif.Image.ImageDescription"] = "v" + std::to_string(++version);
                image->writeMetadata();
                Exiv2::BasicIo& io = image->io();
                io.open();
                saved.resize(int(io.size()));
                io.read(reinterpret_cast<Exiv2::byte*>(saved.data()), long(saved.size()));
                io.close();
            } catch (const std::exception&) {
                continue;
            }
            const QString temp = QFileInfo(path).dir().filePath(QString(".edit%1.tmp").arg(i));
            QFile out(temp);
            if (!out.open(QIODevice::WriteOnly) || out.write(saved) != saved.size())
                continue;
            out.close();
            if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) == 0) {
                m_last[i] = version;
                ++m_saves;
            }
        }
    }
}

bool ConcurrentEditor::waitForSaves(int count, int timeoutMs) const
{
    QElapsedTimer timer;
    timer.start();
    while (m_saves < count && timer.elapsed() < timeoutMs)
        QThread::msleep(5);
    return m_saves >= count;
}

void ConcurrentEditor::stop()
{
    if (m_stop.exchange(true))
        return;
    m_job->future.waitForFinished();
    for (int i = 0; i < m_files.size(); ++i) {
        const int held = editedVersion(m_files[i]);
        if (held != m_last[i])
            m_undone << QString("%1: ends with v%2, saved v%3").arg(m_files[i]).arg(held).arg(m_last[i]);
    }
}

QStringList ConcurrentEditor::undone() const
{
    return m_undone;
}

} // namespace photomaker
