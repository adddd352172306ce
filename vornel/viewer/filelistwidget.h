#pragma once

#include "grid/iteminfo.h"

#include <QFuture>
#include <QLinkedList>
#include <QListWidget>

#include <atomic>
#include <memory>

class FileListDelegate;
class FileListItem;
class QMenu;

// The viewer's strip of the shown file's folder, one row per image file sorted by name. It lists the folder on the
// global pool, loads the thumbnails of the rows on screen first, asks the rows around the current one for their
// full images (nearest first, within the full images' memory budget) and lets the far ones go. Rows it drops give
// their items up on the release pool, never on this thread. It can take the grid's items and give its own back.
class FileListWidget : public QListWidget {
    Q_OBJECT
public:
    explicit FileListWidget(QWidget* parent = nullptr);
    ~FileListWidget() override;

    // Whether the file's folder is the one listed (paths compare exactly).
    bool isCurrentPath(const QString& filePath) const;
    // Another folder: lists it and selects the file when done (1). The same folder: selects and centres the file's
    // row (0), or -1 when no row holds it.
    int selectFile(const QString& filePath);
    // Takes the items (shared, in their order) as the rows and selects the file: 0, or -1 when no row holds it.
    int loadItems(QLinkedList<ItemInfoPtr>& items, const QString& filePath);
    // Appends every row's item in row order.
    void getItems(QLinkedList<ItemInfoPtr>& items) const;

    // Lists the folder on the global pool and selects the file at the end; nothing while a listing runs.
    void startFind(const QString& folder, const QString& file);
    // Stops the listing, forgets folder and file, drops the rows. (Qt's own call when the rows are cleared resets
    // only the view.)
    void reset() override;
    // Drops the rows; their items go to the release pool.
    void clearItems();

    QString folder() const { return m_folder; }
    FileListItem* rowItem(int row) const;
    // The current row's item; null without one.
    ItemInfoPtr currentInfo() const;
    // Moves the rows' files to the trash. The rows whose file went (or was gone already) leave, their items released
    // on the release pool; the user is told about the others. Returns the number removed.
    int trashRows(const QList<QListWidgetItem*>& rows);
    // Makes the row current, highlighted alone.
    void selectRow(int row);
    // Looks in the background for rows whose file is no longer there; those rows leave.
    void sweepRows();
    // The last release job (tests wait on it).
    QFuture<void> releaseFuture() const { return m_release; }

signals:
    void showImage(ItemInfoPtr info);
    void findFile(QString strFilePath);
    void findFileEnd(QString strCurFilePath);
    // The shown row left and no row is left to show.
    void shownRowGone();
    // From the listing job (queued): a batch of files found, sorted, and the end of the listing.
    void listedFiles(quint64 listing, const QStringList& files, QPrivateSignal);
    void listedEnd(quint64 listing, QPrivateSignal);

public slots:
    void onResizeItem();
    void onRefresh();
    void onCut();
    void onCopy();
    void onDelete();
    void onRename();
    void onCurrentItemChanged(QListWidgetItem* current, QListWidgetItem* previous);
    void onScroll(int value);
    void onFindFile(QString strFilePath);
    void onFindFileEnd(QString strCurFilePath);
    // Files that left the disk (trashed here or in the grid, or gone): their rows leave; the next row is shown.
    void onFilesRemoved(const QStringList& paths);
    // A file renamed here or in the grid: its row and the canvas follow.
    void onFileRenamed(const QString& oldPath, const ItemInfoPtr& info);
    // A folder renamed in the manager's folder tree: the rows, the folder listed and the canvas follow it.
    void onFolderRenamed(const QString& oldPath, const QString& newPath);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildMenu();
    void onListedFiles(quint64 listing, const QStringList& files);
    void onListedEnd(quint64 listing);
    // Loads the current row's thumbnail first, selects it, then the rows on screen, then the others nearest first.
    void startRows(int current);
    void loadRows(int from, int to);
    // Loads the rows on screen and so many before and after them.
    void loadOnScreen(int before, int after);
    // Full images for the rows within CacheImageCount of row, nearest first and as many as the budget holds; rows
    // beyond twice that distance let theirs go.
    void cacheAround(int row);
    int rowOfFile(const QString& filePath) const;
    QStringList selectedPaths() const;
    void releaseItems(QLinkedList<ItemInfoPtr> items);

    FileListDelegate* m_delegate = nullptr;
    QFuture<void> m_listing;
    std::shared_ptr<std::atomic_bool> m_listStop;
    quint64 m_listingId = 0; // notifications of older listings still queued are dropped
    QFuture<void> m_release;
    QString m_folder;
    QString m_file;
    int m_lastScroll = 0;
    bool m_removing = false; // rows going: the current row is shown once they are gone
    bool m_clearing = false;
    QMenu* m_menu = nullptr;
    QAction* m_atRefresh = nullptr;
    QAction* m_atCut = nullptr;
    QAction* m_atCopy = nullptr;
    QAction* m_atDelete = nullptr;
    QAction* m_atRename = nullptr;
};
