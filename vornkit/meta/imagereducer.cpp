#include "meta/imagereducer.h"

#include <QThread>
#include <QVector>
#include <QtConcurrent>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kBits = 14;
constexpr int kOne = 1 << kBits;
constexpr double kLobes = 3.0;
// Below this scale blocks of pixels are averaged first.
constexpr double kFilterScale = 1.0 / 8;

double lanczos(double x)
{
    x = std::abs(x);
    if (x < 1e-9)
        return 1.0;
    if (x >= kLobes)
        return 0.0;
    const double px = M_PI * x;
    return kLobes * std::sin(px) * std::sin(px / kLobes) / (px * px);
}

// For each of m samples taken from n: its first source sample, how many it takes and their weights (fixed point,
// summing to kOne), span weights a sample.
struct Taps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<int> weights;
    int span = 0;
};

Taps makeTaps(int n, int m)
{
    Taps t;
    if (m == n) {
        t.span = 1;
        t.count.assign(m, 1);
        t.weights.assign(m, kOne);
        for (int i = 0; i < m; ++i)
            t.first.push_back(i);
        return t;
    }
    const double scale = double(m) / n;
    const double support = kLobes / scale;
    t.span = int(std::ceil(support)) * 2 + 2;
    t.first.resize(m);
    t.count.resize(m);
    t.weights.assign(size_t(m) * t.span, 0);
    std::vector<double> w(t.span);
    for (int i = 0; i < m; ++i) {
        const double centre = (i + 0.5) / scale;
        const int lo = std::max(0, int(std::floor(centre - support)));
        const int count = std::min({ n, int(std::ceil(centre + support)) }) - lo;
        const int taken = std::min(count, t.span);
        double sum = 0;
        for (int k = 0; k < taken; ++k)
            sum += w[k] = lanczos((lo + k + 0.5 - centre) * scale);
        int* out = &t.weights[size_t(i) * t.span];
        int total = 0;
        int biggest = 0;
        for (int k = 0; k < taken; ++k) {
            out[k] = int(std::lround(w[k] / sum * kOne));
            total += out[k];
            if (out[k] > out[biggest])
                biggest = k;
        }
        out[biggest] += kOne - total; // exactly one: a flat picture stays flat
        t.first[i] = lo;
        t.count[i] = taken;
    }
    return t;
}

inline uchar toByte(int sum)
{
    const int v = (sum + kOne / 2) >> kBits;
    return uchar(v < 0 ? 0 : v > 255 ? 255 : v);
}

// How many pixels of a side are averaged into one before filtering: whole factors that leave at most kFilterScale
// to filter.
int blockFactor(int n, int m)
{
    return std::max(1, int(std::floor(double(n) / m * kFilterScale)));
}

QSize blockSize(const QSize& from, const QSize& to)
{
    const int kx = blockFactor(from.width(), to.width());
    const int ky = blockFactor(from.height(), to.height());
    return QSize((from.width() + kx - 1) / kx, (from.height() + ky - 1) / ky);
}

// Each kx x ky block of pixels averaged into one (the blocks at the right and bottom edges may be smaller).
QImage blockAverage(const QImage& source, int kx, int ky, const std::atomic_bool* stop)
{
    const QSize size((source.width() + kx - 1) / kx, (source.height() + ky - 1) / ky);
    QImage out(size, source.format());
    if (out.isNull())
        return out;
    std::vector<int> sums(size_t(size.width()) * 4);
    for (int by = 0; by < size.height(); ++by) {
        if (stop && stop->load())
            return QImage();
        std::fill(sums.begin(), sums.end(), 0);
        const int y0 = by * ky;
        const int y1 = std::min(source.height(), y0 + ky);
        for (int y = y0; y < y1; ++y) {
            const uchar* row = source.constScanLine(y);
            for (int x = 0, bx = 0, left = kx; x < source.width(); ++x, row += 4) {
                int* sum = &sums[size_t(bx) * 4];
                sum[0] += row[0];
                sum[1] += row[1];
                sum[2] += row[2];
                sum[3] += row[3];
                if (--left == 0) {
                    ++bx;
                    left = kx;
                }
            }
        }
        uchar* o = out.scanLine(by);
        for (int bx = 0; bx < size.width(); ++bx) {
            const int n = (std::min(source.width(), (bx + 1) * kx) - bx * kx) * (y1 - y0);
            for (int c = 0; c < 4; ++c)
                o[bx * 4 + c] = uchar((sums[size_t(bx) * 4 + c] + n / 2) / n);
        }
    }
    return out;
}

// Rows from to of the result: each filtered down its columns into one line, then across it.
void filterRows(const QImage& source, const Taps& ty, const Taps& tx, uchar* bits, qsizetype bytesPerLine, int from,
    int to, bool premultiplied, const std::atomic_bool* stop)
{
    const int n = source.width() * 4;
    const int width = int(tx.first.size());
    std::vector<int> sums(n);
    std::vector<uchar> line(n);
    for (int y = from; y < to; ++y) {
        if (stop && stop->load())
            return;
        std::fill(sums.begin(), sums.end(), 0);
        const int* wy = &ty.weights[size_t(y) * ty.span];
        for (int k = 0; k < ty.count[y]; ++k) {
            const int weight = wy[k];
            const uchar* row = source.constScanLine(ty.first[y] + k);
            int* sum = sums.data();
            for (int x = 0; x < n; ++x)
                sum[x] += weight * row[x];
        }
        for (int x = 0; x < n; ++x)
            line[x] = toByte(sums[x]);

        uchar* out = bits + y * bytesPerLine;
        for (int x = 0; x < width; ++x) {
            const uchar* p = line.data() + size_t(tx.first[x]) * 4;
            const int* wx = &tx.weights[size_t(x) * tx.span];
            int s0 = 0, s1 = 0, s2 = 0, s3 = 0;
            for (int k = 0; k < tx.count[x]; ++k, p += 4) {
                s0 += wx[k] * p[0];
                s1 += wx[k] * p[1];
                s2 += wx[k] * p[2];
                s3 += wx[k] * p[3];
            }
            out[x * 4] = toByte(s0);
            out[x * 4 + 1] = toByte(s1);
            out[x * 4 + 2] = toByte(s2);
            out[x * 4 + 3] = toByte(s3);
        }
        if (premultiplied) {
            // The lobes may overshoot: no colour above its alpha.
            auto* px = reinterpret_cast<QRgb*>(out);
            for (int x = 0; x < width; ++x) {
                const int a = qAlpha(px[x]);
                px[x] = qRgba(std::min(qRed(px[x]), a), std::min(qGreen(px[x]), a), std::min(qBlue(px[x]), a), a);
            }
        }
    }
}

} // namespace

qint64 ImageReducer::workBytes(const QSize& from, const QSize& to)
{
    const QSize block = blockSize(from, to);
    qint64 bytes = qint64(to.width()) * to.height() * 4;
    if (block != from)
        bytes += qint64(block.width()) * block.height() * 4;
    // Each band's sums and line.
    return bytes + qint64(block.width()) * 20 * std::max(1, QThread::idealThreadCount());
}

QImage ImageReducer::reduce(const QImage& image, const QSize& size, const std::atomic_bool* stop)
{
    const QImage::Format format = image.format();
    if (image.isNull() || size.isEmpty()
        || (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32_Premultiplied))
        return QImage();
    const QSize target = size.boundedTo(image.size());
    if (target == image.size())
        return image;

    QImage source = image;
    const int kx = blockFactor(image.width(), target.width());
    const int ky = blockFactor(image.height(), target.height());
    if (kx > 1 || ky > 1)
        source = blockAverage(image, kx, ky, stop);
    QImage result(target, format);
    if (source.isNull() || result.isNull())
        return QImage();
    const Taps ty = makeTaps(source.height(), target.height());
    const Taps tx = makeTaps(source.width(), target.width());

    // Bands of rows side by side on the global pool (this thread takes its share).
    const int rows = target.height();
    const int bands = std::clamp(rows / 32, 1, std::max(1, QThread::idealThreadCount()));
    QVector<int> starts;
    for (int b = 0; b < bands; ++b)
        starts << rows * b / bands;
    uchar* bits = result.bits();
    const qsizetype bytesPerLine = result.bytesPerLine();
    const bool premultiplied = format == QImage::Format_ARGB32_Premultiplied;
    QtConcurrent::blockingMap(starts, [&](int from) {
        const int b = starts.indexOf(from);
        const int to = b + 1 < bands ? starts.at(b + 1) : rows;
        filterRows(source, ty, tx, bits, bytesPerLine, from, to, premultiplied, stop);
    });
    if (stop && stop->load())
        return QImage();
    return result;
}
