#pragma once

// PNG encoding of the thumbnail column.

#include "sys/vornkit_global.h"

#include <QImage>
#include <QVariant>

// The PNG bytes as a byte-array variant; an invalid variant when encoding fails.
VORNKIT_EXPORT QVariant imageToVariant(const QImage& image);
VORNKIT_EXPORT bool imageToVariant(const QImage& image, QVariant& out);
// A null image when the bytes do not decode as PNG.
VORNKIT_EXPORT QImage variantToImage(const QVariant& v);
VORNKIT_EXPORT bool variantToImage(const QVariant& v, QImage& out);
