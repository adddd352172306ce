#pragma once

#include "grid/iteminfo.h"

#include <QLinkedList>
#include <QString>

class QMenu;
class QWidget;

// The manager window as the canvas sees it when it brings the manager forward with the shown file.
class CanvasManager {
public:
    virtual ~CanvasManager() = default;
    // The window to show and raise.
    virtual QWidget* managerWidget() = 0;
    // Whether the grid already lists the folder of this file.
    virtual bool isCurrentPath(const QString& filePath) = 0;
    // Makes that file current; 0 when found, -1 when not, 1 when another folder is being listed.
    virtual int selectFile(const QString& filePath) = 0;
    // Takes the viewer's items (row order, shared) as the grid's rows and makes curFile current.
    virtual int loadItems(QLinkedList<ItemInfoPtr>& items, const QString& curFile) = 0;
};

// The viewer window around the canvas.
class CanvasHost {
public:
    virtual ~CanvasHost() = default;
    // The viewer window, hidden when the manager takes over.
    virtual QWidget* viewerWidget() = 0;
    // The viewer's "视图" menu shown on empty canvas; null for none.
    virtual QMenu* viewMenu() = 0;
    // Appends the viewer's items in row order.
    virtual void getItems(QLinkedList<ItemInfoPtr>& items) = 0;
    // The manager, made when needed; null when there can be none.
    virtual CanvasManager* manager() = 0;
};
