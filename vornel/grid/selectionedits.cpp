#include "grid/selectionedits.h"

#include "app/threadpools.h"
#include "task/pooljob.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace {

int minSlice = 500;
int sliceMs = 20;

} // namespace

SelectionEdits::SelectionEdits(QObject* parent)
    : QObject(parent)
{
    // The event loop ends (the last window closed while the owner stays hidden): nothing waits for another turn.
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &SelectionEdits::finish);
}

void SelectionEdits::run(const QList<ItemInfoPtr>& items, Edit edit, Slice slice, Done done)
{
    Job job;
    job.items = items;
    job.edit = std::move(edit);
    job.slice = std::move(slice);
    job.done = std::move(done);
    m_jobs.push_back(std::move(job));
    if (m_jobs.size() == 1)
        step();
}

bool SelectionEdits::runSlice(Job& job, bool whole)
{
    QElapsedTimer clock;
    clock.start();
    QList<ItemInfoPtr> took;
    for (int n = 0; job.next < job.items.size(); ++n) {
        if (!whole && n >= minSlice && clock.elapsed() >= sliceMs)
            break;
        const ItemInfoPtr& info = job.items.at(job.next++);
        // Items still loading are left alone: their record is not complete yet.
        if (info->tagReady != 1) {
            ++job.outcome.loading;
            continue;
        }
        // A photo that is gone takes no edit and gets no row; nor one that cannot be read as a picture: neither
        // the database nor the file could keep the edit.
        if (info->isUnreadable()) {
            (info->fileExists() ? job.outcome.unreadable : job.outcome.gone) << info->fileName();
            continue;
        }
        // The edit looks whether the photo is still there.
        if (!job.edit(*info)) {
            if (!info->fileExists())
                job.outcome.gone << info->fileName();
            continue;
        }
        took.append(info);
        emit info->tagLoaded();
    }
    job.outcome.edited += took;
    if (job.slice && !took.isEmpty())
        job.slice(took);
    return job.next >= job.items.size();
}

void SelectionEdits::step()
{
    m_scheduled = false;
    if (m_running || m_jobs.empty())
        return;
    m_running = true;
    const bool done = runSlice(m_jobs.front(), false);
    m_running = false;
    if (done) {
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        finishJob(job);
    }
    if (!m_jobs.empty())
        schedule();
}

void SelectionEdits::finish()
{
    if (m_running)
        return;
    while (!m_jobs.empty()) {
        m_running = true;
        runSlice(m_jobs.front(), true);
        m_running = false;
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        finishJob(job);
    }
}

void SelectionEdits::finishJob(Job& job)
{
    if (job.done)
        job.done(job.outcome);
    // The last hold on items of a grid cleared meanwhile: their destructors wait for their jobs, off this thread.
    if (itemReleasePool)
        runJob(itemReleasePool, [items = std::move(job.items), edited = std::move(job.outcome.edited)]() mutable {
            items.clear();
            edited.clear();
        });
}

void SelectionEdits::setSlice(int minPhotos, int ms)
{
    minSlice = qMax(1, minPhotos);
    sliceMs = qMax(0, ms);
}

void SelectionEdits::schedule()
{
    if (m_scheduled)
        return;
    m_scheduled = true;
    // Posted, so that the event loop turns once (input, painting, timers) before the next slice.
    QMetaObject::invokeMethod(this, &SelectionEdits::step, Qt::QueuedConnection);
}
