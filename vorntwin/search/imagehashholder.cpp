#include "search/imagehashholder.h"

#include <QFile>
#include <QImage>

#include <opencv2/imgproc.hpp>

#include <climits>
#include <cstring>

ImageHashHolder::ImageHashHolder() = default;

bool ImageHashHolder::setFile(const QString& path)
{
    m_path = path;
    return QFile::exists(path);
}

int ImageHashHolder::compute(Scratch* scratch)
{
    const ImageDecoder::Result r = ImageDecoder::decodeFileGreyAveraged(
        m_path, QSize(kInputSide, kInputSide), QSize(kWorkingSide, kWorkingSide), scratch ? &scratch->decode : nullptr);
    m_tooLarge = r.tooLarge;
    return hashInput(r.image, scratch);
}

int ImageHashHolder::computeImage(const QImage& image, Scratch* scratch)
{
    return hashInput(
        ImageDecoder::greyAveraged(image, QSize(kInputSide, kInputSide), scratch ? &scratch->decode.averaged : nullptr),
        scratch);
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
    return hashMat(mat, nullptr);
}

int ImageHashHolder::hashInput(const QImage& input, Scratch* scratch)
{
    m_hash.release();
    if (input.isNull() || input.format() != QImage::Format_Grayscale8)
        return -1;
    return hashMat(cv::Mat(input.height(), input.width(), CV_8UC1, const_cast<uchar*>(input.constBits()),
                       size_t(input.bytesPerLine())),
        scratch);
}

int ImageHashHolder::hashMat(const cv::Mat& input, Scratch* scratch)
{
    // The algorithm keeps its working images (some megabytes) while it lives: one a thread, else one for each hash.
    cv::Ptr<cv::img_hash::ImgHashBase> own;
    cv::Ptr<cv::img_hash::ImgHashBase>& algorithm = scratch ? scratch->algorithm : own;
    if (!algorithm)
        algorithm = cv::img_hash::MarrHildrethHash::create(2.0f, 1.0f);
    algorithm->compute(input, m_hash);
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
