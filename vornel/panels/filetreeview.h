#pragma once

#include <QPersistentModelIndex>
#include <QTreeView>

class FileTreeModel;
class QAction;
class QMenu;
class QTimer;

// The folder tree of the browser: the computer's folders; choosing one lists it in the grid and keeps it as
// "LastPath". Its context menu acts on the folder that was right-clicked.
class FileTreeView : public QTreeView {
    Q_OBJECT
public:
    explicit FileTreeView(QWidget* parent = nullptr);
    ~FileTreeView() override;

    FileTreeModel* fileModel() const { return m_model; }
    // The folder the context menu was last opened on (invalid for empty space).
    QModelIndex menuIndex() const { return m_menuIndex; }
    // Sets the index the menu acts on and enables the entries for it, as a right-click there does.
    void prepareMenu(const QModelIndex& index);

    // Makes the folder current (the grid lists it) and scrolls to it; false when the model does not know it.
    bool selectPath(const QString& path);
    // The same without selectPathChanged.
    bool selectPathSilently(const QString& path);

signals:
    void selectPathChanged(QString strCur, QString strPrev = QString());
    void bookmarkAdded(QString strUrl, int iType = 1);
    // A folder renamed in the tree: the rows under its old path have followed it (or could not, and were named).
    void folderMoved(QString oldPath, QString newPath);

public slots:
    void slot_expanded(QModelIndex index);
    void slot_collapsed(QModelIndex index);
    void slot_current_changed(QModelIndex current, QModelIndex previous);
    void onRefresh();
    void onCut();
    void onCopy();
    void onDelete();
    void onRename();
    void onAddFav();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QString menuPath() const;
    void onRenameFailed(const QString& path, const QString& newName);
    void onFileRenamed(const QString& folder, const QString& oldName, const QString& newName);
    // The grid lists the current folder again when "LastPath" is folder or lies inside it.
    void onDirectoryLoaded(const QString& path);
    void onScrollTimer();

    FileTreeModel* m_model = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_atRefresh = nullptr;
    QAction* m_atCut = nullptr;
    QAction* m_atCopy = nullptr;
    QAction* m_atDelete = nullptr;
    QAction* m_atRename = nullptr;
    QAction* m_atAddFav = nullptr;
    QPersistentModelIndex m_menuIndex;
    // The folder selectPath chose, kept in view while the folders above it are still being listed.
    QPersistentModelIndex m_scrollTarget;
    bool m_targetListed = false;
    QTimer* m_scrollTimer = nullptr;
};
