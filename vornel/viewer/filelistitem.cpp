#include "viewer/filelistitem.h"

#include <QListWidget>

FileListItem::FileListItem()
    : QListWidgetItem(nullptr, QListWidgetItem::Type)
{
}

FileListItem::~FileListItem() = default;

void FileListItem::setItemInfo(ItemInfoPtr info)
{
    if (m_info)
        disconnect(m_info.data(), nullptr, this, nullptr);
    m_info = std::move(info);
    if (m_info) {
        // Emitted from pool threads: the slots run queued on the GUI thread.
        connect(m_info.data(), &ItemInfo::tagLoaded, this, &FileListItem::onTagLoaded);
        connect(m_info.data(), &ItemInfo::cacheLoaded, this, &FileListItem::onCacheLoaded);
    }
}

int FileListItem::load()
{
    return m_info ? m_info->load() : -1;
}

int FileListItem::loadFullImage()
{
    return m_info ? m_info->loadFullImage() : -1;
}

void FileListItem::releaseFullImage()
{
    if (m_info)
        m_info->releaseFullImage();
}

void FileListItem::onTagLoaded()
{
    repaint();
}

void FileListItem::onCacheLoaded()
{
    repaint();
}

void FileListItem::repaint()
{
    if (QListWidget* list = listWidget())
        list->viewport()->update(list->visualItemRect(this));
}
