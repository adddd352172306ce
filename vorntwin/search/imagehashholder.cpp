#include "search/imagehashholder.h"

#include "meta/imagedecoder.h"

#include <QFile>
#include <QImage>

#include <climits>
#include <cstring>

ImageHashHolder::ImageHashHolder() = default;

bool ImageHashHolder::setFile(const QString& path)
{
    m_path = path;
    return QFile::exists(path);
}

int ImageHashHolder::compute()
{
    const ImageDecoder::Result r = ImageDecoder::decodeFile(m_path, { QSize(kDecodeSide, kDecodeSide) });
    return computeImage(r.image);
}

int ImageHashHolder::computeImage(const QImage& image)
{
    if (image.isNull() || image.width() < 1 || image.height() < 1)
        return -1;
    // Palette, 1-bit, grey and 16-bit pictures all come to 8-bit B, G, R, A in memory by their colours.
    QImage bgra = image.convertToFormat(QImage::Format_ARGB32);
    if (bgra.isNull())
        return -1;
    cv::Mat mat(bgra.height(), bgra.width(), CV_8UC4, bgra.bits(), size_t(bgra.bytesPerLine()));
    for (int y = 0; y < mat.rows; ++y) {
        quint32* line = mat.ptr<quint32>(y);
        for (int x = 0; x < mat.cols; ++x) {
            if (qAlpha(line[x]) == 0)
                line[x] = 0xFFFFFFFFu;
        }
    }
    m_algo = cv::img_hash::MarrHildrethHash::create(2.0f, 1.0f);
    m_algo->compute(mat, m_hash);
    // The algorithm keeps its working images (some megabytes) while it lives; the distance needs only the hash.
    m_algo.release();
    return m_hash.empty() ? -1 : 0;
}

int ImageHashHolder::compare(const ImageHashHolder& ref) const
{
    if (m_hash.empty() || ref.m_hash.empty() || m_hash.total() != ref.m_hash.total())
        return INT_MAX;
    // The bit distance the hash algorithm's own compare gives, without its per-call overhead.
    const size_t n = m_hash.total() * m_hash.elemSize();
    const uchar* a = m_hash.ptr<uchar>();
    const uchar* b = ref.m_hash.ptr<uchar>();
    int bits = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        bits += __builtin_popcountll(x ^ y);
    }
    for (; i < n; ++i)
        bits += __builtin_popcount(unsigned(a[i] ^ b[i]));
    return bits;
}
