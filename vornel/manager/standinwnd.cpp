#include "manager/standinwnd.h"

#include "app/appcfg.h"
#include "app/windows.h"
#include "grid/medialistview.h"
#include "panels/exivinfoview.h"
#include "panels/imagepreview.h"
#include "panels/taginfoview.h"

#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>

QPointer<StandInWnd> StandInWnd::ms_instance;

StandInWnd::StandInWnd()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("蔚禾照片管理"));

    QToolBar* bar = addToolBar(QStringLiteral("文件夹"));
    bar->setMovable(false);
    QAction* choose = bar->addAction(QStringLiteral("打开文件夹"));
    connect(choose, &QAction::triggered, this, &StandInWnd::onChooseFolder);
    m_path = new QLineEdit(bar);
    m_path->setPlaceholderText(QStringLiteral("文件夹路径"));
    bar->addWidget(m_path);
    connect(m_path, &QLineEdit::returnPressed, this, &StandInWnd::onPathEntered);

    m_grid = new MediaListView(this);
    m_grid->setHost(this);
    setCentralWidget(m_grid);
    addPanels();
    statusBar();
    resize(1024, 680);

    if (AppCfg* cfg = AppCfg::current()) {
        if (!cfg->lastPath.isEmpty())
            loadPath(cfg->lastPath);
    }
}

StandInWnd* StandInWnd::instance()
{
    if (!ms_instance)
        ms_instance = new StandInWnd();
    return ms_instance;
}

StandInWnd* StandInWnd::current()
{
    return ms_instance;
}

bool StandInWnd::loadPath(const QString& path)
{
    const QFileInfo fi(path);
    if (!fi.exists()) {
        statusBar()->showMessage(QStringLiteral("文件夹不存在：%1").arg(path));
        return false;
    }
    const QString folder = fi.isDir() ? fi.absoluteFilePath() : fi.absolutePath();
    m_path->setText(folder);
    m_grid->listFolder(folder, fi.isDir() ? QString() : fi.absoluteFilePath());
    AppCfg::instance()->lastPath = fi.absoluteFilePath();
    statusBar()->clearMessage();
    return true;
}

void StandInWnd::addPanels()
{
    const auto dock = [this](const QString& title, Qt::DockWidgetArea area, auto* panel) {
        auto* d = new QDockWidget(title, this);
        panel->setParent(d);
        d->setWidget(panel);
        addDockWidget(area, d);
        connect(m_grid, &MediaListView::selectItemChanged, panel, &std::remove_pointer_t<decltype(panel)>::onLoadFile);
        return panel;
    };
    dock(QStringLiteral("预览"), Qt::LeftDockWidgetArea, new ImagePreview);
    ExivInfoView* exiv = dock(QStringLiteral("文件信息"), Qt::LeftDockWidgetArea, new ExivInfoView);
    TagInfoView* tag = dock(QStringLiteral("标签"), Qt::RightDockWidgetArea, new TagInfoView);
    connect(m_grid, &MediaListView::itemDataChanged, exiv, &ExivInfoView::onLoadFile);
    connect(m_grid, &MediaListView::itemDataChanged, tag, &TagInfoView::onLoadFile);
    connect(tag, &TagInfoView::saveStar, m_grid, &MediaListView::onSaveStar);
    connect(tag, &TagInfoView::saveRgbs, m_grid, &MediaListView::onSaveRgbs);
    connect(tag, &TagInfoView::saveTextTags, m_grid, &MediaListView::onSaveTextTags);
    connect(tag, &TagInfoView::saveTags, m_grid, &MediaListView::onSaveTags);
    connect(tag, &TagInfoView::hisTextTagChanged, m_grid, &MediaListView::onRefreshHisTextTag);
}

void StandInWnd::showProblem(const QString& text)
{
    statusBar()->showMessage(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("提示"), text, QMessageBox::NoButton, this);
    box->addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void StandInWnd::onChooseFolder()
{
    const QString start = m_grid->currentPath().isEmpty() ? QDir::homePath() : m_grid->currentPath();
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("选择文件夹"), start);
    if (!folder.isEmpty())
        loadPath(folder);
}

void StandInWnd::onPathEntered()
{
    const QString path = m_path->text().trimmed();
    if (!path.isEmpty())
        loadPath(path);
}

void StandInWnd::showStatus(const QString& text)
{
    statusBar()->showMessage(text, 10000);
}

GridViewer* StandInWnd::viewer()
{
    return viewerWindow();
}

bool StandInWnd::isCurrentPath(const QString& filePath)
{
    return m_grid->isCurrentPath(filePath);
}

int StandInWnd::selectFile(const QString& filePath)
{
    return m_grid->selectFile(filePath);
}

int StandInWnd::loadItems(QLinkedList<ItemInfoPtr>& items, const QString& curFile)
{
    m_path->setText(QFileInfo(curFile).absolutePath());
    return m_grid->loadItems(items, curFile);
}
