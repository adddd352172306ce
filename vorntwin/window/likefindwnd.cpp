#include "window/likefindwnd.h"

#include "search/actionbatch.h"
#include "search/findfileinfo.h"
#include "search/imageinfo.h"
#include "search/likefindcfg.h"
#include "sys/fileutil.h"
#include "task/pooljob.h"
#include "widgets/aboutmedlg.h"
#include "window/filemenu.h"
#include "window/imagelistwidget.h"
#include "window/imagetreewidget.h"

#include "ui_likefindwnd.h"

#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFutureWatcher>
#include <QMenu>
#include <QMessageBox>
#include <QMovie>
#include <QSettings>
#include <QSplitter>
#include <QTreeWidgetItemIterator>

namespace {

QPointer<LikeFindWnd> g_wnd;

const char* const kCfgFile = "vorntwin.cfg";

LikeFindCfg* cfg()
{
    return LikeFindCfg::instance(0);
}

} // namespace

QPointer<LikeFindWnd> LikeFindWnd::instance()
{
    if (g_wnd)
        return g_wnd;
    auto* wnd = new LikeFindWnd();
    wnd->restoreGeometry(QSettings().value("LikeFindWnd/Geometry").toByteArray());
    wnd->settingsToUi();
    g_wnd = wnd;
    wnd->setAttribute(Qt::WA_DeleteOnClose);
    wnd->loadLess();
    return g_wnd;
}

QPointer<LikeFindWnd> LikeFindWnd::current()
{
    return g_wnd;
}

LikeFindWnd::LikeFindWnd()
    : LessWidget(nullptr, Qt::WindowFlags())
    , ui(std::make_unique<Ui::LikeFindWnd>())
{
    Q_INIT_RESOURCE(vorntwin);
    ui->setupUi(this);
    // The cell rectangles exist from the start, whatever size the form begins with.
    cfg()->updateRects();

    m_splitter = new QSplitter(ui->wgResult);
    m_splitter->setChildrenCollapsible(false);
    ui->layResult->addWidget(m_splitter);
    m_dupImage = new ImageTreeWidget(m_splitter);
    m_dupImage->setObjectName("dupImage");
    m_viewImage = new ImageListWidget(m_splitter);
    m_viewImage->setObjectName("viewImage");
    m_splitter->addWidget(m_dupImage);
    m_splitter->addWidget(m_viewImage);
    m_splitter->setStretchFactor(0, 50);
    m_splitter->setStretchFactor(1, 50);

    buildMenus();
    connect(ui->btMinimize, &QToolButton::clicked, this, &LikeFindWnd::onMinimize);
    connect(ui->btMaximize, &QToolButton::clicked, this, &LikeFindWnd::onMaximize);
    connect(ui->btClose, &QToolButton::clicked, this, &LikeFindWnd::onClose);

    m_movie = new QMovie(QStringLiteral(":/pic/load.gif"), QByteArray(), this);
    m_movie->setScaledSize(QSize(16, 16));
    ui->lbGif->setMovie(m_movie);
    m_movie->stop();

    connect(m_dupImage, &ImageTreeWidget::findStepInfo, this, &LikeFindWnd::onFindStepInfo);
    connect(m_dupImage, &ImageTreeWidget::findEnd, this, &LikeFindWnd::onFindEnd);
    connect(m_dupImage, &ImageTreeWidget::currentGroupChanged, m_viewImage, &ImageListWidget::onLoadFiles);
    connect(m_dupImage, &ImageTreeWidget::selectChanged, m_viewImage, &ImageListWidget::onSelectItem);
    connect(m_dupImage, &ImageTreeWidget::trashRequested, this, &LikeFindWnd::trashFiles);
    connect(m_viewImage, &ImageListWidget::trashRequested, this, &LikeFindWnd::trashFiles);
}

LikeFindWnd::~LikeFindWnd()
{
    // The job uses the tree, its nodes and the find store: it ends before any of them goes.
    m_dupImage->cancelFind();
}

void LikeFindWnd::buildMenus()
{
    m_mainMenu = new QMenu(this);
    m_viewMenu = m_mainMenu->addMenu(tr("视图"));
    m_settingAction = m_viewMenu->addAction(tr("查找条件"), this, &LikeFindWnd::onHideSetting);
    m_listAction = m_viewMenu->addAction(tr("照片列表"), this, &LikeFindWnd::onHideList);
    m_viewAction = m_viewMenu->addAction(tr("照片预览"), this, &LikeFindWnd::onHideView);
    for (QAction* a : { m_settingAction, m_listAction, m_viewAction }) {
        a->setCheckable(true);
        a->setChecked(true);
    }
    m_helpMenu = m_mainMenu->addMenu(tr("帮助"));
    m_aboutAction = m_helpMenu->addAction(tr("关于"), this, &LikeFindWnd::onShowAboutDlg);
    m_exitAction = m_mainMenu->addAction(tr("退出"), this, &LikeFindWnd::onClose);
    ui->btMainMenu->setMenu(m_mainMenu);

    auto* select = new QMenu(this);
    select->addAction(tr("选择最新创建"), this, &LikeFindWnd::onSelNewCreateFile);
    select->addAction(tr("选择最旧创建"), this, &LikeFindWnd::onSelOldCreateFile);
    select->addAction(tr("选择最新修改"), this, &LikeFindWnd::onSelNewWriteFile);
    select->addAction(tr("选择最旧修改"), this, &LikeFindWnd::onSelOldWriteFile);
    select->addAction(tr("选择全部"), this, &LikeFindWnd::onSelAllFile);
    select->addAction(tr("取消全部"), this, &LikeFindWnd::onSelNoneFile);
    ui->btSelect->setMenu(select);

    auto* deal = new QMenu(this);
    deal->addAction(tr("移动到目录"), this, &LikeFindWnd::onMoveSelToPath);
    deal->addAction(tr("复制到目录"), this, &LikeFindWnd::onCopySelToPath);
    deal->addAction(tr("删除到回收站"), this, &LikeFindWnd::onMoveSelToRecycle);
    deal->addAction(tr("直接删除"), this, &LikeFindWnd::onDelSelFile);
    ui->btDeal->setMenu(deal);

    auto* exporting = new QMenu(this);
    exporting->addAction(tr("导出选中"), this, &LikeFindWnd::onExportChecked);
    exporting->addAction(tr("导出未选"), this, &LikeFindWnd::onExportUnchecked);
    exporting->addAction(tr("导出全部"), this, &LikeFindWnd::onExportAll);
    ui->btExport->setMenu(exporting);
}

void LikeFindWnd::information(const QString& text)
{
    QMessageBox::information(this, tr("提示"), text, tr("确定"));
}

bool LikeFindWnd::question(const QString& text)
{
    return QMessageBox::question(this, tr("确认"), text, tr("是"), tr("否")) == 0;
}

bool LikeFindWnd::hitCaption(const QPoint& pos)
{
    return LessFrame::onTitleBar(this, ui->titleBar, pos, { ui->lbTitle });
}

void LikeFindWnd::settingsToUi()
{
    const FindSettings& f = cfg()->find;
    ui->cbFileSizeIsSame->setChecked(f.FileSizeIsSame);
    ui->cbFileTypeIsSame->setChecked(f.FileTypeIsSame);
    ui->cbFileNameIsSame->setChecked(f.FileNameIsSame);
    ui->cbCreationTimeIsSame->setChecked(f.CreationTimeIsSame);
    ui->cbLastWriteTimeIsSame->setChecked(f.LastWriteTimeIsSame);
    ui->cbFullContentIsSame->setChecked(f.FullContentIsSame);
    ui->cbFindSimilarImage->setChecked(f.FindSimilarImage);
    ui->cbNoDiff->setChecked(f.FindNoDiff);
    ui->cbLittleDiff->setChecked(f.FindLittleDiff);
    ui->sbLittleDiff->setValue(f.LittleDiff);
    ui->cbMediumDiff->setChecked(f.FindMediumDiff);
    ui->sbMediumDiff->setValue(f.MediumDiff);
    ui->sbPreviewImageSize->setValue(cfg()->layout.ItemWidth);
    const QStringList paths = f.FindPath;
    for (const QString& path : paths)
        ui->lwPaths->addItem(path);
    // The enable rules, whether or not a value changed above.
    on_cbFullContentIsSame_stateChanged(ui->cbFullContentIsSame->checkState());
    on_cbFindSimilarImage_stateChanged(ui->cbFindSimilarImage->checkState());
}

void LikeFindWnd::uiToSettings()
{
    LikeFindCfg* c = cfg();
    FindSettings& f = c->find;
    f.FileTypeIsSame = ui->cbFileTypeIsSame->isChecked();
    f.FileNameIsSame = ui->cbFileNameIsSame->isChecked();
    f.FileSizeIsSame = ui->cbFileSizeIsSame->isChecked();
    f.CreationTimeIsSame = ui->cbCreationTimeIsSame->isChecked();
    f.LastWriteTimeIsSame = ui->cbLastWriteTimeIsSame->isChecked();
    f.FullContentIsSame = ui->cbFullContentIsSame->isChecked();
    f.FindSimilarImage = ui->cbFindSimilarImage->isChecked();
    f.FindNoDiff = ui->cbNoDiff->isChecked();
    f.FindLittleDiff = ui->cbLittleDiff->isChecked();
    f.FindMediumDiff = ui->cbMediumDiff->isChecked();
    f.LittleDiff = ui->sbLittleDiff->value();
    f.MediumDiff = ui->sbMediumDiff->value();
    c->layout.ItemWidth = ui->sbPreviewImageSize->value();
    c->updateRects();
    c->layout.ItemHeight = ui->sbPreviewImageSize->value();
    c->updateRects();
    f.FindPath.clear();
    for (int i = 0; i < ui->lwPaths->count(); ++i)
        f.FindPath << ui->lwPaths->item(i)->text();
    c->save(kCfgFile);
}

bool LikeFindWnd::addFindPath(const QString& folder)
{
    if (folder.isEmpty()) {
        information(tr("请选择一个要添加的目录"));
        return false;
    }
    // Folder names compare exactly: "/Photos" and "/photos" are two folders here.
    if (!ui->lwPaths->findItems(folder, Qt::MatchFixedString | Qt::MatchCaseSensitive).isEmpty()) {
        information(tr("请不要重复添加目录"));
        return false;
    }
    ui->lwPaths->addItem(folder);
    return true;
}

void LikeFindWnd::on_btAddPath_clicked()
{
    const QString folder
        = QFileDialog::getExistingDirectory(this, tr("请选择要查找的目录"), cfg()->LastPath, QFileDialog::ShowDirsOnly);
    cfg()->LastPath = QDir::toNativeSeparators(folder);
    addFindPath(cfg()->LastPath);
}

void LikeFindWnd::on_btDelPath_clicked()
{
    if (ui->lwPaths->count() == 0) {
        information(tr("列表中没有目录"));
        return;
    }
    const QList<QListWidgetItem*> rows = ui->lwPaths->selectedItems();
    if (rows.isEmpty()) {
        information(tr("请选择要删除的目录"));
        return;
    }
    qDeleteAll(rows);
}

void LikeFindWnd::on_btStartFind_clicked()
{
    uiToSettings();
    const FindSettings& f = cfg()->find;
    if (f.FindPath.isEmpty()) {
        information(tr("请先添加要查找的目录"));
        return;
    }
    if (!f.FileTypeIsSame && !f.FileNameIsSame && !f.FileSizeIsSame && !f.CreationTimeIsSame && !f.LastWriteTimeIsSame
        && !f.FullContentIsSame && !f.FindSimilarImage) {
        information(tr("请至少选择一个比较的条件"));
        return;
    }
    if (f.FindSimilarImage && !f.FindNoDiff && !f.FindLittleDiff && !f.FindMediumDiff) {
        information(tr("请至少选择一个相似照片的判断的条件"));
        return;
    }
    ui->btStartFind->setEnabled(false);
    ui->lbStatus->setText(tr("启动..."));
    m_movie->start();
    m_viewImage->onLoadFiles(QStringList());
    m_dupImage->startFind();
}

void LikeFindWnd::on_cbFullContentIsSame_stateChanged(int state)
{
    if (state == Qt::Checked) {
        ui->cbFileSizeIsSame->setChecked(true);
        ui->cbFileSizeIsSame->setEnabled(false);
    } else {
        ui->cbFileSizeIsSame->setEnabled(true);
    }
}

void LikeFindWnd::on_cbFindSimilarImage_stateChanged(int state)
{
    const bool on = state == Qt::Checked;
    ui->cbNoDiff->setEnabled(on);
    ui->cbLittleDiff->setEnabled(on);
    ui->cbMediumDiff->setEnabled(on);
    ui->sbLittleDiff->setEnabled(on && ui->cbLittleDiff->isChecked());
    ui->sbMediumDiff->setEnabled(on && ui->cbMediumDiff->isChecked());
}

void LikeFindWnd::on_cbLittleDiff_stateChanged(int state)
{
    ui->sbLittleDiff->setEnabled(state == Qt::Checked && ui->cbFindSimilarImage->isChecked());
}

void LikeFindWnd::on_cbMediumDiff_stateChanged(int state)
{
    ui->sbMediumDiff->setEnabled(state == Qt::Checked && ui->cbFindSimilarImage->isChecked());
}

void LikeFindWnd::on_sbPreviewImageSize_valueChanged(int val)
{
    LikeFindCfg* c = cfg();
    c->layout.ItemWidth = val;
    c->updateRects();
    c->layout.ItemHeight = val;
    c->updateRects();
    if (m_viewImage) {
        m_viewImage->rescaleItems();
        m_viewImage->doItemsLayout();
    }
}

void LikeFindWnd::onFindStepInfo(QString strInfo)
{
    ui->lbStatus->setText(strInfo);
}

void LikeFindWnd::onFindEnd()
{
    ui->btStartFind->setEnabled(true);
    m_movie->stop();
}

void LikeFindWnd::selectByTime(bool newest, const QString& key)
{
    for (QTreeWidgetItem* group : m_dupImage->fileGroupItems()) {
        QTreeWidgetItem* keep = nullptr;
        QString best;
        for (int i = 0; i < group->childCount(); ++i) {
            QTreeWidgetItem* child = group->child(i);
            const ImageInfo* node = ImageTreeWidget::nodeOf(child);
            if (!node || !node->isFile())
                continue;
            const QString t = node->row->fieldText(key);
            if (best.isEmpty()) {
                keep = child;
                best = t;
                continue;
            }
            if (newest == (best < t)) {
                child->setCheckState(0, Qt::Checked);
            } else {
                keep->setCheckState(0, Qt::Checked);
                keep = child;
                best = t;
            }
        }
        if (keep)
            keep->setCheckState(0, Qt::Unchecked);
    }
}

void LikeFindWnd::onSelNewCreateFile()
{
    selectByTime(true, QStringLiteral("CreationTime"));
}

void LikeFindWnd::onSelOldCreateFile()
{
    selectByTime(false, QStringLiteral("CreationTime"));
}

void LikeFindWnd::onSelNewWriteFile()
{
    selectByTime(true, QStringLiteral("LastWriteTime"));
}

void LikeFindWnd::onSelOldWriteFile()
{
    selectByTime(false, QStringLiteral("LastWriteTime"));
}

void LikeFindWnd::onSelAllFile()
{
    for (QTreeWidgetItemIterator it(m_dupImage); *it; ++it)
        (*it)->setCheckState(0, Qt::Checked);
}

void LikeFindWnd::onSelNoneFile()
{
    for (QTreeWidgetItemIterator it(m_dupImage); *it; ++it)
        (*it)->setCheckState(0, Qt::Unchecked);
}

void LikeFindWnd::onMoveSelToPath()
{
    const QString folder
        = QFileDialog::getExistingDirectory(this, tr("请选择文件移动的目标目录"), QString(), QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty())
        processChecked(1, folder);
}

void LikeFindWnd::onCopySelToPath()
{
    const QString folder
        = QFileDialog::getExistingDirectory(this, tr("请选择文件复制的目标目录"), QString(), QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty())
        processChecked(2, folder);
}

void LikeFindWnd::onMoveSelToRecycle()
{
    if (question(tr("你确认要选中的文件删除到回收站吗？")))
        processChecked(3, QString());
}

void LikeFindWnd::onDelSelFile()
{
    if (question(tr("你确认要直接删除选中的文件吗？文件删除后无法找回。")))
        processChecked(4, QString());
}

namespace {

// Runs the loop until the job is done, so the window keeps painting meanwhile.
template <class T> T waitFor(const QFuture<T>& job)
{
    QFutureWatcher<T> watcher;
    QEventLoop wait;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &wait, &QEventLoop::quit);
    watcher.setFuture(job);
    if (!job.isFinished())
        wait.exec();
    return job.result();
}

} // namespace

int LikeFindWnd::processChecked(int code, const QString& folder)
{
    QList<QTreeWidgetItem*> rows;
    for (QTreeWidgetItemIterator it(m_dupImage, QTreeWidgetItemIterator::Checked); *it; ++it)
        rows << *it;
    return processRows(code, folder, rows);
}

void LikeFindWnd::trashFiles(const QStringList& files)
{
    if (!m_handlingFiles)
        processRows(3, QString(), m_dupImage->fileRowsOf(files));
}

void LikeFindWnd::setBusy(bool busy)
{
    setEnabled(!busy);
    if (busy)
        m_movie->start();
    else
        m_movie->stop();
}

int LikeFindWnd::processRows(int code, const QString& folder, const QList<QTreeWidgetItem*>& given)
{
    QList<QTreeWidgetItem*> rows;
    for (QTreeWidgetItem* row : given) {
        if (!ImageTreeWidget::filePathOf(row).isEmpty())
            rows << row;
    }
    if (rows.isEmpty() || m_handlingFiles)
        return 0;
    // Thousands of photos take a while: the window keeps painting, and takes no input until they are done.
    m_handlingFiles = true;
    const ActionBatch batch = m_dupImage->actionBatch(rows, QDir::fromNativeSeparators(folder));
    // Taking every copy of a photo away, or every copy that still is what the search found, is never done without
    // asking.
    QVector<bool> bare;
    if (code != 2) {
        setBusy(true);
        bare = waitFor(runJob(nullptr, [sets = batch.sets] { return CopySet::bareSets(sets); }));
        setBusy(false);
        const QString text = code == 1
            ? tr("选中的文件包含了 %1 组照片的全部副本，移动后查找的目录中将不再保留任何一份。\n你确认要继续吗？")
            : tr("选中的文件包含了 %1 组照片的全部副本，删除后这些照片将不再保留任何一份。\n你确认要继续吗？");
        const int bareCount = int(bare.count(true));
        if (bareCount > 0 && !confirmNoCopyKept(this, text.arg(bareCount))) {
            m_handlingFiles = false;
            return -1;
        }
    }
    setBusy(true);
    const QVector<ActionBatch::Outcome> outcomes
        = waitFor(runJob(nullptr, [batch, code, bare] { return batch.run(code, bare); }));
    setBusy(false);
    m_handlingFiles = false;

    int counts[5] = { 0, 0, 0, 0, 0 };
    for (int i = 0; i < rows.size(); ++i) {
        const ActionBatch::Outcome outcome = outcomes.value(i, ActionBatch::Failed);
        ++counts[outcome];
        if ((outcome == ActionBatch::Done && code != 2) || outcome == ActionBatch::Gone)
            removeRow(rows[i]);
    }
    m_dupImage->updateGroupCheckStates();
    if ((code != 2 && counts[ActionBatch::Done] > 0) || counts[ActionBatch::Gone] > 0)
        m_dupImage->reloadCurrentGroup();
    QStringList texts;
    if (counts[ActionBatch::Failed] > 0) {
        static const char* const verbs[] = { "", "移动", "复制", "删除到回收站", "删除" };
        texts << tr("有 %1 个文件%2失败（目标目录中已有同名文件、磁盘已满或文件无法访问），它们仍留在列表中。")
                     .arg(counts[ActionBatch::Failed])
                     .arg(tr(verbs[qBound(0, code, 4)]));
    }
    if (counts[ActionBatch::Changed] > 0)
        texts << tr("有 %1 个文件在查找后已改变，未处理，它们仍留在列表中。").arg(counts[ActionBatch::Changed]);
    if (counts[ActionBatch::CopyChanged] > 0)
        texts << tr("有 %1 个文件要保留的副本在查找后已改变，未处理，它们仍留在列表中。")
                     .arg(counts[ActionBatch::CopyChanged]);
    if (counts[ActionBatch::Gone] > 0)
        texts << tr("有 %1 个文件已不在原处（已被删除或移走），已从列表中去掉。").arg(counts[ActionBatch::Gone]);
    if (!texts.isEmpty())
        information(texts.join(QLatin1Char('\n')));
    return rows.size() - counts[ActionBatch::Done] - counts[ActionBatch::Gone];
}

void LikeFindWnd::removeRow(QTreeWidgetItem* row)
{
    m_dupImage->removeRow(row);
}

void LikeFindWnd::onExportChecked()
{
    exportList(2);
}

void LikeFindWnd::onExportUnchecked()
{
    exportList(0);
}

void LikeFindWnd::onExportAll()
{
    exportList(-1);
}

void LikeFindWnd::exportList(int mode)
{
    const QString fileName = QFileDialog::getSaveFileName(
        nullptr, tr("请选择保存的文件"), QString(), tr("文本文件(*.txt);;所有文件(*.*)"));
    if (fileName.isEmpty())
        return;
    writeList(fileName, mode);
}

bool LikeFindWnd::writeList(const QString& fileName, int mode)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate))
        return false;
    QString text;
    const QTreeWidgetItem* header = m_dupImage->headerItem();
    for (int c = 0; c < m_dupImage->columnCount(); ++c)
        text += header->text(c) + "\t";
    for (QTreeWidgetItemIterator it(m_dupImage); *it; ++it) {
        const QTreeWidgetItem* row = *it;
        if (mode != -1 && row->checkState(0) != mode)
            continue;
        text += "\r\n";
        for (int c = 0; c < m_dupImage->columnCount(); ++c)
            text += row->text(c) + "\t";
    }
    const QByteArray bytes = text.toUtf8();
    const qint64 written = file.write(bytes);
    file.close();
    if (written < bytes.size() || file.error() != QFileDevice::NoError) {
        information(tr("导出到文件失败，数据没保存完整！"));
        return false;
    }
    return true;
}

void LikeFindWnd::toggleView(QWidget* widget, QAction* action)
{
    widget->setHidden(!widget->isHidden());
    action->setChecked(!widget->isHidden());
}

void LikeFindWnd::onHideSetting()
{
    toggleView(ui->wgCentral, m_settingAction);
}

void LikeFindWnd::onHideList()
{
    toggleView(m_dupImage, m_listAction);
}

void LikeFindWnd::onHideView()
{
    toggleView(m_viewImage, m_viewAction);
}

void LikeFindWnd::onShowAboutDlg()
{
    AboutMeDlg dlg(nullptr);
    dlg.exec();
}

void LikeFindWnd::closeEvent(QCloseEvent* event)
{
    if (m_handlingFiles) {
        event->ignore();
        return;
    }
    QSettings().setValue("LikeFindWnd/Geometry", saveGeometry());
    uiToSettings();
    // A search still running stops here, and its job ends before the window and the store go.
    m_dupImage->cancelFind();
    QWidget::closeEvent(event);
}
