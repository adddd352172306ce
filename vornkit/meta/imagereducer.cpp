#include "meta/imagereducer.h"

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

// The size blocks are averaged down to before filtering: whole factors that leave at most kFilterScale to filter.
QSize blockSize(const QSize& from, const QSize& to)
{
    const auto side = [](int n, int m) {
        const int k = std::max(1, int(std::floor(double(n) / m * kFilterScale)));
        return k > 1 ? std::max(m, (n + k - 1) / k) : n;
    };
    return QSize(side(from.width(), to.width()), side(from.height(), to.height()));
}

} // namespace

qint64 ImageReducer::workBytes(const QSize& from, const QSize& to)
{
    const QSize block = blockSize(from, to);
    qint64 bytes = qint64(to.width()) * to.height() * 4 + qint64(block.width()) * to.height() * 4;
    if (block != from)
        bytes += qint64(block.width()) * block.height() * 4;
    return bytes + qint64(block.width()) * 16; // the sums of one row
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
    const auto stopped = [stop] { return stop && stop->load(); };

    QImage source = image;
    const QSize block = blockSize(image.size(), target);
    if (block != image.size()) {
        // Qt's smooth scaling averages the pixels each new one covers.
        source = image.scaled(block, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (source.format() != format)
            source.convertTo(format);
    }
    const int w = source.width();
    const int h = source.height();

    // Down the columns first: the rows then filtered across are as few as the result has.
    QImage columns = source;
    if (target.height() != h) {
        columns = QImage(w, target.height(), format);
        if (columns.isNull())
            return QImage();
        const Taps ty = makeTaps(h, target.height());
        std::vector<int> sums(size_t(w) * 4);
        for (int y = 0; y < target.height(); ++y) {
            if (stopped())
                return QImage();
            std::fill(sums.begin(), sums.end(), 0);
            const int* weights = &ty.weights[size_t(y) * ty.span];
            for (int k = 0; k < ty.count[y]; ++k) {
                const int weight = weights[k];
                const uchar* row = source.constScanLine(ty.first[y] + k);
                int* sum = sums.data();
                for (int x = 0, n = w * 4; x < n; ++x)
                    sum[x] += weight * row[x];
            }
            uchar* out = columns.scanLine(y);
            for (int x = 0, n = w * 4; x < n; ++x)
                out[x] = toByte(sums[x]);
        }
    }
    source = QImage();

    if (target.width() == w)
        return columns;
    QImage result(target, format);
    if (result.isNull())
        return QImage();
    const Taps tx = makeTaps(w, target.width());
    for (int y = 0; y < target.height(); ++y) {
        if (stopped())
            return QImage();
        const uchar* row = columns.constScanLine(y);
        uchar* out = result.scanLine(y);
        for (int x = 0; x < target.width(); ++x) {
            const uchar* p = row + size_t(tx.first[x]) * 4;
            const int* weights = &tx.weights[size_t(x) * tx.span];
            int s0 = 0, s1 = 0, s2 = 0, s3 = 0;
            for (int k = 0; k < tx.count[x]; ++k, p += 4) {
                s0 += weights[k] * p[0];
                s1 += weights[k] * p[1];
                s2 += weights[k] * p[2];
                s3 += weights[k] * p[3];
            }
            out[x * 4] = toByte(s0);
            out[x * 4 + 1] = toByte(s1);
            out[x * 4 + 2] = toByte(s2);
            out[x * 4 + 3] = toByte(s3);
        }
    }
    if (format == QImage::Format_ARGB32_Premultiplied) {
        // The lobes may overshoot: no colour above its alpha.
        for (int y = 0; y < result.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
            for (int x = 0; x < result.width(); ++x) {
                const int a = qAlpha(line[x]);
                line[x]
                    = qRgba(std::min(qRed(line[x]), a), std::min(qGreen(line[x]), a), std::min(qBlue(line[x]), a), a);
            }
        }
    }
    return result;
}
