#include "window/imagelistwidgetitem.h"

#include "meta/imagedecoder.h"
#include "search/likefindcfg.h"

namespace {

QSize imageBox()
{
    const LikeFindCfg* cfg = LikeFindCfg::get();
    return cfg ? cfg->layout.imageRect.size() : QSize();
}

} // namespace

ImageListWidgetItem::ImageListWidgetItem(const QString& p)
    : path(p)
{
}

ImageListWidgetItem::~ImageListWidgetItem() = default;

QImage ImageListWidgetItem::decode(const QString& path, const QSize& box)
{
    if (box.isEmpty())
        return QImage();
    return ImageDecoder::decodeFile(path, { box }).image;
}

int ImageListWidgetItem::load()
{
    return setImage(decode(path, imageBox()));
}

int ImageListWidgetItem::setImage(const QImage& decoded)
{
    if (decoded.isNull())
        return -1;
    image = decoded;
    return rescale();
}

int ImageListWidgetItem::rescale()
{
    if (image.isNull())
        return -1;
    loaded = 0;
    const QSize box = imageBox();
    if (box.isEmpty())
        preview = QImage();
    else if (image.width() <= box.width() && image.height() <= box.height())
        preview = image;
    else
        preview = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    loaded = 1;
    return 0;
}
