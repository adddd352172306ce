#pragma once

#include "sys/vornkit_global.h"

class QPainter;

// Saves a painter's state for the life of the guard.
class VORNKIT_EXPORT XPainterRestore {
public:
    explicit XPainterRestore(QPainter* painter);
    explicit XPainterRestore(QPainter& painter);
    ~XPainterRestore();
    XPainterRestore(const XPainterRestore&) = delete;
    XPainterRestore& operator=(const XPainterRestore&) = delete;

private:
    QPainter* painter;
};
