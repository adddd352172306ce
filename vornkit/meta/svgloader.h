#pragma once

#include "sys/vornkit_global.h"

#include <QByteArray>
#include <QImage>
#include <QString>

class QSvgRenderer;

// Renders an SVG into an image fitted into w x h (its default size when w or h <= 0).
class VORNKIT_EXPORT SvgLoader {
public:
    SvgLoader();
    ~SvgLoader();

    QImage load(const QByteArray& data, int w, int h);
    QImage load(const QString& file, int w, int h);

private:
    static QImage render(QSvgRenderer& renderer, int w, int h);
};
