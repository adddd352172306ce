#pragma once

#include "search/actionbatch.h"
#include "search/likefindcfg.h"

#include <QFuture>
#include <QFutureWatcher>
#include <QTreeWidget>

#include <atomic>
#include <memory>

class ImageInfo;
class QAction;
class QMenu;

// The checkable tree of a search's groups and files; it runs the search too.
class ImageTreeWidget : public QTreeWidget {
    Q_OBJECT
public:
    explicit ImageTreeWidget(QWidget* parent = nullptr);
    ~ImageTreeWidget() override;

    // 1 while a search runs (nothing done); else starts one with the current settings and returns 0.
    int startFind();
    // The search job, on a pool thread.
    int findWorker();
    bool isFinding() const;
    // Stops a running search and waits for its job.
    void cancelFind();

    // Rows whose node is a file group, depth first, not below a row returned.
    QList<QTreeWidgetItem*> fileGroupItems() const;
    void setSubtreeCheckState(QTreeWidgetItem* item, Qt::CheckState state);
    void updateParentCheckState(QTreeWidgetItem* item);
    // Sets every group row's mark from its rows, deepest first: one pass after marks or rows changed in bulk.
    void updateGroupCheckStates();
    // The file rows given, for an action with that target folder, with the sets of copies they belong to (a
    // reference file's group, else a file group), each with every file of the set and those of the rows marked as
    // leaving. Rows that are not files are left out.
    ActionBatch actionBatch(const QList<QTreeWidgetItem*>& rows, const QString& folder) const;
    // The file rows of the paths, in the paths' order; a path without a row is left out.
    QList<QTreeWidgetItem*> fileRowsOf(const QStringList& paths) const;

    // Deletes a row with its rows below, and their nodes: the result no longer holds those files.
    void removeRow(QTreeWidgetItem* row);
    // Sends the files of the current row's group again.
    void reloadCurrentGroup();

    static ImageInfo* nodeOf(const QTreeWidgetItem* item);
    static QString filePathOf(const QTreeWidgetItem* item);

signals:
    void findEnd();
    void findStepInfo(QString strInfo);
    void currentGroupChanged(QStringList files);
    void selectChanged(QString file);
    // The user chose "删除(&D)" for these files; the window moves them to the trash.
    void trashRequested(QStringList files);

public slots:
    void onFindEnd();
    void onItemChanged(QTreeWidgetItem* item, int column);
    void onCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void onCut();
    void onCopy();
    void onDelete();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void fillNode(ImageInfo* node, QTreeWidgetItem* parent);
    QStringList groupFiles(QTreeWidgetItem* row) const;
    QStringList selectedPaths() const;

    QFutureWatcher<void> m_watcher;
    QFuture<void> m_future;
    std::unique_ptr<ImageInfo> m_root;
    QMenu* m_menu = nullptr;
    QAction* m_cut = nullptr;
    QAction* m_copy = nullptr;
    QAction* m_delete = nullptr;
    // What the running search looks for, copied at its start.
    FindSettings m_find;
    std::atomic_bool m_cancel { false };
    // Files of the last search that gave no hash; written by the job, read once it has ended.
    int m_unhashed = 0;
    bool m_propagating = false;
};
