#include "tagsyncwnd.h"

#include "tagsynccfg.h"
#include "tagsynctask.h"
#include "ui_tagsyncwnd.h"

#include "sys/fileutil.h"
#include "widgets/aboutmedlg.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMovie>
#include <QSettings>
#include <QSignalBlocker>
#include <QThreadPool>

namespace {

const int kStatusChars = 30;
const int kWaitSliceMs = 30;

} // namespace

TagSyncWnd::TagSyncWnd(QWidget* parent, Qt::WindowFlags flags)
    : LessWidget(parent, flags)
    , ui(std::make_unique<Ui::TagSyncWnd>())
{
    ui->setupUi(this);

    m_menu = new QMenu(this);
    m_actAbout = m_menu->addAction(tr("关于"));
    m_actAbout->setStatusTip(m_actAbout->text());
    m_actExit = m_menu->addAction(tr("退出"));
    m_actExit->setStatusTip(m_actExit->text());
    connect(m_actAbout, &QAction::triggered, this, &TagSyncWnd::slot_about);
    connect(m_actExit, &QAction::triggered, this, &TagSyncWnd::slot_close);
    connect(ui->btMinimize, &QToolButton::clicked, this, &TagSyncWnd::onMinimize);
    connect(ui->btMaximize, &QToolButton::clicked, this, &TagSyncWnd::onMaximize);
    connect(ui->btClose, &QToolButton::clicked, this, &TagSyncWnd::onClose);
    ui->btMainMenu->setMenu(m_menu);

    m_movie = new QMovie(QStringLiteral(":/pic/load.gif"), QByteArray(), this);
    ui->lbGif->setMovie(m_movie);
    ui->lbGif->hide();
    ui->lbStatus->hide();

    const auto enables = [this](QCheckBox* box, std::initializer_list<QWidget*> controls) {
        const QList<QWidget*> list(controls);
        connect(box, &QCheckBox::toggled, this, [list](bool on) {
            for (QWidget* w : list)
                w->setEnabled(on);
        });
    };
    enables(ui->cbColorSync, { ui->cbColorSyncTactics, ui->cbColorConflictTactics });
    enables(ui->cbStarSync, { ui->cbStarSyncTactics, ui->cbStarConflictTactics });
    enables(ui->cbTextTagSync, { ui->cbTextTagSyncTactics, ui->cbTextTagConflictTactics });
    enables(ui->cbResizeThumb, { ui->sbThumbWidth, ui->sbThumbHeight, ui->cbRecommendThumbSize });

    restoreGeometry(QSettings().value(QStringLiteral("TagSyncWnd/Geometry")).toByteArray());
    loadSettings();
}

TagSyncWnd::~TagSyncWnd()
{
    // Normally done at close; a window destroyed without closing must not leave its run behind either.
    if (m_task)
        cancelRun();
}

bool TagSyncWnd::hitCaption(const QPoint& pos)
{
    return LessFrame::onTitleBar(this, ui->titleBar, pos, { ui->lbTitle });
}

bool TagSyncWnd::isRunning() const
{
    return m_task != nullptr && !ui->btStart->isEnabled();
}

// ---- settings

void TagSyncWnd::loadSettings()
{
    const TagSyncCfg* cfg = TagSyncCfg::instance(0);
    ui->cbDeleteInvalidFileFav->setChecked(cfg->DeleteInvalidFileFav);
    ui->cbDeleteInvalidPathFav->setChecked(cfg->DeleteInvalidPathFav);
    ui->cbDeleteInvalidTag->setChecked(cfg->tag.DeleteInvalidTag);
    ui->cbDeleteOutSyncTag->setChecked(cfg->tag.DeleteOutSyncTag);
    ui->cbColorSync->setChecked(cfg->tag.ColorSync);
    ui->cbColorSyncTactics->setCurrentIndex(cfg->tag.ColorSyncTactics);
    ui->cbColorConflictTactics->setCurrentIndex(cfg->tag.ColorConflictTactics);
    ui->cbStarSync->setChecked(cfg->tag.StarSync);
    ui->cbStarSyncTactics->setCurrentIndex(cfg->tag.StarSyncTactics);
    ui->cbStarConflictTactics->setCurrentIndex(cfg->tag.StarConflictTactics);
    ui->cbTextTagSync->setChecked(cfg->tag.TextTagSync);
    ui->cbTextTagSyncTactics->setCurrentIndex(cfg->tag.TextTagSyncTactics);
    ui->cbTextTagConflictTactics->setCurrentIndex(cfg->tag.TextTagConflictTactics);
    ui->cbDeleteInvalidThumb->setChecked(cfg->thumb.DeleteInvalidThumb);
    ui->cbResizeThumb->setChecked(cfg->thumb.ResizeThumb);
    ui->sbThumbWidth->setValue(cfg->thumb.ThumbWidth);
    ui->sbThumbHeight->setValue(cfg->thumb.ThumbHeight);
    ui->gbRebuildThumb->setChecked(cfg->build.BuildThumb);
    ui->cbCacheBigImage->setChecked(cfg->build.CacheBigImage);
    ui->sbNewThumbWidth->setValue(cfg->build.ThumbWidth);
    ui->sbNewThumbHeight->setValue(cfg->build.ThumbHeight);
    ui->lwPaths->clear();
    for (const QString& path : cfg->build.paths)
        ui->lwPaths->addItem(path);

    ui->cbColorSyncTactics->setEnabled(cfg->tag.ColorSync);
    ui->cbColorConflictTactics->setEnabled(cfg->tag.ColorSync);
    ui->cbStarSyncTactics->setEnabled(cfg->tag.StarSync);
    ui->cbStarConflictTactics->setEnabled(cfg->tag.StarSync);
    ui->cbTextTagSyncTactics->setEnabled(cfg->tag.TextTagSync);
    ui->cbTextTagConflictTactics->setEnabled(cfg->tag.TextTagSync);
    ui->sbThumbWidth->setEnabled(cfg->thumb.ResizeThumb);
    ui->sbThumbHeight->setEnabled(cfg->thumb.ResizeThumb);
    ui->cbRecommendThumbSize->setEnabled(cfg->thumb.ResizeThumb);
}

void TagSyncWnd::storeSettings()
{
    TagSyncCfg* cfg = TagSyncCfg::instance(0);
    cfg->DeleteInvalidFileFav = ui->cbDeleteInvalidFileFav->isChecked();
    cfg->DeleteInvalidPathFav = ui->cbDeleteInvalidPathFav->isChecked();
    cfg->tag.DeleteInvalidTag = ui->cbDeleteInvalidTag->isChecked();
    cfg->tag.DeleteOutSyncTag = ui->cbDeleteOutSyncTag->isChecked();
    cfg->tag.ColorSync = ui->cbColorSync->isChecked();
    cfg->tag.ColorSyncTactics = ui->cbColorSyncTactics->currentIndex();
    cfg->tag.ColorConflictTactics = ui->cbColorConflictTactics->currentIndex();
    cfg->tag.StarSync = ui->cbStarSync->isChecked();
    cfg->tag.StarSyncTactics = ui->cbStarSyncTactics->currentIndex();
    cfg->tag.StarConflictTactics = ui->cbStarConflictTactics->currentIndex();
    cfg->tag.TextTagSync = ui->cbTextTagSync->isChecked();
    cfg->tag.TextTagSyncTactics = ui->cbTextTagSyncTactics->currentIndex();
    cfg->tag.TextTagConflictTactics = ui->cbTextTagConflictTactics->currentIndex();
    cfg->thumb.DeleteInvalidThumb = ui->cbDeleteInvalidThumb->isChecked();
    cfg->thumb.ResizeThumb = ui->cbResizeThumb->isChecked();
    cfg->thumb.ThumbWidth = ui->sbThumbWidth->value();
    cfg->thumb.ThumbHeight = ui->sbThumbHeight->value();
    sizeToCombo(ui->cbRecommendThumbSize, ui->sbThumbWidth, ui->sbThumbHeight);
    cfg->build.BuildThumb = ui->gbRebuildThumb->isChecked();
    cfg->build.CacheBigImage = ui->cbCacheBigImage->isChecked();
    cfg->build.ThumbWidth = ui->sbNewThumbWidth->value();
    cfg->build.ThumbHeight = ui->sbNewThumbHeight->value();
    sizeToCombo(ui->cbNewRecommendThumbSize, ui->sbNewThumbWidth, ui->sbNewThumbHeight);
    cfg->build.paths.clear();
    for (int i = 0; i < ui->lwPaths->count(); ++i)
        cfg->build.paths.append(QDir::fromNativeSeparators(ui->lwPaths->item(i)->text()));
}

// ---- size presets

void TagSyncWnd::sizeToCombo(QComboBox* combo, const QSpinBox* width, const QSpinBox* height)
{
    const QSignalBlocker block(combo);
    setCurrentText(*combo, QString::number(width->value()) + QLatin1Char('x') + QString::number(height->value()));
}

void TagSyncWnd::comboToSize(const QString& text, QComboBox* combo, QSpinBox* width, QSpinBox* height)
{
    if (text.isEmpty() || combo->currentIndex() < 0)
        return;
    const QStringList parts = text.split(QLatin1Char('x'), Qt::SkipEmptyParts);
    if (parts.size() != 2)
        return;
    const QSignalBlocker blockWidth(width);
    const QSignalBlocker blockHeight(height);
    width->setValue(parts.at(0).toInt());
    height->setValue(parts.at(1).toInt());
}

void TagSyncWnd::on_sbThumbWidth_valueChanged(int)
{
    sizeToCombo(ui->cbRecommendThumbSize, ui->sbThumbWidth, ui->sbThumbHeight);
}

void TagSyncWnd::on_sbThumbHeight_valueChanged(int)
{
    sizeToCombo(ui->cbRecommendThumbSize, ui->sbThumbWidth, ui->sbThumbHeight);
}

void TagSyncWnd::on_cbRecommendThumbSize_currentIndexChanged(const QString& text)
{
    comboToSize(text, ui->cbRecommendThumbSize, ui->sbThumbWidth, ui->sbThumbHeight);
}

void TagSyncWnd::on_sbNewThumbWidth_valueChanged(int)
{
    sizeToCombo(ui->cbNewRecommendThumbSize, ui->sbNewThumbWidth, ui->sbNewThumbHeight);
}

void TagSyncWnd::on_sbNewThumbHeight_valueChanged(int)
{
    sizeToCombo(ui->cbNewRecommendThumbSize, ui->sbNewThumbWidth, ui->sbNewThumbHeight);
}

void TagSyncWnd::on_cbNewRecommendThumbSize_currentIndexChanged(const QString& text)
{
    comboToSize(text, ui->cbNewRecommendThumbSize, ui->sbNewThumbWidth, ui->sbNewThumbHeight);
}

// ---- runs

void TagSyncWnd::cancelRun()
{
    ++m_taskId;
    // Only the task is taken back (when it has not started): Qt's own pieces of work queued on the global pool
    // must run.
    QThreadPool* pool = QThreadPool::globalInstance();
    if (m_task) {
        m_task->setCancel(true);
        static_cast<void>(pool->tryTake(m_task.get()));
    }
    // The run stops after the photo in hand; the window keeps painting meanwhile.
    while (!pool->waitForDone(kWaitSliceMs))
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_task.reset();
}

void TagSyncWnd::showIdle()
{
    ui->btStart->setEnabled(true);
    ui->btStop->setEnabled(false);
}

void TagSyncWnd::on_btStart_clicked()
{
    cancelRun();
    storeSettings();
    m_task = std::make_unique<TagSyncTask>();
    connect(m_task.get(), &TaskObject::taskStep, this, &TagSyncWnd::slot_task);
    m_task->setTaskId(++m_taskId);
    ui->btStart->setEnabled(false);
    ui->btStop->setEnabled(true);
    ui->lbStatus->setToolTip(QString());
    QThreadPool::globalInstance()->start(m_task.get());
}

void TagSyncWnd::on_btStop_clicked()
{
    cancelRun();
    showIdle();
    m_movie->stop();
    ui->lbGif->hide();
    ui->lbStatus->setText(tr("已停止"));
    ui->lbStatus->show();
}

void TagSyncWnd::closeEvent(QCloseEvent* event)
{
    QSettings().setValue(QStringLiteral("TagSyncWnd/Geometry"), saveGeometry());
    // Gone from the screen at once, even while the photo in hand is being finished.
    hide();
    cancelRun();
    storeSettings();
    LessWidget::closeEvent(event);
}

void TagSyncWnd::slot_task(TaskObject& info)
{
    if (info.getTaskId() != m_taskId)
        return;
    switch (info.getSignType()) {
    case TaskObject::TaskStart:
        m_movie->start();
        ui->lbGif->show();
        ui->lbStatus->show();
        ui->lbStatus->setText(tr("开始......"));
        break;
    case TaskObject::TaskEnd:
        m_movie->stop();
        ui->lbGif->hide();
        // Failures are told, never a bare "结束".
        if (info.getError() > 0) {
            ui->lbStatus->setText(info.getInfo());
            ui->lbStatus->setToolTip(TagSyncTask::logFile());
        } else {
            ui->lbStatus->setText(tr("结束"));
        }
        showIdle();
        break;
    case TaskObject::TaskStep: {
        const QString text = info.getInfo();
        ui->lbStatus->setText(text.size() <= kStatusChars ? text : text.left(kStatusChars) + QStringLiteral("..."));
        break;
    }
    default:
        break;
    }
}

// ---- folders and menu

bool TagSyncWnd::addPath(const QString& path)
{
    if (path.isEmpty()) {
        QMessageBox::information(this, tr("提示"), tr("请选择一个要添加的目录"), tr("确定"));
        return false;
    }
    // Paths compare exactly: two names differing in case are two folders here.
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(path));
    for (int i = 0; i < ui->lwPaths->count(); ++i) {
        if (QDir::cleanPath(QDir::fromNativeSeparators(ui->lwPaths->item(i)->text())) == clean) {
            QMessageBox::information(this, tr("提示"), tr("请不要重复添加目录"), tr("确定"));
            return false;
        }
    }
    ui->lwPaths->addItem(path);
    return true;
}

void TagSyncWnd::on_btAddPath_clicked()
{
    TagSyncCfg* cfg = TagSyncCfg::instance(0);
    const QString path = QDir::toNativeSeparators(
        QFileDialog::getExistingDirectory(this, tr("请选择要查找的目录"), cfg->LastPath, QFileDialog::ShowDirsOnly));
    // A cancelled dialog keeps the folder it started in.
    if (!path.isEmpty())
        cfg->LastPath = path;
    addPath(path);
}

void TagSyncWnd::on_btDelPath_clicked()
{
    if (ui->lwPaths->count() == 0) {
        QMessageBox::information(this, tr("提示"), tr("列表中没有目录"), tr("确定"));
        return;
    }
    const QList<QListWidgetItem*> selected = ui->lwPaths->selectedItems();
    if (selected.isEmpty()) {
        QMessageBox::information(this, tr("提示"), tr("请选择要删除的目录"), tr("确定"));
        return;
    }
    qDeleteAll(selected);
}

void TagSyncWnd::slot_about()
{
    AboutMeDlg dlg(nullptr);
    dlg.setModal(true);
    dlg.exec();
}

void TagSyncWnd::slot_close()
{
    window()->close();
}
