#pragma once

#include <QImage>
#include <QSize>

#include <atomic>

// Scales pictures down through a Lanczos filter of three lobes widened by the reduction, so that detail finer than
// the new pixels averages away instead of beating into moiré. Reductions beyond an eighth first average whole blocks
// of pixels, which keeps the filter short. The rows are filtered in bands side by side on the global pool.
class ImageReducer {
public:
    // The picture (32 bits a pixel: RGB32 or premultiplied ARGB32) at size, no side larger than the picture's; null
    // for another format, or when stop turned true meanwhile.
    static QImage reduce(const QImage& image, const QSize& size, const std::atomic_bool* stop = nullptr);
    // The bytes a reduction holds at its peak beside the picture, the result included.
    static qint64 workBytes(const QSize& from, const QSize& to);
};
