#pragma once

#include "meta/imagedecoder.h"

#include <QImage>
#include <QString>

#include <opencv2/core.hpp>
#include <opencv2/img_hash.hpp>

// The perceptual (Marr-Hildreth) hash of one image file.
//
// Every picture is reduced the same way whatever its format and orientation: decoded whole to grey (only one too
// large for the decoder's budget is decoded reduced by its reader, never below the hash's working size) and brought
// to one input size for the hash, averaged over areas where it shrinks. So equal pixels always give equal hashes.
class ImageHashHolder {
public:
    // The size the algorithm works at, and the smallest a reduced decode may come at.
    static constexpr int kWorkingSide = 512;
    // The square every picture is brought to before it is hashed: large enough that the algorithm's own blur and
    // reduction act on it as on the whole picture.
    static constexpr int kInputSide = 2048;

    // Working memory one thread reuses from picture to picture: the decoder's, and the algorithm with its working
    // images.
    struct Scratch {
        ImageDecoder::GreyScratch decode;
        cv::Ptr<cv::img_hash::ImgHashBase> algorithm;
    };

    ImageHashHolder();

    // Stores the path; true when the file exists.
    bool setFile(const QString& path);
    // 0 when a hash was made, -1 when the file gave no pixels.
    int compute(Scratch* scratch = nullptr);
    // Hashes a decoded picture through the shared reduction, taken by its real colours, fully transparent pixels
    // as white.
    int computeImage(const QImage& image, Scratch* scratch = nullptr);
    // Hashes the picture as the algorithm takes it whole, without the shared reduction: what the reduction is
    // measured against.
    int computeWholeImage(const QImage& image);
    // The distance to the reference's hash (bits that differ).
    int compare(const ImageHashHolder& ref) const;

    bool hasHash() const { return !m_hash.empty(); }
    // The last compute found a picture too large to decode within the budget, even reduced.
    bool tooLarge() const { return m_tooLarge; }
    const cv::Mat& hash() const { return m_hash; }
    QString path() const { return m_path; }

private:
    int hashInput(const QImage& input, Scratch* scratch);
    int hashMat(const cv::Mat& input, Scratch* scratch);

    cv::Mat m_hash;
    QString m_path;
    bool m_tooLarge = false;
};
