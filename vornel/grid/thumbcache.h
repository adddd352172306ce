#pragma once

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QPair>
#include <QSize>

#include <list>

class ItemInfo;

// The items' thumbnails as pixels, within one budget of bytes for the whole process. An item keeps its thumbnail
// compressed; a grid cell or strip row decodes it here when it paints, and the least recently used pixels go when
// room is needed, so a folder of any size holds only about a few screens of them. Any thread.
class ThumbCache {
public:
    enum Kind { Grid = 0, Strip = 1 };
    static const qint64 kDefaultBudget;

    static ThumbCache& instance();

    // The item's pixels of that kind made for the box, which go last; null when none are held for that box.
    QImage find(const ItemInfo* item, Kind kind, const QSize& box);
    // Keeps the pixels (replacing the item's of that kind), then lets the least recently used go past the budget.
    void put(const ItemInfo* item, Kind kind, const QSize& box, const QImage& image);
    // The item is going away or has a new thumbnail: its pixels go.
    void forget(const ItemInfo* item);

    qint64 heldBytes() const;
    int heldCount() const;
    qint64 budget() const;
    void setBudget(qint64 bytes);

private:
    ThumbCache();

    using Key = QPair<const ItemInfo*, int>;
    struct Entry {
        Key key;
        QSize box;
        QImage image;
        qint64 bytes;
    };
    using Entries = std::list<Entry>;

    void remove(const Key& key);
    void evict();

    mutable QMutex m_mutex;
    Entries m_entries; // least recently used first
    QHash<Key, Entries::iterator> m_index;
    qint64 m_held = 0;
    qint64 m_budget;
};
