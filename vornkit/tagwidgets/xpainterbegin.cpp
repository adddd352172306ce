#include "tagwidgets/xpainterbegin.h"

#include <QPainter>

XPainterBegin::XPainterBegin(QPainter* painter)
    : painter(painter)
    , device(painter ? painter->device() : nullptr)
{
    if (painter)
        painter->end();
}

XPainterBegin::XPainterBegin(QPainter& painter)
    : XPainterBegin(&painter)
{
}

XPainterBegin::~XPainterBegin()
{
    if (painter && device)
        painter->begin(device);
}
