#include "grid/thumbcache.h"

// About eight screens of grid cells of the default size, and the strip besides.
const qint64 ThumbCache::kDefaultBudget = qint64(64) << 20;

ThumbCache::ThumbCache()
    : m_budget(kDefaultBudget)
{
}

ThumbCache& ThumbCache::instance()
{
    // Never destroyed: an item may still go away while the program ends.
    static ThumbCache* cache = new ThumbCache();
    return *cache;
}

QImage ThumbCache::find(const ItemInfo* item, Kind kind, const QSize& box)
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_index.constFind(Key(item, kind));
    if (it == m_index.constEnd() || it.value()->box != box)
        return QImage();
    m_entries.splice(m_entries.end(), m_entries, it.value());
    return it.value()->image;
}

void ThumbCache::put(const ItemInfo* item, Kind kind, const QSize& box, const QImage& image)
{
    const Key key(item, kind);
    QMutexLocker lock(&m_mutex);
    remove(key);
    if (image.isNull())
        return;
    const qint64 bytes = image.sizeInBytes();
    m_index.insert(key, m_entries.insert(m_entries.end(), Entry { key, box, image, bytes }));
    m_held += bytes;
    evict();
}

void ThumbCache::forget(const ItemInfo* item)
{
    QMutexLocker lock(&m_mutex);
    remove(Key(item, Grid));
    remove(Key(item, Strip));
}

void ThumbCache::remove(const Key& key)
{
    const auto it = m_index.find(key);
    if (it == m_index.end())
        return;
    m_held -= it.value()->bytes;
    m_entries.erase(it.value());
    m_index.erase(it);
}

void ThumbCache::evict()
{
    // The newest entry stays even when it alone is over the budget: it is being painted.
    while (m_held > m_budget && m_entries.size() > 1) {
        const Entry& oldest = m_entries.front();
        m_held -= oldest.bytes;
        m_index.remove(oldest.key);
        m_entries.pop_front();
    }
}

qint64 ThumbCache::heldBytes() const
{
    QMutexLocker lock(&m_mutex);
    return m_held;
}

int ThumbCache::heldCount() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_entries.size());
}

qint64 ThumbCache::budget() const
{
    QMutexLocker lock(&m_mutex);
    return m_budget;
}

void ThumbCache::setBudget(qint64 bytes)
{
    QMutexLocker lock(&m_mutex);
    m_budget = bytes;
    evict();
}
