#pragma once

#include "grid/iteminfo.h"
#include "grid/selectionedits.h"

#include <QFuture>
#include <QLinkedList>
#include <QListView>
#include <QPersistentModelIndex>
#include <QRgb>
#include <QSet>
#include <QStringList>

#include <atomic>
#include <memory>

class ColorMenuWdg;
class GridHost;
class MediaDelegate;
class MediaItem;
class MediaModel;
class QAction;
class QLineEdit;
class QMenu;
class XTagLabel;

// The thumbnail grid: lists the image files of one folder (or shows one file), one cell per file, and edits the
// files' tags from its cells and from the tag panel's requests.
class MediaListView : public QListView {
    Q_OBJECT
public:
    explicit MediaListView(QWidget* parent = nullptr);
    ~MediaListView() override;

    MediaModel* mediaModel() const { return m_model; }
    MediaDelegate* mediaDelegate() const { return m_delegate; }
    // The windows around the grid (view menu, viewer); may stay null.
    void setHost(GridHost* host) { m_host = host; }
    GridHost* host() const { return m_host; }

    QString currentPath() const { return m_currentPath; }
    // Lists a folder on the global pool; curFile (may be empty) is selected when the listing ends.
    void listFolder(const QString& path, const QString& curFile);
    // Stops the listing and empties the grid; says so (itemCleared, currentCleared).
    void clear();
    bool isCurrentPath(const QString& filePath) const;
    // 1: another folder is being listed for it; 0: made current; -1: no row holds it.
    int selectFile(const QString& filePath);
    // Takes the items (row order, shared) as rows; 0 when curFile's row was made current, else -1.
    int loadItems(QLinkedList<ItemInfoPtr>& items, const QString& curFile);
    void showInViewer(QModelIndex index, bool hideMgr);
    // Looks in the background for cells whose file is no longer there; those cells leave.
    void sweepRows();

    // The listing job's future (finished once the folder is listed or the listing stopped).
    QFuture<void> listFuture() const { return m_listFuture; }
    // Selected rows that the filter shows, in selection order.
    QModelIndexList visibleSelection() const;
    // Whether a filter hides non-matching rows.
    bool isFiltered() const { return m_filterOn; }
    QLineEdit* nameEditor() const { return m_nameEditor; }
    QLineEdit* tagEditor() const { return m_tagEditor; }
    QMenu* colorMenu() const { return m_colorMenu; }
    QMenu* tagMenu() const { return m_tagMenu; }
    QMenu* starMenu() const { return m_starMenu; }
    QMenu* contextMenu() const { return m_contextMenu; }
    ColorMenuWdg* colorMenuWidget() const { return m_colorWdg; }
    // Part code under a point of the viewport, and that part's rectangle (viewport coordinates).
    int hitTest(const QPoint& pos, QModelIndex* index = nullptr, QRect* rect = nullptr) const;
    // A tag-row write of the item failed: said in the status bar.
    void onItemNotStored(MediaItem* item);

signals:
    void itemDataChanged(ItemInfoPtr info);
    void selectItemChanged(ItemInfoPtr info);
    void bookmarkAdded(QString strUrl, int iType);
    void bookmarkAdded(QString strUrl);
    void itemCleared();
    // No cell is current any more (the grid was cleared, or the last cell left): the panels show nothing.
    void currentCleared();
    void findFile(QString strFilePath);
    void findFileEnd(QString strCurFilePath);

    // Listing results tagged with their listing, so a stopped listing's leftovers are ignored.
    void listedFiles(quint64 listing, QStringList paths, QPrivateSignal);
    void listedEnd(quint64 listing, QString curFile, QPrivateSignal);

public slots:
    void slot_fileNameEditFinished();
    void slot_textTagEditFinished();
    void slot_atAddFav();
    void slot_color_selected(XTagLabel* ctl);
    void slot_addTextTag();
    void slot_atStar(int iStar);
    void slot_atStar1();
    void slot_atStar2();
    void slot_atStar3();
    void slot_atStar4();
    void slot_atStar5();
    void slot_atStar0();
    void slot_double_clicked(QModelIndex index);
    void slot_current_changed(QModelIndex current, QModelIndex previous);

    void onFilterItem(QList<int> star, QList<QRgb> color, QStringList keys);
    void onShowAllItem();
    void onLoadPath(QString strPath);
    void onLoadFile(QString strFilePath);
    void onRefreshHisTextTag();
    void onChangedItemData(MediaItem* item, int iType);
    void onChangedItemData(MediaItem* item);
    void onResizeItem();
    void onRefresh();
    void onCut();
    void onCopy();
    void onDelete();
    void onRename();
    void onSaveStar(int iStar);
    void onSaveRgbs(QList<QRgb> rgbs);
    void onSaveTextTags(QStringList tags);
    void onSaveTags(int iStar, QList<QRgb> rgbs, QStringList tags);
    void onFindFile(QString strFilePath);
    void onFindFileEnd(QString strCurFilePath);
    // Files that left the disk (trashed here or in the viewer, or gone): their cells leave.
    void onFilesRemoved(const QStringList& paths);
    // A file renamed here or in the viewer: its cell and the panels follow.
    void onFileRenamed(const QString& oldPath, const ItemInfoPtr& info);
    // A folder renamed in the folder tree: the items of the files inside, and the folder or file shown, follow it.
    void onFolderRenamed(const QString& oldPath, const QString& newPath);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void onListedFiles(quint64 listing, const QStringList& paths);
    void onListedEnd(quint64 listing, const QString& curFile);
    MediaItem* newRow(const ItemInfoPtr& info);
    MediaItem* itemAt(const QModelIndex& index) const;
    // The pressed cell's item when a cell edit may change it: a visible row whose tags are loaded (else the status
    // bar says why nothing changed).
    ItemInfoPtr editableItem(const QModelIndex& index);
    // Why the named files that cannot be read as pictures took no edit.
    static QString unreadableText(const QStringList& names);
    // Applies an edit to every selected item whose tags are loaded, shown or hidden by the filter, and queues the
    // writes into the files, a slice at a time (SelectionEdits); the others are left alone, the status bar says so,
    // and the tag panel shows the current item's own tags again when the edit did not reach it.
    void fanOut(SelectionEdits::Edit edit);
    void editTail(const ItemInfoPtr& info, const QModelIndex& index);
    // With "TagSaveToFile", queues the items' tags for their files (off this thread).
    void saveToFiles(const QList<ItemInfoPtr>& items);
    void onFileBatchDone(
        int batch, int written, int unchanged, int failed, int failedUnstored, const QString& firstFailure);
    void confirmAddFav(const QString& file, qint64 found);
    void showStatus(const QString& text);
    void setHover(const QModelIndex& index, int code);
    void hideEditors();
    // What clear does, without a word: the destructor's part, when the window around may be going too.
    void dropRows();
    void placeEditor(QLineEdit* editor, const QModelIndex& index, const QRect& cellRect);
    void popupAt(QMenu* menu, const QRect& partRect);
    bool rowMatches(int row) const;
    static bool isLoaded(const ItemInfo& info);
    void selectRow(int row);
    int rowOfFile(const QString& filePath) const;
    QStringList selectedPaths() const;
    void buildMenus();

    MediaModel* m_model = nullptr;
    MediaDelegate* m_delegate = nullptr;
    GridHost* m_host = nullptr;
    QFuture<void> m_listFuture;
    std::shared_ptr<std::atomic_bool> m_listStop;
    quint64 m_listing = 0;
    QMenu* m_contextMenu = nullptr;
    QAction* m_atRefresh = nullptr;
    QAction* m_atCut = nullptr;
    QAction* m_atCopy = nullptr;
    QAction* m_atDelete = nullptr;
    QAction* m_atRename = nullptr;
    QAction* m_atAddFav = nullptr;
    QPersistentModelIndex m_contextIndex;
    QPersistentModelIndex m_hoverIndex;
    int m_hoverCode = -1;
    QPersistentModelIndex m_pressIndex;
    int m_pressCode = -1;
    QPersistentModelIndex m_nameIndex;
    QLineEdit* m_nameEditor = nullptr;
    QMenu* m_colorMenu = nullptr;
    ColorMenuWdg* m_colorWdg = nullptr;
    QMenu* m_tagMenu = nullptr;
    QMenu* m_starMenu = nullptr;
    QLineEdit* m_tagEditor = nullptr;
    QString m_currentPath;
    bool m_filterOn = false;
    QList<int> m_filterStars;
    QList<QRgb> m_filterColors;
    QStringList m_filterKeys;
    // Items that were still loading when the filter was set; each is judged once when it has loaded.
    QSet<const ItemInfo*> m_filterPending;
    // The current item, announced before its tags had loaded: announced again when they arrive.
    QWeakPointer<ItemInfo> m_awaitingTags;
    // Batches of writes into files queued by this grid.
    QSet<int> m_fileBatches;
    SelectionEdits* m_edits = nullptr;
    bool m_closing = false;
    // The last listing has handed over all its files.
    bool m_listEnded = true;
};
