#pragma once

#include "widgets/lesswidget.h"

#include <QPointer>

#include <memory>

namespace Ui {
class LikeFindWnd;
}

class ImageListWidget;
class ImageTreeWidget;
class QAction;
class QMenu;
class QMovie;
class QSplitter;
class QTreeWidgetItem;

// The duplicate finder's window: conditions on top, result tree and thumbnails below, actions at the bottom.
class LikeFindWnd : public LessWidget {
    Q_OBJECT
public:
    // The process's window, created on first use (deleted when closed).
    static QPointer<LikeFindWnd> instance();
    // The window when there is one.
    static QPointer<LikeFindWnd> current();
    ~LikeFindWnd() override;

    void settingsToUi();
    void uiToSettings();
    // Adds a folder to search, with the refusals the add button gives; true when added.
    bool addFindPath(const QString& folder);
    void selectByTime(bool newest, const QString& key);
    // Acts on the checked files (1 move, 2 copy, 3 recycle, 4 delete) on a pool thread while the window keeps
    // painting but takes no input; the number left where they were (failed, or changed since the search), or -1
    // when the user stopped before anything was done. Files gone since the search leave the list.
    int processChecked(int code, const QString& folder);
    // The same for the file rows given; before a move or removal, asks when some photo would keep no copy that is
    // still what the search found. A file changed since the search, or whose kept copy did, is left and counted.
    int processRows(int code, const QString& folder, const QList<QTreeWidgetItem*>& rows);
    // Moves the files of the tree's or the list's "删除(&D)" to the trash, as "删除到回收站" does.
    void trashFiles(const QStringList& files);
    void removeRow(QTreeWidgetItem* row);
    void exportList(int mode);
    // Writes the rows of a mode (-1 all, 2 checked, 0 unchecked) to the file; false when it failed.
    bool writeList(const QString& fileName, int mode);

    bool hitCaption(const QPoint& pos) override;

    ImageTreeWidget* dupImage() const { return m_dupImage; }
    ImageListWidget* viewImage() const { return m_viewImage; }

public slots:
    void onShowAboutDlg();
    void onFindEnd();
    void onFindStepInfo(QString strInfo);
    void onSelNewCreateFile();
    void onSelOldCreateFile();
    void onSelNewWriteFile();
    void onSelOldWriteFile();
    void onSelAllFile();
    void onSelNoneFile();
    void onMoveSelToPath();
    void onCopySelToPath();
    void onMoveSelToRecycle();
    void onDelSelFile();
    void onExportChecked();
    void onExportUnchecked();
    void onExportAll();
    void onHideSetting();
    void onHideList();
    void onHideView();
    void on_cbFullContentIsSame_stateChanged(int state);
    void on_cbFindSimilarImage_stateChanged(int state);
    void on_cbLittleDiff_stateChanged(int state);
    void on_cbMediumDiff_stateChanged(int state);
    void on_sbPreviewImageSize_valueChanged(int val);
    void on_btDelPath_clicked();
    void on_btAddPath_clicked();
    void on_btStartFind_clicked();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    LikeFindWnd();
    void buildMenus();
    void information(const QString& text);
    bool question(const QString& text);
    void toggleView(QWidget* widget, QAction* action);
    void setBusy(bool busy);

    QMenu* m_mainMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    QAction* m_settingAction = nullptr;
    QAction* m_listAction = nullptr;
    QAction* m_viewAction = nullptr;
    QMenu* m_helpMenu = nullptr;
    QAction* m_aboutAction = nullptr;
    QAction* m_exitAction = nullptr;
    QMovie* m_movie = nullptr;
    // Files are being moved, copied or removed: the window does not close until they are done.
    bool m_handlingFiles = false;
    QSplitter* m_splitter = nullptr;
    ImageTreeWidget* m_dupImage = nullptr;
    ImageListWidget* m_viewImage = nullptr;
    std::unique_ptr<Ui::LikeFindWnd> ui;
};
