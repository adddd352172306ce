#include "records/imagecacheinfo.h"

#include <QFileInfo>

ImageCacheInfo::ImageCacheInfo() = default;

int ImageCacheInfo::loadFromFile(const QFileInfo& fi, const QImage& image, int w, int h)
{
    path = fi.absolutePath();
    file = fi.absoluteFilePath();
    const bool larger = image.width() > w || image.height() > h;
    setThumbFor(larger ? image.scaled(w, h, Qt::KeepAspectRatio, Qt::SmoothTransformation) : image, w, h);
    return 0;
}

void ImageCacheInfo::setThumbFor(const QImage& fittedThumb, int w, int h)
{
    thumb = fittedThumb;
    thumbWidth = w;
    thumbHeight = h;
    format = static_cast<int>(fittedThumb.format());
}
