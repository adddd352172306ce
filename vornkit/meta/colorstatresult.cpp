#include "meta/colorstatresult.h"

#include <QColor>

ColorStatResult::ColorStatResult(int index, int count, uint rgb)
    : index(index)
    , count(count)
    , rgb(rgb)
{
}

QString ColorStatResult::toString() const
{
    return QString("index=%1, count=%2, red=%3, greeb=%4, blue=%5")
        .arg(index)
        .arg(count)
        .arg(qRed(rgb))
        .arg(qGreen(rgb))
        .arg(qBlue(rgb));
}
