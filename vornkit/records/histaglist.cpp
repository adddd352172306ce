#include "records/histaglist.h"

#include "db/sqlitedb.h"
#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "records/histagtb.h"
#include "records/tagutil.h"
#include "task/pooljob.h"

#include <QCoreApplication>
#include <QTimer>

#include <atomic>

QStringList HisTagList::m_hisTags;

namespace {

std::atomic_bool loaded { false };

// The stored tags first, then the ones added here meanwhile.
void mergeStored(const QStringList& stored)
{
    QStringList merged;
    for (const QString& t : stored + HisTagList::m_hisTags) {
        if (!merged.contains(t, Qt::CaseSensitive))
            merged.append(t);
    }
    HisTagList::m_hisTags = merged;
    loaded = true;
}

bool readStored(QStringList& out)
{
    PooledDb<TagDb> db(tagDbPool);
    return db && HisTagTb(db.get()).readHisTag(out);
}

const int kRetryMs = 10000;

} // namespace

bool HisTagList::addHisTag(const QString& tag)
{
    if (m_hisTags.contains(tag, Qt::CaseSensitive))
        return false;
    m_hisTags.append(tag);
    return true;
}

bool HisTagList::addHisTag(const QStringList& tags)
{
    for (const QString& t : tags)
        addHisTag(t);
    return true;
}

bool HisTagList::delHisTag(const QString& tag)
{
    return m_hisTags.removeAll(tag) > 0;
}

QStringList& HisTagList::getHisTags()
{
    return m_hisTags;
}

QString HisTagList::getHisTagsStr()
{
    return StringListToStr(m_hisTags);
}

bool HisTagList::setHisTag(const QStringList& tags)
{
    m_hisTags.clear();
    return addHisTag(tags);
}

bool HisTagList::loadHisTag()
{
    PooledDb<TagDb> db(tagDbPool);
    const bool ok = HisTagTb(db.get()).readHisTag(m_hisTags);
    if (ok)
        loaded = true;
    return ok;
}

void HisTagList::loadHisTagLater(std::function<void()> merged)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        loadHisTag();
        return;
    }
    runJob(QThreadPool::globalInstance(), [app, merged] {
        QStringList stored;
        const bool ok = readStored(stored);
        QMetaObject::invokeMethod(
            app,
            [app, ok, stored, merged] {
                if (loaded)
                    return;
                if (ok) {
                    mergeStored(stored);
                    if (merged)
                        merged();
                } else if (tagDbPool) {
                    QTimer::singleShot(kRetryMs, app, [merged] {
                        if (!loaded && tagDbPool)
                            loadHisTagLater(merged);
                    });
                }
            },
            Qt::QueuedConnection);
    });
}

void HisTagList::loadHisTagAtStart(std::function<void()> merged)
{
    // Only into an empty list, as a load appends; never waiting for a lock another program holds.
    if (m_hisTags.isEmpty()) {
        const std::atomic<int> noWait { 1 };
        SqliteDb::stopWaitingWhen(&noWait);
        const bool ok = loadHisTag();
        SqliteDb::stopWaitingWhen(nullptr);
        if (ok)
            return;
    }
    loadHisTagLater(std::move(merged));
}

bool HisTagList::saveHisTag()
{
    if (!loaded) {
        QStringList stored;
        if (!readStored(stored))
            return false;
        mergeStored(stored);
    }
    PooledDb<TagDb> db(tagDbPool);
    return HisTagTb(db.get()).saveHisTag(m_hisTags);
}
