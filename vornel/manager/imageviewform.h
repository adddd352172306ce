#pragma once

#include "grid/iteminfo.h"

#include <QLinkedList>
#include <QMainWindow>
#include <QModelIndex>

class BookmarkView;
class ExivInfoView;
class FileTreeView;
class ImagePreview;
class MediaListView;
class QDockWidget;
class QMenu;
class TagInfoView;

// The manager's working area: the thumbnail grid in the centre and the five panels (folder tree, preview,
// metadata, tags, favourites) in docks around it, wired to each other. The dock layout is kept from one run to
// the next in "ImageViewForm/Geometry" and "ImageViewForm/State".
class ImageViewForm : public QMainWindow {
    Q_OBJECT
public:
    explicit ImageViewForm(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~ImageViewForm() override;

    // The manager's "视图" menu, which setup ends with the five dock toggles; set before setup, not owned.
    void setViewMenu(QMenu* menu) { viewMenu = menu; }
    // Creates the grid and the docks, connects them and restores the saved layout; once.
    void setup();
    // At the manager's first paint: the favourites load, and the folder tree goes to "LastPath" (the grid lists
    // it) unless the grid already shows a folder handed to it.
    void initLoad();

    void showInViewer(QModelIndex index, bool hideMgr);
    bool isCurrentPath(const QString& filePath);
    int selectFile(const QString& filePath);
    void getItems(QLinkedList<ItemInfoPtr>& items);
    // Takes the viewer's items as the grid's rows; the tree moves to their folder without listing it again.
    int loadItems(QLinkedList<ItemInfoPtr>& items, const QString& filePath);

    // A fresh menu with the actions of the "视图" menu; the caller owns it (its actions stay the manager's).
    QMenu* createPopupMenu() override;

    MediaListView* listView() const { return lvListView; }
    FileTreeView* fileTree() const { return tvFileTree; }
    ImagePreview* preview() const { return lbPreview; }
    ExivInfoView* exivInfo() const { return wgExivInfo; }
    TagInfoView* tagInfo() const { return wgTagInfo; }
    BookmarkView* bookmarkView() const { return tvBookmarkView; }

signals:
    void itemCleared();
    void hisTextTagChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Puts the panel into a new dock of that area; the toggle goes to the view menu.
    QDockWidget* addPanel(
        QWidget* panel, const char* panelName, const char* dockName, const QString& title, Qt::DockWidgetArea area);
    void connectViews();
    void restoreLayout();

    QMenu* viewMenu = nullptr;
    MediaListView* lvListView = nullptr;
    QDockWidget* dwFileTree = nullptr;
    FileTreeView* tvFileTree = nullptr;
    QDockWidget* dwPreview = nullptr;
    ImagePreview* lbPreview = nullptr;
    QDockWidget* dwExivInfo = nullptr;
    ExivInfoView* wgExivInfo = nullptr;
    QDockWidget* dwTagInfo = nullptr;
    TagInfoView* wgTagInfo = nullptr;
    QDockWidget* dwBookmark = nullptr;
    BookmarkView* tvBookmarkView = nullptr;
    // No saved layout was restored: the docks get their first sizes when the form is shown.
    bool m_defaultLayout = false;
};
