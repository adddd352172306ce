#include "meta/imagevariant.h"

#include <QBuffer>
#include <QByteArray>

bool imageToVariant(const QImage& image, QVariant& out)
{
    if (image.isNull())
        return false;
    QByteArray bytes;
    QBuffer buf(&bytes);
    if (!buf.open(QIODevice::WriteOnly) || !image.save(&buf, "PNG", -1))
        return false;
    out = bytes;
    return true;
}

QVariant imageToVariant(const QImage& image)
{
    QVariant v;
    imageToVariant(image, v);
    return v;
}

QImage variantToImage(const QVariant& v)
{
    const QByteArray bytes = v.toByteArray();
    if (bytes.isEmpty())
        return QImage();
    return QImage::fromData(bytes, "PNG");
}

bool variantToImage(const QVariant& v, QImage& out)
{
    out = variantToImage(v);
    return !out.isNull();
}
