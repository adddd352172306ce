#include "meta/exivutil.h"

#include "sys/strutil.h"

#include <QFile>
#include <QFileInfo>

#include <exiv2/exiv2.hpp>

#include <cstdlib>
#include <mutex>

namespace {
// Serialises exiv2's registration of XMP namespaces, which metadata threads may reach at once.
void lockXmp(void* data, bool lock)
{
    auto* mutex = static_cast<std::recursive_mutex*>(data);
    if (lock)
        mutex->lock();
    else
        mutex->unlock();
}
} // namespace

int initExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Never freed: exiv2 may still use it from the exit handler.
        Exiv2::XmpParser::initialize(lockXmp, new std::recursive_mutex);
        std::atexit(Exiv2::XmpParser::terminate);
        Exiv2::enableBMFF(true);
    });
    return 0;
}

std::string getPhotoTakeTime(const std::wstring& file)
{
    static const char* const keys[]
        = { "Exif.Image.DateTimeOriginal", "Exif.Photo.DateTimeOriginal", "Exif.Photo.DateTimeDigitized" };
    const QString name = QString::fromStdWString(file);
    const std::string path = QFile::encodeName(name).toStdString();
    std::string result;
    try {
        // Only a regular file: opening a pipe would wait for a writer.
        if (!Exiv2::fileExists(path) || !QFileInfo(name).isFile())
            return std::string();
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
        if (!image.get())
            return std::string();
        image->readMetadata();
        const Exiv2::ExifData exif = image->exifData();
        for (const char* key : keys) {
            auto it = exif.findKey(Exiv2::ExifKey(key));
            std::string text = it == exif.end() ? std::string() : it->value().toString();
            TrimNotNumber(text);
            // Exif dates run from the year down to the second, so the greatest text is the latest.
            if (text.size() >= 10 && result <= text)
                result = text;
        }
    } catch (const Exiv2::AnyError&) {
        return std::string();
    } catch (const std::exception&) {
        return std::string();
    }
    return result;
}

QString getPhotoTakeTime(const QString& file)
{
    return QString::fromLocal8Bit(QByteArray::fromStdString(getPhotoTakeTime(file.toStdWString())));
}
