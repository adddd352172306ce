#include "meta/svgloader.h"

#include <QPainter>
#include <QSvgRenderer>

SvgLoader::SvgLoader() = default;

SvgLoader::~SvgLoader() = default;

QImage SvgLoader::load(const QByteArray& data, int w, int h)
{
    QSvgRenderer renderer;
    if (!renderer.load(data))
        return QImage();
    return render(renderer, w, h);
}

QImage SvgLoader::load(const QString& file, int w, int h)
{
    QSvgRenderer renderer;
    if (!renderer.load(file))
        return QImage();
    return render(renderer, w, h);
}

QImage SvgLoader::render(QSvgRenderer& renderer, int w, int h)
{
    const QSize def = renderer.defaultSize();
    // Without a default width and height there is nothing to fit (and no factor to compute).
    if (def.width() <= 0 || def.height() <= 0)
        return QImage();
    QSize size = def;
    if (w > 0 && h > 0) {
        const double factor = qMin(double(w) / def.width(), double(h) / def.height());
        size = QSize(int(def.width() * factor), int(def.height() * factor));
    }
    if (size.isEmpty())
        return QImage();
    QImage image(size, QImage::Format_ARGB32);
    if (image.isNull())
        return QImage();
    image.fill(0);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    return image;
}
