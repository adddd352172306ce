#include "search/imagehashholder.h"

#include "meta/imagedecoder.h"

#include <QFile>
#include <QImage>

#include <opencv2/imgproc.hpp>

#include <climits>
#include <cstring>

namespace {

// The picture as 8-bit B, G, R, A by its colours (palette, 1-bit, grey and 16-bit pictures included), wrapped
// without a copy where it already is.
QImage asBgra(const QImage& image)
{
    if (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32)
        return image;
    return image.convertToFormat(QImage::Format_ARGB32);
}

cv::Mat wrap(const QImage& bgra)
{
    return cv::Mat(
        bgra.height(), bgra.width(), CV_8UC4, const_cast<uchar*>(bgra.constBits()), size_t(bgra.bytesPerLine()));
}

// Grey as the algorithm takes a colour picture, a fully transparent pixel as white.
void greyOf(const QImage& bgra, cv::Mat& grey)
{
    const cv::Mat mat = wrap(bgra);
    cv::cvtColor(mat, grey, cv::COLOR_BGRA2GRAY);
    if (bgra.format() == QImage::Format_ARGB32) {
        for (int y = 0; y < mat.rows; ++y) {
            const quint32* line = mat.ptr<quint32>(y);
            uchar* out = grey.ptr<uchar>(y);
            for (int x = 0; x < mat.cols; ++x) {
                if (qAlpha(line[x]) == 0)
                    out[x] = 255;
            }
        }
    }
}

} // namespace

ImageHashHolder::ImageHashHolder() = default;

bool ImageHashHolder::setFile(const QString& path)
{
    m_path = path;
    return QFile::exists(path);
}

int ImageHashHolder::compute(Scratch* scratch)
{
    const ImageDecoder::Result r = ImageDecoder::decodeFileUnscaled(
        m_path, QSize(kWorkingSide, kWorkingSide), scratch ? &scratch->decoded : nullptr);
    m_tooLarge = r.tooLarge;
    return computeImage(r.image, scratch);
}

int ImageHashHolder::computeImage(const QImage& image, Scratch* scratch)
{
    m_hash.release();
    if (image.isNull() || image.width() < 1 || image.height() < 1)
        return -1;
    const QImage bgra = asBgra(image);
    if (bgra.isNull())
        return -1;
    // Area averages: every pixel counts, whatever the picture's size.
    cv::Mat ownGrey;
    cv::Mat& grey = scratch ? scratch->grey : ownGrey;
    greyOf(bgra, grey);
    cv::Mat input;
    cv::resize(grey, input, cv::Size(kInputSide, kInputSide), 0, 0, cv::INTER_AREA);
    return hashMat(input);
}

int ImageHashHolder::computeWholeImage(const QImage& image)
{
    m_hash.release();
    if (image.isNull() || image.width() < 1 || image.height() < 1)
        return -1;
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
    return hashMat(mat);
}

int ImageHashHolder::hashMat(const cv::Mat& input)
{
    // Made for each hash: the algorithm keeps its working images (some megabytes) while it lives, and the
    // distance needs only the hash.
    cv::Ptr<cv::img_hash::ImgHashBase> algo = cv::img_hash::MarrHildrethHash::create(2.0f, 1.0f);
    algo->compute(input, m_hash);
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
