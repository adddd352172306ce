#pragma once

#include "grid/gridhost.h"
#include "viewer/canvashost.h"

#include <QMainWindow>
#include <QPointer>

class MediaListView;
class QLineEdit;

// The photo manager's main window until the manager and viewer windows take its place: the thumbnail grid of one
// folder, chosen with a button or typed in; a double-clicked photo opens in the viewer.
class StandInWnd : public QMainWindow, public GridHost, public CanvasManager {
    Q_OBJECT
public:
    // The one window, made (not shown) when there is none; closing deletes it.
    static StandInWnd* instance();
    static StandInWnd* current();

    // Lists a folder (a file: its folder, with the file selected) and keeps it as "LastPath"; false when missing.
    bool loadPath(const QString& path);
    // Tells the user, without waiting for an answer, in a box titled "提示" and in the status bar.
    void showProblem(const QString& text);
    MediaListView* grid() const { return m_grid; }

    QWidget* managerWidget() override { return this; }
    QMenu* viewMenu() override { return nullptr; }
    GridViewer* viewer() override;
    void showStatus(const QString& text) override;
    bool isCurrentPath(const QString& filePath) override;
    int selectFile(const QString& filePath) override;
    int loadItems(QLinkedList<ItemInfoPtr>& items, const QString& curFile) override;

private:
    StandInWnd();
    // The preview, metadata and tag panels in docks, fed by the grid.
    void addPanels();
    void onChooseFolder();
    void onPathEntered();

    static QPointer<StandInWnd> ms_instance;
    MediaListView* m_grid = nullptr;
    QLineEdit* m_path = nullptr;
};
