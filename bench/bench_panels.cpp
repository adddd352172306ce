// links: vornelcore
// Shows photos one after another in the preview and metadata panels, headless, and prints the time until each is on
// show and the GUI thread's longest stall meanwhile, next to ImageMagick making the same preview and exiv2 printing
// the same metadata. Sample photos (4000 x 3000 JPEGs, and a TIFF with 4 MB of maker note) are made once under /tmp.
// Usage: QT_QPA_PLATFORM=offscreen bench_panels [--count N]

#include "app/threadpools.h"
#include "meta/exivutil.h"
#include "panels/exivinfoview.h"
#include "panels/imagepreview.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>

#include <exiv2/exiv2.hpp>

#include <cstdio>
#include <functional>

namespace {

const QString kDir = QStringLiteral("/tmp/vorn_bench_panels");

QString samplePhoto(int i)
{
    const QString path = kDir + QString::asprintf("/photo_%03d.jpg", i);
    if (QFile::exists(path))
        return path;
    QImage img(4000, 3000, QImage::Format_RGB32);
    QRandomGenerator rng(quint32(i + 1));
    img.fill(QColor(rng.bounded(256), rng.bounded(256), rng.bounded(256)));
    QPainter p(&img);
    for (int k = 0; k < 80; ++k) {
        p.setBrush(QColor(rng.bounded(256), rng.bounded(256), rng.bounded(256)));
        p.drawEllipse(rng.bounded(4000), rng.bounded(3000), 100 + rng.bounded(900), 100 + rng.bounded(700));
    }
    p.end();
    img.save(path + ".part", "JPEG", 90);
    try {
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(path + ".part").toStdString());
        image->readMetadata();
        image->exifData()["Exif.Image.Make"] = std::string("VornCam");
        image->exifData()["Exif.Image.Orientation"] = uint16_t(i % 2 ? 6 : 1);
        image->exifData()["Exif.Photo.FNumber"] = Exiv2::URational(28, 10);
        image->writeMetadata();
    } catch (const std::exception&) {
    }
    QFile::rename(path + ".part", path);
    return path;
}

QString hugeExifPhoto()
{
    const QString path = kDir + "/huge_exif.tif";
    if (QFile::exists(path))
        return path;
    QImage(640, 480, QImage::Format_RGB32).save(path + ".part.tif", "TIFF");
    try {
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(path + ".part.tif").toStdString());
        image->readMetadata();
        const QByteArray note(4 << 20, 'n');
        Exiv2::DataValue value(Exiv2::undefined);
        value.read(reinterpret_cast<const Exiv2::byte*>(note.constData()), long(note.size()), Exiv2::littleEndian);
        image->exifData()["Exif.Photo.MakerNote"] = value;
        image->exifData()["Exif.Image.ImageDescription"] = std::string(1 << 20, 'd');
        image->writeMetadata();
    } catch (const std::exception&) {
    }
    QFile::rename(path + ".part.tif", path);
    return path;
}

// Longest gap between ticks of a 5 ms timer on the GUI thread while fn runs the event loop.
struct Stall {
    qint64 longest = 0;
    void watch(const std::function<void()>& fn)
    {
        QElapsedTimer gap;
        gap.start();
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] { longest = qMax(longest, gap.restart()); });
        tick.start(5);
        fn();
    }
};

template <class Panel> double showAll(Panel& panel, const QStringList& files, qint64& stall)
{
    Stall s;
    QElapsedTimer t;
    s.watch([&] {
        t.start();
        for (const QString& f : files) {
            ItemInfoPtr info(new ItemInfo());
            info->setFile(f);
            panel.onLoadFile(info);
            while (panel.isLoading())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    });
    stall = s.longest;
    return double(t.elapsed()) / files.size();
}

double peer(const QString& program, const QStringList& files, const std::function<QStringList(const QString&)>& args)
{
    QElapsedTimer t;
    t.start();
    for (const QString& f : files)
        QProcess::execute(program, args(f));
    return double(t.elapsed()) / files.size();
}

} // namespace

int main(int argc, char** argv)
{
    // The panels keep their layout in the settings store: a scratch one, never the user's.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(kDir + "/config"));
    QApplication app(argc, argv);
    initExiv2();
    createThreadPools();
    const int idx = QCoreApplication::arguments().indexOf("--count");
    const int count = idx > 0 ? QCoreApplication::arguments().value(idx + 1).toInt() : 20;
    QDir().mkpath(kDir);
    QStringList photos;
    for (int i = 0; i < qMax(1, count); ++i)
        photos << samplePhoto(i);
    const QString huge = hugeExifPhoto();

    ImagePreview preview;
    preview.resize(400, 300);
    preview.show();
    qint64 stall = 0;
    const double ms = showAll(preview, photos, stall);
    std::printf("preview, %d photos of 4000 x 3000 in a 400 x 300 panel: %.1f ms each, GUI stalled at most %lld ms\n",
        int(photos.size()), ms, stall);
    const QString out = kDir + "/peer.png";
    std::printf("  peer: ImageMagick convert -thumbnail 400x300 (reduced JPEG decode): %.1f ms each\n",
        peer("convert", photos, [&](const QString& f) {
            return QStringList { "-define", "jpeg:size=800x600", f, "-auto-orient", "-thumbnail", "400x300", out };
        }));

    ExivInfoView exiv;
    exiv.resize(400, 600);
    exiv.show();
    const double exivMs = showAll(exiv, photos, stall);
    std::printf("metadata panel, the same photos: %.1f ms each, GUI stalled at most %lld ms\n", exivMs, stall);
    const QStringList hugeList { huge, huge, huge, huge, huge };
    const double hugeMs = showAll(exiv, hugeList, stall);
    std::printf("metadata panel, a TIFF with 4 MB of maker note and a 1 MB description: %.1f ms each, GUI stalled at "
                "most %lld ms\n",
        hugeMs, stall);
    // exiv2's listing goes to /dev/null through a shell.
    const auto exivArgs = [](const QString& f) { return QStringList { "-c", "exiv2 -q -pa \"$0\" >/dev/null", f }; };
    std::printf("  peer: exiv2 -pa (a process each): %.1f ms each for the photos, %.1f ms for the TIFF\n",
        peer("sh", photos, exivArgs), peer("sh", hugeList, exivArgs));
    destroyThreadPools();
    return 0;
}
