#include "tagwidgets/xpainterrestore.h"

#include <QPainter>

XPainterRestore::XPainterRestore(QPainter* painter)
    : painter(painter)
{
    if (painter)
        painter->save();
}

XPainterRestore::XPainterRestore(QPainter& painter)
    : XPainterRestore(&painter)
{
}

XPainterRestore::~XPainterRestore()
{
    if (painter)
        painter->restore();
}
