#pragma once

#include "widgets/lesswidget.h"

#include <memory>

class QAction;
class QComboBox;
class QMenu;
class QMovie;
class QSpinBox;
class TagSyncTask;
class TaskObject;

namespace Ui {
class TagSyncWnd;
}

// The tag synchroniser's window: every setting as a control, grouped as the stages of a run, and a status row.
// One run at a time goes on the global pool; stop and close cancel it and wait only for the photo in hand.
class TagSyncWnd : public LessWidget {
    Q_OBJECT
public:
    explicit TagSyncWnd(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~TagSyncWnd() override;

    bool hitCaption(const QPoint& pos) override;

    // Adds a folder to the build list; false (after telling the user) when it is empty or already listed.
    bool addPath(const QString& path);
    bool isRunning() const;
    // Events of any other run are ignored.
    int currentTaskId() const { return m_taskId; }

public slots:
    void slot_about();
    void slot_close();
    void slot_task(TaskObject& info);

    void on_sbThumbWidth_valueChanged(int value);
    void on_sbThumbHeight_valueChanged(int value);
    void on_cbRecommendThumbSize_currentIndexChanged(const QString& text);
    void on_sbNewThumbWidth_valueChanged(int value);
    void on_sbNewThumbHeight_valueChanged(int value);
    void on_cbNewRecommendThumbSize_currentIndexChanged(const QString& text);
    void on_btStart_clicked();
    void on_btStop_clicked();
    void on_btAddPath_clicked();
    void on_btDelPath_clicked();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void loadSettings();
    void storeSettings();
    // Cancels the current run and waits for the global pool, painting meanwhile.
    void cancelRun();
    void showIdle();
    static void sizeToCombo(QComboBox* combo, const QSpinBox* width, const QSpinBox* height);
    static void comboToSize(const QString& text, QComboBox* combo, QSpinBox* width, QSpinBox* height);

    QMenu* m_menu = nullptr;
    QAction* m_actAbout = nullptr;
    QAction* m_actExit = nullptr;
    int m_taskId = 0;
    std::unique_ptr<TagSyncTask> m_task;
    QMovie* m_movie = nullptr;
    std::unique_ptr<Ui::TagSyncWnd> ui;
};
