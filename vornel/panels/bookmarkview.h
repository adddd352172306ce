#pragma once

#include "records/bookpathinfo.h"

#include <QFutureWatcher>
#include <QPixmap>
#include <QTreeWidget>

#include <memory>

class BookMarkInfo;
class BookmarkItem;
class QAction;
class QMenu;

// The favourites panel: category folders of the user's making holding favourite folders and files, kept in the
// tag database. A click opens a favourite in the grid; the menu adds, renames, deletes and locates; a drag moves
// an entry into another category.
class BookmarkView : public QTreeWidget {
    Q_OBJECT
public:
    explicit BookmarkView(QWidget* parent = nullptr);
    ~BookmarkView() override;

    // The entry the menu acts on, as a right-click on item (null: empty space) sets it.
    void prepareMenu(QTreeWidgetItem* item);
    BookmarkItem* menuItem() const { return curItem; }
    // The running or last load.
    QFuture<int> loadFuture() const { return loadWatcher.future(); }

    // Whether item may go into target: a category that is not the item, its parent or inside it, or empty
    // space (the top level) for an entry that is not there yet.
    bool canDrop(BookmarkItem* item, QTreeWidgetItem* target) const;
    // Moves item into the category target (null: the top level), stored first; false when refused or not stored.
    bool moveItem(BookmarkItem* item, QTreeWidgetItem* target);

signals:
    void selectFileChanged(QString strFilePath);
    void selectPathChanged(QString strPath);

public slots:
    void slot_info_loaded();
    void slot_atAddFavPath();
    void slot_atDel();
    void slot_atMod();
    void slot_atFileLocation();
    void slot_atRefresh();
    void slot_current_item_changed(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void slot_item_clicked(QTreeWidgetItem* item, int column);
    void onAddBookmark(QString strUrl, int iType);
    void onAddBookmark(QString strUrl);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    // While a dialog, a question or a drag runs, a finished load waits: the tree it would replace holds the
    // item they work on.
    class ModalScope {
    public:
        explicit ModalScope(BookmarkView* view);
        ~ModalScope();

    private:
        BookmarkView* m_view;
    };

    void build(BookPathInfo* root);
    BookmarkItem* addPathItem(QTreeWidgetItem* parent, BookPathInfo* info);
    BookmarkItem* addMarkItem(QTreeWidgetItem* parent, BookMarkInfo* info);
    // Puts item among parent's children (null: the top level) where a load would put it.
    void placeItem(QTreeWidgetItem* parent, BookmarkItem* item);
    void takeItem(BookmarkItem* item);
    // Takes the row out and places it under parent, its open folders kept open.
    void reseatItem(QTreeWidgetItem* parent, BookmarkItem* item);
    // The category of item or of the nearest one above it; null for the top level.
    BookmarkItem* folderItemOf(QTreeWidgetItem* item) const;
    BookPathInfo* folderOf(BookmarkItem* folderItem);
    bool deleteItem(BookmarkItem* item);
    void openItem(QTreeWidgetItem* item);
    // A load that started before a change may not hold it: load again.
    void reloadIfLoading();

    BookPathInfo rootPath;
    QFutureWatcher<int> loadWatcher;
    bool stopLoading = false;
    QPixmap pathIcon;
    QPixmap favPathIcon;
    QPixmap favFileIcon;
    QMenu* menu = nullptr;
    QAction* atAddFavPath = nullptr;
    QAction* atDel = nullptr;
    QAction* atMod = nullptr;
    QAction* atFileLocation = nullptr;
    QAction* atRefresh = nullptr;
    BookmarkItem* curItem = nullptr;

    BookmarkItem* m_dragItem = nullptr;
    std::shared_ptr<BookPathInfo> m_loadRoot;
    quint64 m_loadGen = 0;
    quint64 m_builtGen = 0;
    int m_modal = 0;
    bool m_rebuildPending = false;
};
