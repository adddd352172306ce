#pragma once

#include "tidycfg.h"

#include "widgets/lesswidget.h"

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QList>

#include <atomic>
#include <memory>

class FileTreeInfo;
class FileTreeItem;
class QAction;
class QLineEdit;
class QMenu;
class QMovie;
class TidyRunner;

namespace Ui {
class VornsortWnd;
}

// The photo tidier's window: the settings of a run as a form, a preview or a direct run on the global thread pool,
// and one row per found photo. The jobs never wait for the window (their signals are queued), so closing stops a
// run and waits for it.
class VornsortWnd : public LessWidget {
    Q_OBJECT
public:
    explicit VornsortWnd(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~VornsortWnd() override;

    bool hitCaption(const QPoint& pos) override;
    // From the start of a run until the window has taken its end.
    bool isRunning() const { return m_busy; }

signals:
    void sign_item_find(FileTreeInfo* info);
    void sign_item_find_end();
    void sign_item_update(FileTreeItem* item);

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void onShowAboutDlg();
    void onTaskEnd();
    void onItemFind(FileTreeInfo* info);
    void onItemFindEnd();
    void onItemUpdate(FileTreeItem* item);
    void on_cbPathRuleTime_currentIndexChanged(int index);
    void on_tbSelSrcPath_clicked();
    void on_tbSelDstPath_clicked();
    void on_btPreview_clicked();
    void on_btStart_clicked();
    void on_btExecPreview_clicked();
    void on_btHideSetting_clicked();
    // A setting that places or times the files changed: the shown preview may be carried out only while the
    // form still plans as it did.
    void onPlanFormChanged();

private:
    // Jobs, on a pool thread.
    void runPreview(TidyRunner& runner);
    void executeAll(TidyRunner& runner, const QList<FileTreeItem*>& rows);

    void startRun(int mode);
    void startExecute(std::shared_ptr<TidyRunner> runner);
    void showBusy(const QString& text);
    // The folder picker for a path field; a cancelled one leaves the field.
    void pickFolder(QLineEdit* edit, const QString& title);
    // Cancels a running job and waits for it.
    void stopRun();
    bool checkSettings();
    void settingsToUi();
    void uiToSettings();
    void uiToSettings(TidyCfg& cfg) const;
    bool previewStillValid() const;

    QMenu* m_menu = nullptr;
    QAction* m_actAbout = nullptr;
    QAction* m_actExit = nullptr;
    QMovie* m_movie = nullptr;
    QFutureWatcher<void> m_watcher;
    int m_runMode = 0;
    QList<FileTreeInfo*> m_foundInfos;
    std::unique_ptr<Ui::VornsortWnd> ui;

    std::shared_ptr<TidyRunner> m_runner;
    // The settings the shown preview was planned with.
    TidyCfg m_planCfg;
    bool m_previewShown = false;
    // A direct run carries its plan out once the rows are there.
    bool m_execPending = false;
    bool m_busy = false;
    QElapsedTimer m_clock;
    std::atomic<qint64> m_lastFind { -1000 };
};
