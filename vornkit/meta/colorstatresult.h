#pragma once

#include "sys/vornkit_global.h"

#include <QString>

// One bucket of the colour statistics: a palette row and how many pixels fell into it.
class VORNKIT_EXPORT ColorStatResult {
public:
    ColorStatResult() = default;
    ColorStatResult(int index, int count, uint rgb);

    bool operator<(const ColorStatResult& other) const { return count < other.count; }
    bool operator>(const ColorStatResult& other) const { return count > other.count; }

    QString toString() const;

    int index = 0;
    int count = 0;
    uint rgb = 0;
};
