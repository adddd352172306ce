#include "filetreeitem.h"

#include "filetreeinfo.h"

FileTreeItem::FileTreeItem()
    : QTreeWidgetItem(0)
{
}

FileTreeItem::~FileTreeItem()
{
    if (m_own)
        delete m_info;
}

void FileTreeItem::setInfo(FileTreeInfo* info, bool own)
{
    if (m_own && m_info != info)
        delete m_info;
    m_info = info;
    m_own = own;
}

void FileTreeItem::updateText()
{
    if (!m_info)
        return;
    const QStringList texts = { m_info->srcDir, m_info->fileName, m_info->dstRoot, m_info->dstRel,
        m_info->takeTimeStr(), m_info->srcModTimeStr(), m_info->srcCreateTimeStr(), m_info->newModTimeStr(),
        m_info->newCreateTimeStr(), m_info->message };
    for (int i = 0; i < texts.size(); ++i)
        setText(i, texts.at(i));
}
