#pragma once

#include <QString>

#include <opencv2/core.hpp>
#include <opencv2/img_hash.hpp>

class QImage;

// The perceptual (Marr-Hildreth) hash of one image file.
class ImageHashHolder {
public:
    // The hash looks at a small image anyway: pictures are decoded to about this size.
    static const int kDecodeSide = 512;

    ImageHashHolder();

    // Stores the path; true when the file exists.
    bool setFile(const QString& path);
    // 0 when a hash was made, -1 when the file gave no pixels.
    int compute();
    // Hashes a decoded picture, taken by its real colours as 8-bit BGRA, fully transparent pixels as white.
    int computeImage(const QImage& image);
    // The distance to the reference's hash (bits that differ).
    int compare(const ImageHashHolder& ref) const;

    bool hasHash() const { return !m_hash.empty(); }
    const cv::Mat& hash() const { return m_hash; }
    QString path() const { return m_path; }

private:
    // Only while a hash is made.
    cv::Ptr<cv::img_hash::ImgHashBase> m_algo;
    cv::Mat m_hash;
    QString m_path;
};
