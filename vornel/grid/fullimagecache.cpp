#include "grid/fullimagecache.h"

#include "grid/iteminfo.h"

const qint64 FullImageCache::kDefaultBudget = qint64(384) << 20;

FullImageCache::FullImageCache()
    : m_budget(kDefaultBudget)
{
}

FullImageCache& FullImageCache::instance()
{
    // Never destroyed: an item may still go away while the program ends.
    static FullImageCache* cache = new FullImageCache();
    return *cache;
}

bool FullImageCache::put(ItemInfo* item, const QImage& image)
{
    QMutexLocker lock(&m_mutex);
    if (!item->takeFullImage(image))
        return false;
    removeEntry(item);
    const qint64 bytes = image.sizeInBytes();
    m_index.insert(item, m_entries.insert(m_entries.end(), Entry { item, bytes }));
    m_held += bytes;
    evictFor(item);
    return true;
}

void FullImageCache::drop(ItemInfo* item)
{
    QMutexLocker lock(&m_mutex);
    item->clearFullImage();
    removeEntry(item);
}

void FullImageCache::forget(ItemInfo* item)
{
    QMutexLocker lock(&m_mutex);
    removeEntry(item);
    m_pins.remove(item);
}

void FullImageCache::touch(ItemInfo* item)
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_index.constFind(item);
    if (it != m_index.constEnd())
        m_entries.splice(m_entries.end(), m_entries, it.value());
}

void FullImageCache::pin(ItemInfo* item)
{
    QMutexLocker lock(&m_mutex);
    ++m_pins[item];
}

void FullImageCache::unpin(ItemInfo* item)
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_pins.find(item);
    if (it == m_pins.end())
        return;
    if (--it.value() <= 0)
        m_pins.erase(it);
    evictFor(nullptr);
}

qint64 FullImageCache::heldBytes() const
{
    QMutexLocker lock(&m_mutex);
    return m_held;
}

qint64 FullImageCache::budget() const
{
    QMutexLocker lock(&m_mutex);
    return m_budget;
}

void FullImageCache::setBudget(qint64 bytes)
{
    QMutexLocker lock(&m_mutex);
    m_budget = bytes;
    evictFor(nullptr);
}

void FullImageCache::evictFor(const ItemInfo* keep)
{
    auto it = m_entries.begin();
    while (m_held > m_budget && it != m_entries.end()) {
        ItemInfo* item = it->item;
        if (item == keep || m_pins.contains(item)) {
            ++it;
            continue;
        }
        item->clearFullImage();
        m_held -= it->bytes;
        m_index.remove(item);
        it = m_entries.erase(it);
    }
}

void FullImageCache::removeEntry(ItemInfo* item)
{
    const auto it = m_index.find(item);
    if (it == m_index.end())
        return;
    m_held -= it.value()->bytes;
    m_entries.erase(it.value());
    m_index.erase(it);
}
