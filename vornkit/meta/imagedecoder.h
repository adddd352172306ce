#pragma once

#include "sys/largebuffer.h"
#include "sys/vornkit_global.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <atomic>

class QIODevice;

// Decodes pictures for showing, the one way every view does it: only regular files are read, the picture comes
// upright (Exif orientation applied), JPEGs decode at reduced scale, SVGs render straight at the size wanted, and
// every decode with its intermediate images (conversions, scaled copies, the file's bytes when kept) counts
// against one process-wide budget of bytes. Pictures come out ready to paint: 32 bits a pixel, premultiplied when
// they have alpha.
class VORNKIT_EXPORT ImageDecoder {
public:
    // Larger files are not read.
    static const qint64 kMaxFileBytes;
    // A picture declaring more megapixels is not decoded at all. Decodes in flight hold together at most this many
    // megapixels at four bytes each.
    static const int kBudgetMegapixels;
    // An SVG asked for at its own size renders at most this large; a larger file is not parsed.
    static const int kMaxSvgSide;
    static const qint64 kMaxSvgBytes;
    // Bytes that the cached frames of one animation may take.
    static const qint64 kMaxMovieCacheBytes;

    struct Result {
        QImage image; // null when nothing could be decoded
        QSize fullSize; // the whole picture as shown (upright); valid whenever its header could be read
        QByteArray format; // the reader's name for it ("jpeg", "png", "svg", ...)
        bool tooLarge = false; // the header declares more than the budget allows: not decoded
        QList<QImage> fitted; // the picture fitted into each box asked for, in order; null for an empty box
        bool fileRead = false; // decodeFile with bytes: the whole file was read into them
        bool reduced = false; // decodeFileGreyAveraged: too large whole, decoded reduced by its reader
    };

    // The picture just large enough that its fit into each box can be scaled down from it (never enlarged);
    // empty boxes are left out, and without any other at its whole size.
    static Result decodeFile(const QString& path, const QList<QSize>& boxes = {});
    // The same, and the file's bytes (for its metadata) read once with it; they count against the budget while
    // the picture decodes. bytes stay empty unless fileRead.
    static Result decodeFile(const QString& path, const QList<QSize>& boxes, QByteArray& bytes);
    static Result decodeData(const QByteArray& data, const QList<QSize>& boxes = {});
    // The picture fitted into the box: a bitmap as decodeFile gives it (never enlarged), an SVG rendered at its
    // whole fit, larger than its declared size when the box is (bounded by kMaxSvgSide).
    static Result decodeFileToFit(const QString& path, const QSize& box);
    // Working memory that one thread keeps from decode to decode: pictures of one size then take no new memory.
    struct GreyScratch {
        QImage averaged; // the result (drop it before the next decode, or it is copied)
        QImage colour; // a picture that its reader decodes in colour first
        LargeBuffer coefficients; // a progressive JPEG's coefficients
    };
    // The picture upright as 8-bit grey of its colours (0.299 R + 0.587 G + 0.114 B, in 15-bit fixed point; a fully
    // transparent pixel white), brought to exactly size by AreaReducer, for comparing pictures: equal pixels come out
    // equal whatever the format and orientation. A JPEG is read in strips straight into the averages, without a whole
    // copy of it. One too large to decode whole within the budget comes reduced by its own reader while it decodes
    // (a JPEG in eighths), to the least size no smaller than least on either side, when its reader can and that fits;
    // else nothing is decoded (tooLarge).
    static Result decodeFileGreyAveraged(
        const QString& path, const QSize& size, const QSize& least, GreyScratch* scratch = nullptr);
    // A decoded picture the same way (as it is: no turning).
    static QImage greyAveraged(const QImage& image, const QSize& size, QImage* buffer = nullptr);
    // The picture scaled down to size through a filter that averages away detail finer than the new pixels (fine
    // patterns turn grey instead of into moiré), the work counted against the budget while it is done. Null for a
    // null picture or an empty size, or when stop turned true meanwhile; never larger than the picture.
    static QImage reduce(const QImage& image, const QSize& size, const std::atomic_bool* stop = nullptr);
    // Size as shown and format, from the header alone; false when the file cannot be read as a picture.
    static bool readHeader(const QString& path, QSize& fullSize, QByteArray* format = nullptr);

    // The size fitted into the box keeping its aspect, never enlarged; empty for an empty box.
    static QSize fitSize(const QSize& size, const QSize& box);
    // The smallest size from which every non-empty box's fit can be scaled down; the size itself without one.
    static QSize coverSize(const QSize& size, const QList<QSize>& boxes);

    // How an animation may play: not at all when its frames are too large to decode within the budget; keeping
    // every frame only while frame size times frame count fits kMaxMovieCacheBytes.
    enum MoviePlay { MovieRefused, MovieUncached, MovieCached };
    static MoviePlay moviePlay(const QSize& frameSize, int frameCount);
    // The same from an animation's header; the device is left at its start.
    static MoviePlay moviePlay(QIODevice& device);

private:
    static Result decodeDevice(QIODevice& device, const QList<QSize>& boxes, QByteArray* bytes, bool growSvg);
    static Result decodeDeviceUnscaled(QIODevice& device, const QSize& least, QImage* buffer);
};
