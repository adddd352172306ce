#include "vornsortwnd.h"
#include "ui_vornsortwnd.h"

#include "filetreeinfo.h"
#include "filetreeitem.h"
#include "tidyrunner.h"

#include "sys/datetimeutil.h"
#include "task/pooljob.h"
#include "widgets/aboutmedlg.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMovie>
#include <QSettings>

static const char* const GeometryKey = "VornsortWnd/Geometry";
// Progress texts of a scan at most this often: thousands of files find faster than a label repaints.
static const qint64 FindTextMs = 40;

VornsortWnd::VornsortWnd(QWidget* parent, Qt::WindowFlags flags)
    : LessWidget(parent, flags)
    , ui(std::make_unique<Ui::VornsortWnd>())
{
    Q_INIT_RESOURCE(vornsort);
    qRegisterMetaType<FileTreeInfo*>("FileTreeInfo*");
    qRegisterMetaType<FileTreeItem*>("FileTreeItem*");
    ui->setupUi(this);

    const int widths[] = { 200, 150, 200, 150, 130, 130, 130, 130, 130, 200 };
    for (int i = 0; i < 10; ++i)
        ui->twFile->setColumnWidth(i, widths[i]);
    ui->twFile->header()->setSectionsMovable(false);
    // Rows keep the order they were found in until the user sorts by a column.
    ui->twFile->header()->setSortIndicator(-1, Qt::AscendingOrder);
    ui->twFile->setSortingEnabled(true);

    m_menu = new QMenu(this);
    m_actAbout = m_menu->addAction(QStringLiteral("关于"));
    m_actAbout->setStatusTip(QStringLiteral("关于"));
    m_actExit = m_menu->addAction(QStringLiteral("退出"));
    m_actExit->setStatusTip(QStringLiteral("退出"));
    ui->btMainMenu->setMenu(m_menu);
    connect(m_actAbout, &QAction::triggered, this, &VornsortWnd::onShowAboutDlg);
    connect(m_actExit, &QAction::triggered, this, &VornsortWnd::onClose);
    connect(ui->btMinimize, &QToolButton::clicked, this, &VornsortWnd::onMinimize);
    connect(ui->btMaximize, &QToolButton::clicked, this, &VornsortWnd::onMaximize);
    connect(ui->btClose, &QToolButton::clicked, this, &VornsortWnd::onClose);
    connect(ui->cbLimitDateRange, &QCheckBox::toggled, ui->dtStartDate, &QWidget::setEnabled);
    connect(ui->cbLimitDateRange, &QCheckBox::toggled, ui->dtEndDate, &QWidget::setEnabled);

    m_movie = new QMovie(QStringLiteral(":/pic/load.gif"), QByteArray(), this);
    ui->lbGif->setMovie(m_movie);
    ui->lbGif->hide();
    ui->lbStatus->hide();

    connect(this, &VornsortWnd::sign_item_find, this, &VornsortWnd::onItemFind, Qt::QueuedConnection);
    connect(this, &VornsortWnd::sign_item_find_end, this, &VornsortWnd::onItemFindEnd, Qt::QueuedConnection);
    connect(this, &VornsortWnd::sign_item_update, this, &VornsortWnd::onItemUpdate, Qt::QueuedConnection);
    connect(&m_watcher, &QFutureWatcher<void>::finished, this, &VornsortWnd::onTaskEnd);

    const QByteArray geometry = QSettings().value(GeometryKey).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    settingsToUi();

    for (QLineEdit* edit : { ui->leSrcPath, ui->leDstPath, ui->lePathRuleTimeStr })
        connect(edit, &QLineEdit::textChanged, this, &VornsortWnd::onPlanFormChanged);
    for (QComboBox* combo :
        { ui->cbPathRuleTimeSrc, ui->cbPathRuleTime, ui->cbFileModTimeSrc, ui->cbFileCreateTimeSrc })
        connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &VornsortWnd::onPlanFormChanged);
    connect(ui->cbLimitDateRange, &QCheckBox::toggled, this, &VornsortWnd::onPlanFormChanged);
    for (QDateEdit* edit : { ui->dtStartDate, ui->dtEndDate })
        connect(edit, &QDateEdit::dateChanged, this, &VornsortWnd::onPlanFormChanged);
    m_clock.start();
}

VornsortWnd::~VornsortWnd()
{
    stopRun();
    // Records the tree never took.
    qDeleteAll(m_foundInfos);
}

bool VornsortWnd::hitCaption(const QPoint& pos)
{
    return LessFrame::onTitleBar(this, ui->titleBar, pos, { ui->lbTitle });
}

void VornsortWnd::closeEvent(QCloseEvent* event)
{
    QSettings().setValue(GeometryKey, saveGeometry());
    uiToSettings();
    stopRun();
    LessWidget::closeEvent(event);
}

void VornsortWnd::stopRun()
{
    m_execPending = false;
    if (m_runner)
        m_runner->cancel();
    // The job never waits for this thread, so waiting here cannot lock; a copy stops within one chunk.
    m_watcher.waitForFinished();
}

void VornsortWnd::onShowAboutDlg()
{
    AboutMeDlg dlg(nullptr);
    dlg.exec();
}

void VornsortWnd::onTaskEnd()
{
    if (m_execPending) {
        // A direct run: the rows are there, now carry them out with the settings the plan was made with.
        m_execPending = false;
        if (!m_runner->isCancelled()) {
            startExecute(m_runner);
            return;
        }
    }
    m_busy = false;
    m_movie->stop();
    ui->lbGif->hide();
    ui->lbStatus->setText(QStringLiteral("完成"));
    ui->lbStatus->show();
    ui->btPreview->setEnabled(true);
    ui->btStart->setEnabled(true);
    ui->twFile->setSortingEnabled(true);
    m_previewShown = m_runMode == 1;
    if (m_previewShown)
        ui->btExecPreview->setEnabled(previewStillValid());
}

void VornsortWnd::onItemFind(FileTreeInfo* info)
{
    ui->lbStatus->setText(QStringLiteral("正在处理文件: ") + info->fileName);
}

void VornsortWnd::onItemFindEnd()
{
    ui->lbStatus->setText(QStringLiteral("正在添加列表项..."));
    QList<QTreeWidgetItem*> rows;
    rows.reserve(m_foundInfos.size());
    for (FileTreeInfo* info : qAsConst(m_foundInfos)) {
        auto* item = new FileTreeItem();
        item->setInfo(info, true);
        item->updateText();
        rows << item;
    }
    m_foundInfos.clear();
    ui->twFile->addTopLevelItems(rows);
}

void VornsortWnd::onItemUpdate(FileTreeItem* item)
{
    item->updateText();
}

void VornsortWnd::on_cbPathRuleTime_currentIndexChanged(int index)
{
    if (index == TidyCfg::CustomRule) {
        ui->lePathRuleTimeStr->setReadOnly(false);
    } else {
        ui->lePathRuleTimeStr->setReadOnly(true);
        ui->lePathRuleTimeStr->setText(pathRuleFormat(index));
    }
}

void VornsortWnd::on_tbSelSrcPath_clicked()
{
    pickFolder(ui->leSrcPath, QStringLiteral("请选择要整理的照片目录"));
}

void VornsortWnd::on_tbSelDstPath_clicked()
{
    pickFolder(ui->leDstPath, QStringLiteral("请选择整理后的照片目录"));
}

void VornsortWnd::pickFolder(QLineEdit* edit, const QString& title)
{
    const QString dir = QFileDialog::getExistingDirectory(this, title, edit->text(), QFileDialog::ShowDirsOnly);
    TidyCfg::get()->LastPath = dir;
    if (!dir.isEmpty())
        edit->setText(QDir::toNativeSeparators(dir));
}

void VornsortWnd::on_btPreview_clicked()
{
    startRun(1);
}

void VornsortWnd::on_btStart_clicked()
{
    startRun(2);
}

void VornsortWnd::on_btExecPreview_clicked()
{
    // What is carried out is the form as it is now: the keep and clash options as set, the plans only while the
    // form still makes them.
    uiToSettings();
    if (isRunning() || !m_previewShown || !TidyCfg::get()->samePlan(m_planCfg)) {
        ui->btExecPreview->setEnabled(false);
        return;
    }
    startExecute(std::make_shared<TidyRunner>(*TidyCfg::get()));
}

void VornsortWnd::on_btHideSetting_clicked()
{
    ui->wgCentral->setVisible(!ui->wgCentral->isVisible());
    ui->btHideSetting->setText(ui->wgCentral->isVisible() ? QStringLiteral("隐藏条件") : QStringLiteral("显示条件"));
}

void VornsortWnd::onPlanFormChanged()
{
    if (m_previewShown && !isRunning())
        ui->btExecPreview->setEnabled(previewStillValid());
}

bool VornsortWnd::previewStillValid() const
{
    TidyCfg cfg = *TidyCfg::get();
    uiToSettings(cfg);
    return cfg.samePlan(m_planCfg);
}

void VornsortWnd::showBusy(const QString& text)
{
    m_busy = true;
    ui->twFile->setSortingEnabled(false);
    ui->btPreview->setEnabled(false);
    ui->btExecPreview->setEnabled(false);
    ui->btStart->setEnabled(false);
    ui->lbStatus->setText(text);
    ui->lbGif->show();
    ui->lbStatus->show();
    m_movie->start();
}

void VornsortWnd::startRun(int mode)
{
    if (isRunning())
        return;
    uiToSettings();
    if (!checkSettings())
        return;
    m_previewShown = false;
    showBusy(QStringLiteral("开始..."));
    ui->twFile->clear();
    m_runMode = mode;
    m_execPending = mode == 2;
    m_planCfg = *TidyCfg::get();
    auto runner = std::make_shared<TidyRunner>(m_planCfg);
    m_runner = runner;
    m_watcher.setFuture(runJob(nullptr, [this, runner] { runPreview(*runner); }));
}

void VornsortWnd::startExecute(std::shared_ptr<TidyRunner> runner)
{
    m_previewShown = false;
    showBusy(QStringLiteral("开始整理..."));
    m_runMode = 2;
    QList<FileTreeItem*> rows;
    for (int i = 0; i < ui->twFile->topLevelItemCount(); ++i)
        rows << static_cast<FileTreeItem*>(ui->twFile->topLevelItem(i));
    m_runner = runner;
    m_watcher.setFuture(runJob(nullptr, [this, runner, rows] { executeAll(*runner, rows); }));
}

void VornsortWnd::runPreview(TidyRunner& runner)
{
    const QList<TidyRunner::Found> files = runner.scanTree(runner.cfg().SrcPath);
    QList<FileTreeInfo*> infos = runner.plan(files, [this](FileTreeInfo* info) {
        qint64 last = m_lastFind.load();
        const qint64 now = m_clock.elapsed();
        if (now - last >= FindTextMs && m_lastFind.compare_exchange_strong(last, now))
            emit sign_item_find(info);
    });
    // The window takes the records only after this signal, so the list is this thread's until then.
    m_foundInfos = infos;
    emit sign_item_find_end();
}

void VornsortWnd::executeAll(TidyRunner& runner, const QList<FileTreeItem*>& rows)
{
    QList<FileTreeInfo*> infos;
    infos.reserve(rows.size());
    for (FileTreeItem* row : rows)
        infos << row->info();
    runner.execute(infos, [this, &rows](int i) { emit sign_item_update(rows.at(i)); });
}

bool VornsortWnd::checkSettings()
{
    const TidyCfg& cfg = *TidyCfg::get();
    QString text;
    if (cfg.SrcPath.simplified().isEmpty())
        text = QStringLiteral("请选择要整理的目录。");
    else if (cfg.DstPath.simplified().isEmpty())
        text = QStringLiteral("请选择整理后的目录。");
    else if (cfg.LimitDateRange && cfg.EndDate < cfg.StartDate)
        text = QStringLiteral("请设置好照片拍摄时间范围。");
    else if (!QFileInfo(cfg.SrcPath).isDir())
        text = QStringLiteral("要整理的目录不存在。");
    if (text.isEmpty())
        return true;
    QMessageBox box(QMessageBox::Information, QStringLiteral("提示"), text, QMessageBox::NoButton, this);
    box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.exec();
    return false;
}

void VornsortWnd::settingsToUi()
{
    const TidyCfg& cfg = *TidyCfg::get();
    ui->leSrcPath->setText(cfg.SrcPath);
    ui->leDstPath->setText(cfg.DstPath);
    ui->cbPathRuleTimeSrc->setCurrentIndex(cfg.PathRuleTimeSrc);
    ui->cbPathRuleTime->setCurrentIndex(cfg.PathRuleTime);
    ui->cbFileExistsOpt->setCurrentIndex(cfg.FileExistsOpt);
    ui->cbFileModTimeSrc->setCurrentIndex(cfg.FileModTimeSrc);
    ui->cbFileCreateTimeSrc->setCurrentIndex(cfg.FileCreateTimeSrc);
    ui->lePathRuleTimeStr->setText(cfg.PathRuleTimeStr);
    ui->cbLimitDateRange->setChecked(cfg.LimitDateRange);
    ui->dtStartDate->setDate(ParseDateStr(cfg.StartDate));
    ui->dtEndDate->setDate(ParseDateStr(cfg.EndDate));
    ui->cbKeepSrcFile->setChecked(cfg.KeepSrcFile);
    on_cbPathRuleTime_currentIndexChanged(ui->cbPathRuleTime->currentIndex());
    ui->dtStartDate->setEnabled(cfg.LimitDateRange);
    ui->dtEndDate->setEnabled(cfg.LimitDateRange);
}

void VornsortWnd::uiToSettings()
{
    uiToSettings(*TidyCfg::get());
}

void VornsortWnd::uiToSettings(TidyCfg& cfg) const
{
    cfg.SrcPath = ui->leSrcPath->text();
    cfg.DstPath = ui->leDstPath->text();
    cfg.PathRuleTimeStr = ui->lePathRuleTimeStr->text();
    cfg.PathRuleTimeSrc = ui->cbPathRuleTimeSrc->currentIndex();
    cfg.PathRuleTime = ui->cbPathRuleTime->currentIndex();
    cfg.FileExistsOpt = ui->cbFileExistsOpt->currentIndex();
    cfg.FileModTimeSrc = ui->cbFileModTimeSrc->currentIndex();
    cfg.FileCreateTimeSrc = ui->cbFileCreateTimeSrc->currentIndex();
    cfg.LimitDateRange = ui->cbLimitDateRange->isChecked();
    cfg.KeepSrcFile = ui->cbKeepSrcFile->isChecked();
    cfg.StartDate = ui->dtStartDate->date().toString(QStringLiteral("yyyy-MM-dd"));
    cfg.EndDate = ui->dtEndDate->date().toString(QStringLiteral("yyyy-MM-dd"));
}
