#include "viewer/imageshowitem.h"

#include <QImage>
#include <QPixmap>

#include <utility>

ImageShowItem::ImageShowItem(QGraphicsItem* parent)
    : HandItem(parent)
{
    setFlags(ItemIsMovable | ItemIsFocusable);
    setTransformationMode(Qt::SmoothTransformation);
}

int ImageShowItem::load(const ItemInfoPtr& info)
{
    if (!info)
        return -1;
    filePath = absolutePath(info);
    QImage image = info->fullImage();
    if (image.isNull())
        image.load(filePath);
    setPixmap(QPixmap::fromImage(std::move(image)));
    return 0;
}
