#include "grid/mediaitem.h"

#include "grid/medialistview.h"

MediaItem::MediaItem()
{
    setEditable(false);
}

MediaItem::~MediaItem() = default;

void MediaItem::setInfo(ItemInfoPtr info)
{
    if (m_info)
        disconnect(m_info.data(), nullptr, this, nullptr);
    m_info = std::move(info);
    if (m_info) {
        // Emitted from pool threads: the slots run queued on the GUI thread.
        connect(m_info.data(), &ItemInfo::tagLoaded, this, &MediaItem::onTagLoaded);
        connect(m_info.data(), &ItemInfo::cacheLoaded, this, &MediaItem::onCacheLoaded);
        connect(m_info.data(), &ItemInfo::tagStored, this, &MediaItem::onTagStored);
        connect(m_info.data(), &ItemInfo::tagsReplaced, this, [this] {
            if (m_view)
                m_view->onChangedItemData(this, 3);
        });
    }
}

void MediaItem::onTagLoaded()
{
    if (m_view)
        m_view->onChangedItemData(this, 1);
}

void MediaItem::onCacheLoaded()
{
    if (m_view)
        m_view->onChangedItemData(this, 2);
}

void MediaItem::onTagStored(bool ok)
{
    if (m_view && !ok)
        m_view->onItemNotStored(this);
}
