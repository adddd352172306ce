#pragma once

#include "grid/gridhost.h"
#include "viewer/canvashost.h"
#include "widgets/lesswidget.h"

#include <QLinkedList>
#include <QPointer>

#include <memory>

class ImageViewForm;
class QAction;
class QLabel;
class QMenu;
class QTimer;

namespace Ui {
class PicMgr;
}

// The photo manager's main window: frameless, with its title bar and main menu, the browser form (grid and
// docked panels) in the centre and the filter bar in the status bar. One per process.
class PicMgr : public LessWidget, public GridHost, public CanvasManager {
    Q_OBJECT
public:
    // The window, made (frameless, deleted on close, not shown) when there is none.
    static PicMgr* instance();
    // The window when there is one, else null.
    static PicMgr* current();

    explicit PicMgr(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~PicMgr() override;

    ImageViewForm* form() const { return m_form; }
    QMenu* mainMenu() const { return m_menu; }

    // GridHost and CanvasManager.
    QWidget* managerWidget() override { return this; }
    QMenu* viewMenu() override { return m_viewMenu; }
    GridViewer* viewer() override;
    bool isCurrentPath(const QString& filePath) override;
    int selectFile(const QString& filePath) override;
    int loadItems(QLinkedList<ItemInfoPtr>& items, const QString& filePath) override;
    void getItems(QLinkedList<ItemInfoPtr>& items);
    // Shows the text at the left of the status bar until another replaces it or it times out.
    void showStatus(const QString& text) override;
    QString statusText() const;
    // The lasting note beside the messages (edits not stored yet, a damaged tag database) and its tip with the
    // reason; empty when none.
    QString noteText() const;
    QString noteTip() const;

    bool hitCaption(const QPoint& pos) override;

public slots:
    void onResizeItem();
    void onPicView();
    void onVornsort();
    void onVorntwin();
    void onTagSync();
    void onShowSetting();
    void onShowAboutDlg();
    void onShowTitleBar();
    void onShowStatusBar();
    void onFilter();
    void onZoom(int value);
    void onItemCleared();
    void onHisTextTagChanged();
    // Follows the queue of tag-row writes: a lasting note while edits wait for the database.
    void onStoreStateChanged();
    // The queue is empty: edits that waited are all done.
    void onStoreDrained();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void firstPaintedEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenu();
    void fillFilterBar();
    void fillTextTags();
    void restoreSettings();
    void disconnectForm();
    // Shows the status message whole, or cut with an ellipsis where the bar is too narrow.
    void fitStatus();
    QString storeTip() const;

    static QPointer<PicMgr> ms_instance;
    std::unique_ptr<Ui::PicMgr> ui;
    ImageViewForm* m_form = nullptr;
    QMenu* m_menu = nullptr;
    QMenu* m_viewMenu = nullptr;
    QAction* m_atTitleBar = nullptr;
    QAction* m_atStatusBar = nullptr;
    QTimer* m_statusTimer = nullptr;
    QString m_status; // the status message whole
    QLabel* m_note = nullptr;
    bool m_editsWaited = false;
    // ItemStoreQueue::dropped() when the writes began to wait.
    int m_droppedBefore = 0;
    bool m_damageTold = false;
};
