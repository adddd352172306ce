#include "records/imagecacheinfo.h"

#include <QFileInfo>

ImageCacheInfo::ImageCacheInfo() = default;

int ImageCacheInfo::loadFromFile(const QFileInfo& fi, const QImage& image, int w, int h)
{
    path = fi.absolutePath();
    file = fi.absoluteFilePath();
    thumbWidth = w;
    thumbHeight = h;
    if (image.width() > w || image.height() > h)
        thumb = image.scaled(w, h, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    else
        thumb = image;
    format = static_cast<int>(thumb.format());
    return 0;
}
