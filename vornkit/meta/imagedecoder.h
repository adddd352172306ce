#pragma once

#include "sys/vornkit_global.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

class QIODevice;

// Decodes pictures for showing, the one way every view does it: only regular files are read, the picture comes
// upright (Exif orientation applied), JPEGs decode at reduced scale, SVGs render straight at the size wanted, and
// every whole-image decode with its scaled copies counts against one process-wide pixel budget.
class VORNKIT_EXPORT ImageDecoder {
public:
    // Larger files are not read.
    static const qint64 kMaxFileBytes;
    // Megapixels that decodes in flight may hold together; a picture declaring more is not decoded at all.
    static const int kBudgetMegapixels;
    // An SVG asked for at its own size renders at most this large.
    static const int kMaxSvgSide;

    struct Result {
        QImage image; // null when nothing could be decoded
        QSize fullSize; // the whole picture as shown (upright); valid whenever its header could be read
        QByteArray format; // the reader's name for it ("jpeg", "png", "svg", ...)
        bool tooLarge = false; // the header declares more pixels than the budget: not decoded
    };

    // The picture just large enough that its fit into each box can be scaled down from it (never enlarged);
    // empty boxes are left out, and without any other at its whole size.
    static Result decodeFile(const QString& path, const QList<QSize>& boxes = {});
    static Result decodeData(const QByteArray& data, const QList<QSize>& boxes = {});
    // The picture fitted into the box: a bitmap as decodeFile gives it (never enlarged), an SVG rendered at its
    // whole fit, larger than its declared size when the box is (bounded by kMaxSvgSide).
    static Result decodeFileToFit(const QString& path, const QSize& box);
    // Size as shown and format, from the header alone; false when the file cannot be read as a picture.
    static bool readHeader(const QString& path, QSize& fullSize, QByteArray* format = nullptr);

    // The size fitted into the box keeping its aspect, never enlarged; empty for an empty box.
    static QSize fitSize(const QSize& size, const QSize& box);
    // The smallest size from which every non-empty box's fit can be scaled down; the size itself without one.
    static QSize coverSize(const QSize& size, const QList<QSize>& boxes);

private:
    static Result decodeDevice(QIODevice& device, const QList<QSize>& boxes, bool growSvg = false);
    static Result decodeSvg(const QByteArray& data, const QList<QSize>& boxes, bool growSvg = false);
};
