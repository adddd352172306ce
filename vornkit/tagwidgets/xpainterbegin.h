#pragma once

#include "sys/vornkit_global.h"

class QPainter;
class QPaintDevice;

// Ends a painter for the life of the guard and begins it again on the same device afterwards.
class VORNKIT_EXPORT XPainterBegin {
public:
    explicit XPainterBegin(QPainter* painter);
    explicit XPainterBegin(QPainter& painter);
    ~XPainterBegin();
    XPainterBegin(const XPainterBegin&) = delete;
    XPainterBegin& operator=(const XPainterBegin&) = delete;

private:
    QPainter* painter;
    QPaintDevice* device;
};
