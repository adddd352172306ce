// Writes and reads the suite's tags in a folder of generated photos and prints files per second.
// Usage: bench_exivtags [count] [width] [height] [folder]

#include "meta/exivtags.h"
#include "meta/exivutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <exiv2/exiv2.hpp>

#include <cstdio>

namespace {

QImage pattern(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = qRgb(x * 255 / w, y * 255 / h, (x ^ y) & 0xFF);
    }
    return img;
}

bool addCameraExif(const QString& path)
{
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        exif["Exif.Image.Make"] = std::string("BenchCam");
        exif["Exif.Image.Model"] = std::string("B-1");
        exif["Exif.Photo.DateTimeOriginal"] = std::string("2023:04:05 06:07:08");
        exif["Exif.Photo.ExposureTime"] = std::string("1/250");
        image->writeMetadata();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void report(const char* what, int files, qint64 ns)
{
    const double seconds = ns / 1e9;
    std::printf("%-28s %6d files %9.3f s %10.1f files/s\n", what, files, seconds, seconds > 0 ? files / seconds : 0.0);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    initExiv2();
    const int count = argc > 1 ? QString(argv[1]).toInt() : 200;
    const int width = argc > 2 ? QString(argv[2]).toInt() : 1600;
    const int height = argc > 3 ? QString(argv[3]).toInt() : 1200;
    QTemporaryDir temp;
    const QString folder = argc > 4 ? QString::fromLocal8Bit(argv[4]) : temp.path();
    if (count <= 0 || width <= 0 || height <= 0 || !QDir().mkpath(folder)) {
        std::fprintf(stderr, "usage: bench_exivtags [count] [width] [height] [folder]\n");
        return 1;
    }

    for (const char* format : { "jpg", "png" }) {
        const QImage img = pattern(width, height);
        QStringList files;
        for (int i = 0; i < count; ++i) {
            const QString path = QDir(folder).filePath(QString("bench_%1.%2").arg(i, 5, 10, QChar('0')).arg(format));
            if (i == 0) {
                if (!img.save(path, nullptr, 90) || !addCameraExif(path)) {
                    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                    return 1;
                }
            } else if (!QFile::copy(files.first(), path)) {
                std::fprintf(stderr, "cannot copy to %s\n", qPrintable(path));
                return 1;
            }
            files << path;
        }
        std::printf("%d %s photos of %dx%d, %lld bytes each, in %s\n", count, format, width, height,
            static_cast<long long>(QFile(files.first()).size()), qPrintable(folder));

        QElapsedTimer timer;
        int failed = 0;
        timer.start();
        for (int i = 0; i < files.size(); ++i) {
            ExivTags tags;
            tags.setStar(i % 6);
            tags.setRgb({ 0xFFFF0000u, 0xFF00FF00u });
            tags.setTextTag({ "bench", QString("photo %1").arg(i) });
            failed += tags.saveTagsToFile(files[i]) != 0;
        }
        report("write saveTagsToFile(path)", files.size(), timer.nsecsElapsed());

        timer.restart();
        for (const QString& file : files) {
            ExivTags tags;
            failed += tags.loadTagsFromFile(file) != 0 || !tags.getHasTags();
        }
        report("read loadTagsFromFile", files.size(), timer.nsecsElapsed());

        timer.restart();
        for (const QString& file : files) {
            QFile f(file);
            ExivTags tags;
            failed += !f.open(QIODevice::ReadOnly) || tags.loadTagsFromData(f.readAll()) != 0;
        }
        report("read loadTagsFromData", files.size(), timer.nsecsElapsed());

        timer.restart();
        for (const QString& file : files) {
            ExivTags tags;
            tags.loadTagsFromFile(file);
            tags.setStar(5);
            failed += tags.saveTagsToFile() != 0;
        }
        report("load + saveTagsToFile()", files.size(), timer.nsecsElapsed());

        timer.restart();
        for (const QString& file : files)
            failed += getPhotoTakeTime(file).isEmpty();
        report("getPhotoTakeTime", files.size(), timer.nsecsElapsed());

        if (failed)
            std::printf("%d operations failed\n", failed);
        for (const QString& file : files)
            QFile::remove(file);
        std::printf("\n");
    }
    return 0;
}
