#pragma once

#include <QHash>
#include <QImage>
#include <QMutex>

#include <list>

class ItemInfo;

// The full-size images that items hold for the viewer, within one budget of bytes for the whole process: when an
// item takes a new one, the least recently used items give theirs up; an image on screen (pinned) is never given up.
// Any thread. The cache's lock is taken before an item's image lock, never the other way round.
class FullImageCache {
public:
    static const qint64 kDefaultBudget;

    static FullImageCache& instance();

    // Gives the item its full image and makes room for it; false when the item is going away.
    bool put(ItemInfo* item, const QImage& image);
    // The item gives its image up.
    void drop(ItemInfo* item);
    // The item is going away: forgotten, pins and all.
    void forget(ItemInfo* item);
    // The item's image was looked at: it goes last.
    void touch(ItemInfo* item);
    // Pins are counted; a pinned item keeps its image, also one that comes later.
    void pin(ItemInfo* item);
    void unpin(ItemInfo* item);

    qint64 heldBytes() const;
    qint64 budget() const;
    void setBudget(qint64 bytes);

private:
    FullImageCache();

    struct Entry {
        ItemInfo* item;
        qint64 bytes;
    };
    using Entries = std::list<Entry>;

    void evictFor(const ItemInfo* keep);
    void removeEntry(ItemInfo* item);

    mutable QMutex m_mutex;
    Entries m_entries; // least recently used first
    QHash<ItemInfo*, Entries::iterator> m_index;
    QHash<ItemInfo*, int> m_pins;
    qint64 m_held = 0;
    qint64 m_budget;
};
