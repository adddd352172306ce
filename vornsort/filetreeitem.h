#pragma once

#include <QTreeWidgetItem>

class FileTreeInfo;

// One row of the tidier's tree: shows a record and, when it owns it, deletes it with the row.
class FileTreeItem : public QTreeWidgetItem {
public:
    FileTreeItem();
    ~FileTreeItem() override;
    FileTreeItem(const FileTreeItem&) = delete;
    FileTreeItem& operator=(const FileTreeItem&) = delete;

    FileTreeInfo* info() const { return m_info; }
    void setInfo(FileTreeInfo* info, bool own);
    // The record's texts into the ten columns; nothing without a record.
    void updateText();

private:
    bool m_own = true;
    FileTreeInfo* m_info = nullptr;
};
