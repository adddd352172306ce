#pragma once

#include "grid/iteminfo.h"

#include <QLinkedList>
#include <QString>

class QMenu;
class QWidget;

// The viewer window as the grid sees it when it hands over the file to show.
class GridViewer {
public:
    virtual ~GridViewer() = default;
    // The window to show and raise.
    virtual QWidget* viewerWidget() = 0;
    // Whether the viewer already lists the folder of this file.
    virtual bool isCurrentPath(const QString& filePath) = 0;
    // Makes that file current; 0 when found, -1 when not, 1 when another folder is being listed.
    virtual int selectFile(const QString& filePath) = 0;
    // Takes the grid's items (row order, shared) as its rows and makes curFile current.
    virtual int loadItems(QLinkedList<ItemInfoPtr>& items, const QString& curFile) = 0;
};

// The windows around the grid: the manager window with its view menu, and the viewer.
class GridHost {
public:
    virtual ~GridHost() = default;
    // The manager window; null when there is none.
    virtual QWidget* managerWidget() = 0;
    // The manager's "视图" menu shown on the grid's empty space; null for none.
    virtual QMenu* viewMenu() = 0;
    // The viewer, made when needed; null when there can be none.
    virtual GridViewer* viewer() = 0;
    // A short word in the manager's status bar: an edit refused, writes that failed.
    virtual void showStatus(const QString& text) { Q_UNUSED(text) }
};
