#include "viewer/svgshowitem.h"

#include "meta/imagedecoder.h"
#include "sys/platform.h"

#include <QSvgRenderer>

SvgShowItem::SvgShowItem(QGraphicsItem* parent)
    : HandItem(parent)
{
    m_renderer = new QSvgRenderer(this);
    setSharedRenderer(m_renderer);
    setFlags(ItemIsMovable | ItemIsFocusable);
}

int SvgShowItem::load(const ItemInfoPtr& info)
{
    if (!info)
        return -1;
    filePath = absolutePath(info);
    // Only a regular file is read; the drawing is rendered as vectors at the size shown.
    QByteArray data;
    platform::readRegularFile(filePath, ImageDecoder::kMaxSvgBytes, data);
    const bool loaded = m_renderer->load(data);
    // The whole document; also refreshes the size, so a drawing that failed leaves an empty item.
    setElementId(QString());
    return loaded ? 0 : -1;
}
