#pragma once

#include "grid/gridhost.h"
#include "viewer/canvashost.h"
#include "widgets/lesswidget.h"

#include <QPointer>

#include <memory>

class FileListWidget;
class ImageShowView;
class QAction;
class QMenu;
class QSplitter;

namespace Ui {
class PicView;
}

// The viewer window: the strip of the shown file's folder beside the canvas, a title bar with the main menu and a
// status bar of tools (zoom, turn, step, trash, open). One per process, made on demand; closing deletes it.
class PicView : public LessWidget, public GridViewer, public CanvasHost {
    Q_OBJECT
public:
    // The one window, made (frameless, not shown) when there is none.
    static PicView* instance();
    // The window when there is one, else null.
    static PicView* current();
    ~PicView() override;

    bool hitCaption(const QPoint& pos) override;

    QWidget* viewerWidget() override { return this; }
    bool isCurrentPath(const QString& filePath) override;
    int selectFile(const QString& filePath) override;
    int loadItems(QLinkedList<ItemInfoPtr>& items, const QString& filePath) override;
    void getItems(QLinkedList<ItemInfoPtr>& items) override;
    QMenu* viewMenu() override { return m_viewMenu; }
    CanvasManager* manager() override;

    FileListWidget* fileList() const { return m_list; }
    ImageShowView* canvas() const { return m_canvas; }
    QMenu* mainMenu() const { return m_mainMenu; }
    // A file chosen to be shown: the strip shows it, its folder becomes "LastPath".
    void openChosenFile(const QString& path);
    // The information line for an item's file: name (long ones cut), file size, image size.
    static QString infoText(const ItemInfoPtr& info);

public slots:
    void onResizeItem();
    void onPicMgr();
    void onVornsort();
    void onVorntwin();
    void onTagSync();
    void onShowSetting();
    void onShowTitleBar();
    void onShowStatusBar();
    void onShowAboutDlg();
    void onScaleChanged(double scale);
    void onShowImage(ItemInfoPtr info);
    void onItemBest();
    // The shown photo's row left and none is left: the canvas and the information line go blank.
    void onShownRowGone();

    void on_btShowImageList_clicked();
    void on_btLoadImageFile_clicked();
    void on_btOriginal_clicked();
    void on_btFit_clicked();
    void on_btCenter_clicked();
    void on_btDelFile_clicked();
    void on_btZoomIn_clicked();
    void on_btZoomOut_clicked();
    void on_btPrevFile_clicked();
    void on_btNextFile_clicked();
    void on_btLeftRotate_clicked();
    void on_btRightRotate_clicked();
    void on_btFilePos_clicked();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void firstPaintedEvent(QEvent* event) override;

private:
    PicView();
    void buildMenus();
    void restoreSettings();
    void saveSettings();

    static QPointer<PicView> ms_instance;
    std::unique_ptr<Ui::PicView> ui;
    QMenu* m_mainMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QAction* m_atPicMgr = nullptr;
    QAction* m_atVornsort = nullptr;
    QAction* m_atVorntwin = nullptr;
    QAction* m_atTagSync = nullptr;
    QAction* m_atSetting = nullptr;
    QAction* m_atTitleBar = nullptr;
    QAction* m_atStatusBar = nullptr;
    QAction* m_atAbout = nullptr;
    QAction* m_atExit = nullptr;
    QSplitter* m_splitter = nullptr;
    FileListWidget* m_list = nullptr; // lwImageList
    ImageShowView* m_canvas = nullptr; // gvImage
    QMetaObject::Connection m_tagWatch; // refreshes the information line once the shown item knows its size
};
