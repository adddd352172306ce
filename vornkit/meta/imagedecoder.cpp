#include "meta/imagedecoder.h"

#include "sys/platform.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QSemaphore>
#include <QSvgRenderer>

#include <cmath>

const qint64 ImageDecoder::kMaxFileBytes = qint64(1) << 30;
const int ImageDecoder::kBudgetMegapixels = 256;
const int ImageDecoder::kMaxSvgSide = 4096;

namespace {

const qint64 kMaxSvgBytes = qint64(64) << 20;

QSemaphore& budget()
{
    static QSemaphore s(ImageDecoder::kBudgetMegapixels);
    return s;
}

int megapixels(const QSize& size)
{
    if (!size.isValid())
        return 0;
    return int(qMin<qint64>((qint64(size.width()) * size.height() + 999999) / 1000000, 1 << 30));
}

// Holds budget units for the life of a decode and its scaled copies.
class BudgetHold {
public:
    explicit BudgetHold(int units)
        : m_units(qBound(0, units, ImageDecoder::kBudgetMegapixels))
    {
        if (m_units)
            budget().acquire(m_units);
    }
    ~BudgetHold()
    {
        if (m_units)
            budget().release(m_units);
    }
    BudgetHold(const BudgetHold&) = delete;
    BudgetHold& operator=(const BudgetHold&) = delete;

private:
    int m_units;
};

bool rotates(QImageIOHandler::Transformations t)
{
    return t.testFlag(QImageIOHandler::TransformationRotate90);
}

bool openForDecode(QFile& file, const QString& path)
{
    return platform::openRegularFile(file, path) && file.size() <= ImageDecoder::kMaxFileBytes && file.size() > 0;
}

bool isSvgFormat(const QByteArray& format)
{
    return format == "svg" || format == "svgz";
}

} // namespace

QSize ImageDecoder::fitSize(const QSize& size, const QSize& box)
{
    if (size.isEmpty())
        return size;
    if (box.isEmpty())
        return QSize();
    if (size.width() <= box.width() && size.height() <= box.height())
        return size;
    return size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

QSize ImageDecoder::coverSize(const QSize& size, const QList<QSize>& boxes)
{
    if (size.isEmpty())
        return size;
    double factor = 0;
    for (const QSize& box : boxes) {
        const QSize t = fitSize(size, box);
        if (t.isEmpty())
            continue;
        factor = qMax(factor, qMax(double(t.width()) / size.width(), double(t.height()) / size.height()));
    }
    if (factor <= 0 || factor >= 1)
        return size;
    const QSize s(int(std::ceil(size.width() * factor - 1e-9)), int(std::ceil(size.height() * factor - 1e-9)));
    return s.boundedTo(size).expandedTo(QSize(1, 1));
}

ImageDecoder::Result ImageDecoder::decodeFile(const QString& path, const QList<QSize>& boxes)
{
    QFile file;
    if (!openForDecode(file, path))
        return Result();
    return decodeDevice(file, boxes);
}

ImageDecoder::Result ImageDecoder::decodeFileToFit(const QString& path, const QSize& box)
{
    QFile file;
    if (box.isEmpty() || !openForDecode(file, path))
        return Result();
    return decodeDevice(file, { box }, true);
}

ImageDecoder::Result ImageDecoder::decodeData(const QByteArray& data, const QList<QSize>& boxes)
{
    if (data.isEmpty())
        return Result();
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return Result();
    return decodeDevice(buffer, boxes);
}

bool ImageDecoder::readHeader(const QString& path, QSize& fullSize, QByteArray* format)
{
    fullSize = QSize();
    QFile file;
    if (!platform::openRegularFile(file, path) || file.size() == 0)
        return false;
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    const QByteArray fmt = reader.format();
    if (format)
        *format = fmt;
    if (isSvgFormat(fmt)) {
        if (file.size() > kMaxSvgBytes || !file.seek(0))
            return false;
        QSvgRenderer renderer;
        if (!renderer.load(file.readAll()))
            return false;
        fullSize = renderer.defaultSize();
        return !fullSize.isEmpty();
    }
    const QSize stored = reader.size();
    if (!stored.isValid())
        return false;
    fullSize = rotates(reader.transformation()) ? stored.transposed() : stored;
    return true;
}

ImageDecoder::Result ImageDecoder::decodeDevice(QIODevice& device, const QList<QSize>& boxes, bool growSvg)
{
    QImageReader reader(&device);
    reader.setAutoTransform(true);
    Result r;
    r.format = reader.format();
    if (isSvgFormat(r.format)) {
        if (device.size() > kMaxSvgBytes || !device.seek(0))
            return r;
        Result svg = decodeSvg(device.readAll(), boxes, growSvg);
        svg.format = r.format;
        return svg;
    }

    const QSize stored = reader.size();
    const bool turned = rotates(reader.transformation());
    if (stored.isValid()) {
        r.fullSize = turned ? stored.transposed() : stored;
        if (megapixels(stored) > kBudgetMegapixels) {
            r.tooLarge = true;
            return r;
        }
    }
    const QSize shown = stored.isValid() ? coverSize(r.fullSize, boxes) : QSize();
    // Qt scales before it turns: the scaled size is asked for in the stored orientation.
    const QSize storedTarget = turned ? shown.transposed() : shown;
    if (stored.isValid() && storedTarget != stored && reader.supportsOption(QImageIOHandler::ScaledSize)
        && r.format == "jpeg") {
        BudgetHold hold(megapixels(storedTarget) * 2);
        reader.setScaledSize(storedTarget);
        if (!reader.read(&r.image))
            r.image = QImage();
        return r;
    }

    // A whole decode, and the scaled copy made from it, hold the budget together. A size the header does not
    // tell is taken as large.
    const int units = stored.isValid() ? megapixels(stored) + megapixels(shown) : kBudgetMegapixels / 4;
    BudgetHold hold(units);
    QImage image;
    if (!reader.read(&image))
        return r;
    if (!r.fullSize.isValid())
        r.fullSize = image.size();
    const QSize target = coverSize(image.size(), boxes);
    r.image = target == image.size() ? image : image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return r;
}

ImageDecoder::Result ImageDecoder::decodeSvg(const QByteArray& data, const QList<QSize>& boxes, bool growSvg)
{
    Result r;
    QSvgRenderer renderer;
    if (!renderer.load(data))
        return r;
    const QSize declared = renderer.defaultSize();
    if (declared.isEmpty())
        return r;
    r.fullSize = declared;
    // Rendered straight at the size wanted; asked for whole, no larger than a bounded side.
    QSize target = growSvg && boxes.size() == 1 && !boxes.first().isEmpty()
        ? declared.scaled(boxes.first(), Qt::KeepAspectRatio).expandedTo(QSize(1, 1))
        : coverSize(declared, boxes);
    target = fitSize(target, QSize(kMaxSvgSide, kMaxSvgSide));
    if (target.isEmpty())
        return r;
    BudgetHold hold(megapixels(target));
    QImage image(target, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return r;
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    r.image = image;
    return r;
}
