#include "meta/imagedecoder.h"

#include "meta/areareducer.h"
#include "meta/imagereducer.h"
#include "meta/jpegrowreader.h"
#include "sys/platform.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QSemaphore>
#include <QSvgRenderer>
#include <QTransform>

#include <cmath>
#include <memory>
#include <vector>

const qint64 ImageDecoder::kMaxFileBytes = qint64(1) << 30;
const int ImageDecoder::kBudgetMegapixels = 128;
const int ImageDecoder::kMaxSvgSide = 4096;
const qint64 ImageDecoder::kMaxSvgBytes = qint64(64) << 20;
const qint64 ImageDecoder::kMaxMovieCacheBytes = qint64(128) << 20;

namespace {

// Parsing an SVG takes up to about this many times its bytes.
const int kSvgParseFactor = 16;
const qint64 kUnitBytes = 64 * 1024;

qint64 budgetBytes()
{
    return qint64(ImageDecoder::kBudgetMegapixels) * 4000000;
}

int budgetUnits()
{
    return int(budgetBytes() / kUnitBytes);
}

QSemaphore& budget()
{
    static QSemaphore s(budgetUnits());
    return s;
}

qint64 area(const QSize& size)
{
    return size.isValid() ? qint64(size.width()) * size.height() : 0;
}

bool beyondPixelLimit(const QSize& size)
{
    return area(size) > qint64(ImageDecoder::kBudgetMegapixels) * 1000000;
}

// Holds budget for the life of a decode and its intermediate images; more than the whole budget waits for all of
// it. One hold a thread at a time, taken at once, so that holders never wait on each other.
class BudgetHold {
public:
    explicit BudgetHold(qint64 bytes)
        : m_units(int(qBound<qint64>(0, (bytes + kUnitBytes - 1) / kUnitBytes, budgetUnits())))
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

bool isSvgFormat(const QByteArray& format)
{
    return format == "svg" || format == "svgz";
}

bool rotates(QImageIOHandler::Transformations t)
{
    return t.testFlag(QImageIOHandler::TransformationRotate90);
}

// The size a picture decodes at. A GIF's reader tells the first frame's size, yet decodes every frame onto the
// whole canvas that its header declares.
QSize storedSize(QImageReader& reader, QIODevice& device, const QByteArray& format)
{
    const QSize size = reader.size();
    if (format != "gif")
        return size;
    const qint64 pos = device.pos();
    if (!device.seek(0))
        return size;
    const QByteArray head = device.read(10);
    if (!device.seek(pos) || head.size() < 10)
        return size;
    const auto le16 = [&head](int at) { return int(quint8(head[at])) | int(quint8(head[at + 1])) << 8; };
    return QSize(le16(6), le16(8)).expandedTo(size);
}

// Bytes a JPEG decoder keeps beside the picture: a progressive one holds every coefficient of the whole picture at
// any scale, a sequential one a few rows (0). -1 when the frame header cannot be found.
qint64 jpegCoefficientBytes(QIODevice& device)
{
    const qint64 pos = device.pos();
    qint64 bytes = -1;
    if (device.seek(0) && device.read(2) == QByteArray("\xFF\xD8", 2)) {
        for (int segment = 0; segment < 256; ++segment) {
            const QByteArray head = device.read(4);
            if (head.size() < 4 || quint8(head[0]) != 0xFF)
                break;
            const int marker = quint8(head[1]);
            const int length = quint8(head[2]) << 8 | quint8(head[3]);
            const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
            if (!frame) {
                if (length < 2 || !device.seek(device.pos() + length - 2))
                    break;
                continue;
            }
            if ((marker & 0x03) != 0x02) { // not progressive
                bytes = 0;
                break;
            }
            const QByteArray sof = device.read(length - 2);
            const int components = sof.size() >= 6 ? quint8(sof[5]) : 0;
            if (components < 1 || sof.size() < 6 + 3 * components)
                break;
            const qint64 height = quint8(sof[1]) << 8 | quint8(sof[2]);
            const qint64 width = quint8(sof[3]) << 8 | quint8(sof[4]);
            int hMax = 1, vMax = 1;
            for (int c = 0; c < components; ++c) {
                hMax = qMax(hMax, quint8(sof[7 + 3 * c]) >> 4);
                vMax = qMax(vMax, quint8(sof[7 + 3 * c]) & 0x0F);
            }
            bytes = 0;
            for (int c = 0; c < components; ++c) {
                const int h = qMax(1, quint8(sof[7 + 3 * c]) >> 4), v = qMax(1, quint8(sof[7 + 3 * c]) & 0x0F);
                bytes += (width * h / hMax + 8) * (height * v / vMax + 8) * 2; // a 16-bit coefficient a pixel
            }
            break;
        }
    }
    device.seek(pos);
    return bytes;
}

// What a decoder of the format keeps beside the picture; a JPEG frame header not found is taken as progressive.
qint64 readerBytes(QIODevice& device, const QByteArray& format, const QSize& stored)
{
    if (format != "jpeg")
        return 0;
    const qint64 bytes = jpegCoefficientBytes(device);
    return bytes < 0 ? area(stored) * 3 : bytes;
}

int bytesPerPixel(QImage::Format format)
{
    if (format == QImage::Format_Invalid)
        return 4;
    return qMax(1, int(QImage::toPixelFormat(format).bitsPerPixel()) / 8);
}

// The stored picture turned upright as the Exif orientation says, the way the reader's own transform does it.
QImage upright(QImage image, QImageIOHandler::Transformations t)
{
    if (image.isNull() || t == QImageIOHandler::TransformationNone)
        return image;
    if (int(t) == QImageIOHandler::TransformationRotate270)
        return image.transformed(QTransform().rotate(270));
    image = std::move(image).mirrored(
        t.testFlag(QImageIOHandler::TransformationMirror), t.testFlag(QImageIOHandler::TransformationFlip));
    if (rotates(t))
        image = image.transformed(QTransform().rotate(90));
    return image;
}

// Ready to paint and to scale without another copy; in place where the pixel size allows.
void makePaintable(QImage& image)
{
    const QImage::Format wanted = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (!image.isNull() && image.format() != wanted)
        image.convertTo(wanted);
}

// What the JPEG reader decodes before its own scaling: the smallest of its eighths that covers the target.
QSize jpegDecodedSize(const QSize& stored, const QSize& target)
{
    const double f = qMin(double(stored.width()) / target.width(), double(stored.height()) / target.height());
    const int eighths = qBound(1, int(std::ceil(8 / f)), 8);
    return QSize(int(std::ceil(stored.width() * eighths / 8.0)), int(std::ceil(stored.height() * eighths / 8.0)));
}

// Bytes a raster decode holds at its peak: the decoded picture and its conversion to 32 bits, what the reader keeps
// beside it, the scaled and turned copies and the fitted pictures.
qint64 rasterCost(const QSize& decoded, int bpp, qint64 readerBytes, const QByteArray& format,
    const QSize& storedTarget, bool transformed, const QList<QSize>& fits)
{
    qint64 cost = area(decoded) * bpp + readerBytes;
    if (bpp != 4)
        cost += area(decoded) * 4;
    if (format == "gif")
        cost += area(decoded) * 4; // the frame behind the frame
    if (storedTarget != decoded)
        cost += area(storedTarget) * 4;
    if (transformed)
        cost += area(storedTarget) * 4;
    for (const QSize& fit : fits)
        cost += area(fit) * 4;
    return cost;
}

// The size to ask of a reader that scales while it decodes, with both sides at least least (or as near as it
// goes): a JPEG in whole eighths of the stored size (rounded down, so that its reader takes that eighth), another
// reader at any size.
QSize reducedSize(const QSize& stored, const QSize& least, const QByteArray& format)
{
    if (format == "jpeg") {
        const auto eighth = [&stored](int e) {
            return QSize(stored.width() * e / 8, stored.height() * e / 8).expandedTo(QSize(1, 1));
        };
        int e = 1;
        while (e < 8 && (eighth(e).width() < least.width() || eighth(e).height() < least.height()))
            ++e;
        return eighth(e);
    }
    const double f = qMax(double(least.width()) / stored.width(), double(least.height()) / stored.height());
    if (f >= 1)
        return stored;
    return QSize(int(std::ceil(stored.width() * f)), int(std::ceil(stored.height() * f))).boundedTo(stored);
}

// Rows a JPEG is read in before they are averaged.
const int kStripRows = 16;

// Bytes a JPEG read in strips holds: the strip and the library's own rows.
qint64 stripBytes(const QSize& size)
{
    return qint64(size.width()) * 4 * (kStripRows + 8);
}

// Grey of 32-bit B, G, R, A pixels, weighed as OpenCV weighs them; with alpha a fully transparent pixel is white.
void greyRow(const uchar* in, uchar* out, int n, bool alpha)
{
    for (int x = 0; x < n; ++x, in += 4)
        out[x] = uchar((in[0] * 3735 + in[1] * 19235 + in[2] * 9798 + (1 << 14)) >> 15);
    if (!alpha)
        return;
    in -= qsizetype(n) * 4;
    for (int x = 0; x < n; ++x, in += 4) {
        if (in[3] == 0)
            out[x] = 255;
    }
}

bool greyDirect(const QImage& image)
{
    return image.format() == QImage::Format_Grayscale8 || image.format() == QImage::Format_RGB32
        || image.format() == QImage::Format_ARGB32;
}

// Feeds a decoded picture's rows to the reducer as grey: a grey picture as it is, others by their colours (palette,
// 1-bit, 16-bit and premultiplied pictures converted first).
void reduceImage(const QImage& image, AreaReducer& reducer)
{
    if (image.format() == QImage::Format_Grayscale8) {
        for (int y = 0; y < image.height(); ++y)
            reducer.addRow(image.constScanLine(y));
        return;
    }
    const QImage colour = greyDirect(image) ? image : image.convertToFormat(QImage::Format_ARGB32);
    if (colour.isNull())
        return;
    const bool alpha = colour.format() == QImage::Format_ARGB32;
    std::vector<uchar> grey(size_t(colour.width()));
    for (int y = 0; y < colour.height(); ++y) {
        greyRow(colour.constScanLine(y), grey.data(), colour.width(), alpha);
        reducer.addRow(grey.data());
    }
}

// A JPEG of the stored size read in strips straight into the reducer; null when the strip reader does not take it or
// the data are damaged.
QImage reduceJpeg(QIODevice& device, const QSize& stored, AreaReducer& reducer, LargeBuffer* coefficients)
{
    JpegRowReader jpeg(&device, coefficients);
    if (!jpeg.start() || jpeg.size() != stored)
        return QImage();
    const int depth = jpeg.isGrey() ? 1 : 4;
    std::vector<uchar> strip(size_t(stored.width()) * depth * kStripRows);
    std::vector<uchar> grey(size_t(stored.width()));
    uchar* rows[kStripRows];
    for (int i = 0; i < kStripRows; ++i)
        rows[i] = strip.data() + size_t(i) * stored.width() * depth;
    int y = 0;
    while (y < stored.height()) {
        const int n = jpeg.readRows(rows, qMin(kStripRows, stored.height() - y));
        if (n <= 0)
            break;
        for (int i = 0; i < n; ++i) {
            if (depth == 4)
                greyRow(rows[i], grey.data(), stored.width(), false);
            reducer.addRow(depth == 4 ? grey.data() : rows[i]);
        }
        y += n;
    }
    return y == stored.height() && !jpeg.failed() ? reducer.result() : QImage();
}

void fillFitted(ImageDecoder::Result& r, const QList<QSize>& boxes)
{
    for (const QSize& box : boxes) {
        const QSize fit = ImageDecoder::fitSize(r.fullSize, box);
        if (fit.isEmpty() || r.image.isNull())
            r.fitted << QImage();
        else if (fit == r.image.size())
            r.fitted << r.image;
        else
            r.fitted << r.image.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
}

// Rendered straight at the size wanted; asked for whole, no larger than a bounded side.
// grow: fitted whole into the one box, larger than the declared size when the box is.
void renderSvg(const QByteArray& data, const QList<QSize>& boxes, bool grow, ImageDecoder::Result& r)
{
    QSvgRenderer renderer;
    if (!renderer.load(data))
        return;
    const QSize declared = renderer.defaultSize();
    if (declared.isEmpty())
        return;
    r.fullSize = declared;
    const QSize wanted = grow && boxes.size() == 1 && !boxes.first().isEmpty()
        ? declared.scaled(boxes.first(), Qt::KeepAspectRatio).expandedTo(QSize(1, 1))
        : ImageDecoder::coverSize(declared, boxes);
    const QSize target = ImageDecoder::fitSize(wanted, QSize(ImageDecoder::kMaxSvgSide, ImageDecoder::kMaxSvgSide));
    if (target.isEmpty())
        return;
    QImage image(target, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return;
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    r.image = image;
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
    if (!platform::openRegularFile(file, path) || file.size() > kMaxFileBytes || file.size() == 0)
        return Result();
    return decodeDevice(file, boxes, nullptr, false);
}

ImageDecoder::Result ImageDecoder::decodeFile(const QString& path, const QList<QSize>& boxes, QByteArray& bytes)
{
    bytes.clear();
    QFile file;
    if (!platform::openRegularFile(file, path) || file.size() > kMaxFileBytes)
        return Result();
    if (file.size() == 0) {
        Result r;
        r.fileRead = true;
        return r;
    }
    return decodeDevice(file, boxes, &bytes, false);
}

ImageDecoder::Result ImageDecoder::decodeFileToFit(const QString& path, const QSize& box)
{
    QFile file;
    if (box.isEmpty() || !platform::openRegularFile(file, path) || file.size() > kMaxFileBytes || file.size() == 0)
        return Result();
    return decodeDevice(file, { box }, nullptr, true);
}

ImageDecoder::Result ImageDecoder::decodeData(const QByteArray& data, const QList<QSize>& boxes)
{
    if (data.isEmpty())
        return Result();
    QBuffer buffer;
    buffer.setData(data);
    if (!buffer.open(QIODevice::ReadOnly))
        return Result();
    return decodeDevice(buffer, boxes, nullptr, false);
}

ImageDecoder::Result ImageDecoder::decodeFileGreyAveraged(
    const QString& path, const QSize& size, const QSize& least, GreyScratch* scratch)
{
    QFile file;
    if (size.isEmpty() || !platform::openRegularFile(file, path) || file.size() > kMaxFileBytes || file.size() == 0)
        return Result();
    Result r;
    QSize stored;
    QImageIOHandler::Transformations turn;
    {
        QImageReader reader(&file);
        reader.setAutoTransform(false);
        r.format = reader.format();
        stored = reader.size();
        turn = reader.transformation();
    }
    // A JPEG whose whole decode fits the budget: read in strips straight into the averages, in the stored
    // orientation, which the averages are then turned to.
    if (r.format == "jpeg" && stored.isValid() && !beyondPixelLimit(stored)) {
        const QSize storedSize = rotates(turn) ? size.transposed() : size;
        const qint64 cost = readerBytes(file, r.format, stored) + stripBytes(stored)
            + AreaReducer::workBytes(stored, storedSize)
            + (turn == QImageIOHandler::TransformationNone ? 0 : area(size));
        if (cost <= budgetBytes() && file.seek(0)) {
            BudgetHold hold(cost);
            AreaReducer reducer(stored, storedSize, scratch ? &scratch->averaged : nullptr);
            QImage averaged = reduceJpeg(file, stored, reducer, scratch ? &scratch->coefficients : nullptr);
            if (!averaged.isNull()) {
                r.fullSize = rotates(turn) ? stored.transposed() : stored;
                r.image = upright(std::move(averaged), turn);
                return r;
            }
        }
    }
    // Other pictures, and JPEGs that the strip reader does not take: decoded by their reader, upright.
    if (!file.seek(0))
        return Result();
    r = decodeDeviceUnscaled(file, least, scratch ? &scratch->colour : nullptr);
    r.image = greyAveraged(r.image, size, scratch ? &scratch->averaged : nullptr);
    return r;
}

QImage ImageDecoder::greyAveraged(const QImage& image, const QSize& size, QImage* buffer)
{
    if (image.isNull() || size.isEmpty())
        return QImage();
    BudgetHold hold(AreaReducer::workBytes(image.size(), size) + (greyDirect(image) ? 0 : area(image.size()) * 4));
    AreaReducer reducer(image.size(), size, buffer);
    reduceImage(image, reducer);
    return reducer.result();
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

QImage ImageDecoder::reduce(const QImage& image, const QSize& size, const std::atomic_bool* stop)
{
    if (image.isNull() || size.isEmpty())
        return QImage();
    const QSize target = size.boundedTo(image.size());
    if (target == image.size())
        return image;
    const bool paintable
        = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32_Premultiplied;
    BudgetHold hold(ImageReducer::workBytes(image.size(), target) + (paintable ? 0 : area(image.size()) * 4));
    QImage source = image;
    makePaintable(source);
    return ImageReducer::reduce(source, target, stop);
}

ImageDecoder::MoviePlay ImageDecoder::moviePlay(const QSize& frameSize, int frameCount)
{
    // While it plays: the reader's frame and the one behind it, the movie's pixmap and the label's copy.
    const qint64 frameBytes = area(frameSize) * 4;
    if (frameSize.isEmpty() || beyondPixelLimit(frameSize) || frameBytes * 4 > budgetBytes())
        return MovieRefused;
    return frameCount > 0 && frameBytes * frameCount <= kMaxMovieCacheBytes ? MovieCached : MovieUncached;
}

ImageDecoder::MoviePlay ImageDecoder::moviePlay(QIODevice& device)
{
    MoviePlay play = MovieRefused;
    if (device.seek(0)) {
        QImageReader reader(&device);
        const QByteArray format = reader.format();
        play = moviePlay(storedSize(reader, device, format), reader.imageCount());
    }
    if (!device.seek(0))
        return MovieRefused;
    return play;
}

ImageDecoder::Result ImageDecoder::decodeDevice(
    QIODevice& device, const QList<QSize>& boxes, QByteArray* bytes, bool growSvg)
{
    Result r;
    const qint64 deviceBytes = device.size();
    // The file's bytes, read for the caller under the hold; too many to keep are not read.
    const qint64 kept = bytes && deviceBytes <= budgetBytes() ? deviceBytes : 0;
    auto readKept = [&]() {
        if (!bytes || kept != deviceBytes || !device.seek(0))
            return false;
        *bytes = device.readAll();
        r.fileRead = bytes->size() == deviceBytes;
        if (!r.fileRead)
            bytes->clear();
        return r.fileRead;
    };

    QImageReader header(&device);
    header.setAutoTransform(false);
    r.format = header.format();
    if (r.format.isEmpty()) {
        BudgetHold hold(kept);
        readKept();
        return r;
    }

    if (isSvgFormat(r.format)) {
        if (deviceBytes > kMaxSvgBytes) {
            BudgetHold hold(kept);
            readKept();
            return r;
        }
        qint64 largestBox = 0;
        for (const QSize& box : boxes)
            largestBox = qMax(largestBox, area(box));
        const qint64 target = boxes.isEmpty() ? qint64(kMaxSvgSide) * kMaxSvgSide : largestBox;
        BudgetHold hold(deviceBytes * (1 + kSvgParseFactor) + target * 4 * (1 + boxes.size()));
        QByteArray data;
        if (bytes) {
            if (!readKept())
                return r;
            data = *bytes;
        } else if (device.seek(0)) {
            data = device.readAll();
        }
        renderSvg(data, boxes, growSvg, r);
        fillFitted(r, boxes);
        return r;
    }

    const QSize stored = storedSize(header, device, r.format);
    const QImageIOHandler::Transformations turn = header.transformation();
    const bool turned = rotates(turn);
    QSize storedTarget;
    bool reduced = false;
    qint64 cost = budgetBytes() / 4; // a size the header does not tell is taken as large
    if (stored.isValid()) {
        r.fullSize = turned ? stored.transposed() : stored;
        const QSize shown = coverSize(r.fullSize, boxes);
        // Qt's readers scale before they turn: the scaled size is asked for in the stored orientation.
        storedTarget = turned ? shown.transposed() : shown;
        reduced = storedTarget != stored && r.format == "jpeg" && header.supportsOption(QImageIOHandler::ScaledSize);
        QList<QSize> fits;
        for (const QSize& box : boxes)
            fits << fitSize(r.fullSize, box);
        cost = rasterCost(reduced ? jpegDecodedSize(stored, storedTarget) : stored, bytesPerPixel(header.imageFormat()),
            readerBytes(device, r.format, stored), r.format, storedTarget, turn != QImageIOHandler::TransformationNone,
            fits);
        r.tooLarge = beyondPixelLimit(stored) || cost + kept > budgetBytes();
    }
    if (r.tooLarge) {
        BudgetHold hold(kept);
        readKept();
        return r;
    }

    BudgetHold hold(cost + kept);
    QBuffer keptBuffer;
    std::unique_ptr<QImageReader> keptReader;
    QImageReader* reader = &header;
    if (bytes) {
        if (!readKept())
            return r;
        keptBuffer.setBuffer(bytes);
        if (!keptBuffer.open(QIODevice::ReadOnly))
            return r;
        keptReader = std::make_unique<QImageReader>(&keptBuffer, r.format);
        keptReader->setAutoTransform(false);
        reader = keptReader.get();
    }
    if (reduced)
        reader->setScaledSize(storedTarget);
    QImage image;
    if (!reader->read(&image) || image.isNull())
        return r;
    if (!stored.isValid()) {
        // Judged by what came out.
        r.fullSize = turned ? image.size().transposed() : image.size();
        if (beyondPixelLimit(image.size())) {
            r.tooLarge = true;
            return r;
        }
        const QSize shown = coverSize(r.fullSize, boxes);
        storedTarget = turned ? shown.transposed() : shown;
    }
    makePaintable(image);
    if (image.size() != storedTarget)
        image = image.scaled(storedTarget, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    r.image = upright(std::move(image), turn);
    fillFitted(r, boxes);
    return r;
}

ImageDecoder::Result ImageDecoder::decodeDeviceUnscaled(QIODevice& device, const QSize& least, QImage* buffer)
{
    Result r;
    QImageReader reader(&device);
    reader.setAutoTransform(false);
    r.format = reader.format();
    if (r.format.isEmpty())
        return r;
    if (isSvgFormat(r.format)) {
        const qint64 deviceBytes = device.size();
        if (deviceBytes > kMaxSvgBytes || !device.seek(0))
            return r;
        BudgetHold hold(deviceBytes * (1 + kSvgParseFactor) + qint64(kMaxSvgSide) * kMaxSvgSide * 4);
        renderSvg(device.readAll(), {}, false, r);
        return r;
    }

    const QSize stored = storedSize(reader, device, r.format);
    const QImageIOHandler::Transformations turn = reader.transformation();
    const bool turned = rotates(turn);
    const bool transformed = turn != QImageIOHandler::TransformationNone;
    qint64 cost = budgetBytes() / 4; // a size the header does not tell is taken as large
    if (stored.isValid()) {
        r.fullSize = turned ? stored.transposed() : stored;
        const qint64 held = readerBytes(device, r.format, stored);
        const int bpp = bytesPerPixel(reader.imageFormat());
        cost = rasterCost(stored, bpp, held, r.format, stored, transformed, {});
        if (beyondPixelLimit(stored) || cost > budgetBytes()) {
            // Too large whole: reduced by a reader that scales while it decodes, never below least.
            const QSize target = reducedSize(stored, least.expandedTo(QSize(1, 1)), r.format);
            const QSize decoded = r.format == "jpeg" ? jpegDecodedSize(stored, target) : target;
            cost = rasterCost(decoded, bpp, held, r.format, target, transformed, {});
            if (!reader.supportsOption(QImageIOHandler::ScaledSize) || target == stored || beyondPixelLimit(decoded)
                || cost > budgetBytes()) {
                r.tooLarge = true;
                return r;
            }
            reader.setScaledSize(target);
            r.reduced = true;
        }
    }

    BudgetHold hold(cost);
    QImage own;
    QImage& image = buffer ? *buffer : own;
    if (!reader.read(&image) || image.isNull())
        return r;
    if (!stored.isValid()) {
        r.fullSize = turned ? image.size().transposed() : image.size();
        if (beyondPixelLimit(image.size())) {
            r.tooLarge = true;
            return r;
        }
    }
    r.image = buffer ? upright(QImage(image), turn) : upright(std::move(image), turn);
    return r;
}
