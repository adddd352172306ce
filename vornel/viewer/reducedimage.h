#pragma once

#include <QFuture>
#include <QFutureWatcher>
#include <QImage>
#include <QObject>

#include <atomic>
#include <memory>

// A smoothly reduced copy of a picture, to draw it smaller than its pixels without moiré. It is made by the decoder's
// filter on the global pool, never on the GUI thread, one at a time (a new size cancels the one asked for
// before), and reused while the scale stays near the one it was made for.
class ReducedImage : public QObject {
    Q_OBJECT
public:
    explicit ReducedImage(QObject* parent = nullptr);
    ~ReducedImage() override;

    // The picture to reduce; another one forgets the copy and cancels its job.
    void setSource(const QImage& image);
    const QImage& source() const { return m_source; }
    void clear() { setSource(QImage()); }

    // The copy to draw the picture at this scale. Null when the picture needs none (scale 1 or more) or while the
    // copy is being made, which is then asked for: the caller draws the picture itself meanwhile.
    QImage copyFor(double scale);
    // The scale the held copy was made for; 0 without one.
    double copyScale() const { return m_copy.isNull() ? 0 : m_scale; }
    // Whether a job is on its way.
    bool busy() const { return m_job.isStarted() && !m_job.isFinished(); }

    // Whether a copy made for one scale serves drawing at another.
    static bool isNear(double made, double wanted);
    // The size of the copy for drawing a picture of this size at this scale.
    static QSize sizeFor(const QSize& size, double scale);

signals:
    // A copy asked for has come.
    void ready();

private:
    void request(double scale);
    void cancel();
    void onFinished();

    QImage m_source;
    QImage m_copy;
    double m_scale = 0; // of m_copy
    double m_asked = 0; // of the last job, 0 for none since the source was set
    QFuture<QImage> m_job;
    std::shared_ptr<std::atomic_bool> m_cancel;
    QFutureWatcher<QImage> m_watcher;
};
