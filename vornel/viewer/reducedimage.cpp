#include "viewer/reducedimage.h"

#include "meta/imagedecoder.h"
#include "task/pooljob.h"

#include <cmath>

namespace {
// Drawn at least this close to its pixels, a picture needs no copy.
constexpr double kWhole = 0.999;
// A copy drawn up to this factor larger or smaller than it was made stays sharp enough and free of moiré; a zoom
// step (1.1) asks for a new one.
constexpr double kNear = 1.08;
// Queued ahead of the other jobs of the global pool (listings, panels): the shown picture comes first.
constexpr int kAhead = 1;
} // namespace

ReducedImage::ReducedImage(QObject* parent)
    : QObject(parent)
{
    connect(&m_watcher, &QFutureWatcher<QImage>::finished, this, &ReducedImage::onFinished);
}

ReducedImage::~ReducedImage()
{
    // The job holds nothing of this object: it is only told to stop.
    cancel();
}

void ReducedImage::setSource(const QImage& image)
{
    if (image.cacheKey() == m_source.cacheKey())
        return;
    cancel();
    m_source = image;
    m_copy = QImage();
    m_scale = 0;
    m_asked = 0;
}

bool ReducedImage::isNear(double made, double wanted)
{
    return made > 0 && wanted > 0 && wanted <= made * kNear && wanted * kNear >= made;
}

QSize ReducedImage::sizeFor(const QSize& size, double scale)
{
    return QSize(
        std::max(1, int(std::lround(size.width() * scale))), std::max(1, int(std::lround(size.height() * scale))));
}

QImage ReducedImage::copyFor(double scale)
{
    if (m_source.isNull() || !(scale > 0) || scale >= kWhole)
        return QImage();
    if (!m_copy.isNull() && isNear(m_scale, scale))
        return m_copy;
    // Asked for already (or failed at it): the picture is drawn itself until it comes.
    if (!isNear(m_asked, scale))
        request(scale);
    return QImage();
}

void ReducedImage::request(double scale)
{
    cancel();
    m_asked = scale;
    auto stop = std::make_shared<std::atomic_bool>(false);
    m_cancel = stop;
    const QImage source = m_source;
    const QSize size = sizeFor(source.size(), scale);
    m_job = runJob(
        nullptr,
        [source, size, stop]() {
            if (*stop)
                return QImage();
            QImage copy = ImageDecoder::reduce(source, size, stop.get());
            return *stop ? QImage() : copy;
        },
        kAhead);
    m_watcher.setFuture(m_job);
}

void ReducedImage::cancel()
{
    if (m_cancel)
        *m_cancel = true;
    m_cancel.reset();
    m_job.cancel();
}

void ReducedImage::onFinished()
{
    const QFuture<QImage> job = m_watcher.future();
    if (job != m_job || job.isCanceled() || job.resultCount() < 1)
        return;
    const QImage copy = job.result();
    if (copy.isNull())
        return;
    m_copy = copy;
    m_scale = m_asked;
    m_cancel.reset();
    emit ready();
}
