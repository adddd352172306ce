#include "viewer/picview.h"

#include "app/appcfg.h"
#include "app/cfgnotifier.h"
#include "app/windows.h"
#include "dialogs/settingdlg.h"
#include "sys/fileutil.h"
#include "ui_picview.h"
#include "viewer/filelistwidget.h"
#include "viewer/imageshowview.h"
#include "viewer/showitem.h"
#include "widgets/aboutmedlg.h"
#include "widgets/menuutil.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <QSplitter>

namespace {

const char kGeometry[] = "PicView/Geometry";
const char kSplitter[] = "PicView/Splitter";
const char kTitleBar[] = "PicView/titleBar";
const char kStatusBar[] = "PicView/statusBar";

} // namespace

// Outside any namespace: the resource's init function is declared where this is.
static void initViewerResources()
{
    Q_INIT_RESOURCE(viewer);
}

QPointer<PicView> PicView::ms_instance;

PicView* PicView::instance()
{
    if (!ms_instance) {
        auto* wnd = new PicView();
        wnd->setAttribute(Qt::WA_DeleteOnClose);
        wnd->loadLess();
        ms_instance = wnd;
    }
    return ms_instance;
}

PicView* PicView::current()
{
    return ms_instance;
}

PicView::PicView()
    : LessWidget(nullptr)
    , ui(std::make_unique<Ui::PicView>())
{
    initViewerResources();
    ui->setupUi(this);

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->setChildrenCollapsible(false);
    m_list = new FileListWidget(m_splitter);
    m_list->setObjectName(QStringLiteral("lwImageList"));
    m_list->setFrameShape(QFrame::NoFrame);
    m_canvas = new ImageShowView(m_splitter);
    m_canvas->setObjectName(QStringLiteral("gvImage"));
    m_canvas->setFrameShape(QFrame::NoFrame);
    m_canvas->setHost(this);
    m_splitter->addWidget(m_list);
    m_splitter->addWidget(m_canvas);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 100);
    ui->layCenter->addWidget(m_splitter);

    buildMenus();
    connect(ui->btMinimize, &QToolButton::clicked, this, &PicView::onMinimize);
    connect(ui->btMaximize, &QToolButton::clicked, this, &PicView::onMaximize);
    connect(ui->btClose, &QToolButton::clicked, this, &PicView::onClose);
    connect(m_list, &FileListWidget::showImage, m_canvas, &ImageShowView::onShowImage);
    connect(m_list, &FileListWidget::shownRowGone, this, &PicView::onShownRowGone);
    connect(m_canvas, &ImageShowView::scaleChanged, this, &PicView::onScaleChanged);
    connect(m_canvas, &ImageShowView::imageChanged, this, &PicView::onShowImage);
    connect(CfgNotifier::instance(), &CfgNotifier::listChanged, this, &PicView::onResizeItem);
    // Left and right step through the strip wherever the focus is (the strip, one column of rows, has no use for
    // them; up and down stay its own).
    for (const auto& [key, slot] : { std::pair(Qt::Key_Left, &PicView::on_btPrevFile_clicked),
             std::pair(Qt::Key_Right, &PicView::on_btNextFile_clicked) }) {
        auto* step = new QAction(this);
        step->setShortcut(key);
        addAction(step);
        connect(step, &QAction::triggered, this, slot);
    }

    const QList<QPair<QToolButton*, QString>> tips {
        { ui->btShowImageList, QStringLiteral("显示或隐藏文件列表") },
        { ui->btDelFile, QStringLiteral("删除文件") },
        { ui->btCenter, QStringLiteral("居中") },
        { ui->btFit, QStringLiteral("适合窗口") },
        { ui->btOriginal, QStringLiteral("原始大小") },
        { ui->btZoomIn, QStringLiteral("放大") },
        { ui->btZoomOut, QStringLiteral("缩小") },
        { ui->btLeftRotate, QStringLiteral("向左旋转90度") },
        { ui->btRightRotate, QStringLiteral("向右旋转90度") },
        { ui->btPrevFile, QStringLiteral("上一张") },
        { ui->btNextFile, QStringLiteral("下一张") },
        { ui->btLoadImageFile, QStringLiteral("打开照片") },
        { ui->btFilePos, QStringLiteral("定位文件位置") },
    };
    for (const auto& tip : tips)
        tip.first->setToolTip(tip.second);

    restoreSettings();
}

PicView::~PicView()
{
    // The strip and the canvas go with the children, after this window: nothing they say may reach it.
    disconnect(m_tagWatch);
    m_list->disconnect(this);
    m_canvas->disconnect(this);
}

void PicView::buildMenus()
{
    auto add = [this](QMenu* menu, const QString& text, void (PicView::*slot)()) {
        QAction* action = addMenuAction(menu, text);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    m_mainMenu = new QMenu(this);
    m_atPicMgr = add(m_mainMenu, QStringLiteral("照片管理"), &PicView::onPicMgr);
    m_atVornsort = add(m_mainMenu, QStringLiteral("照片整理"), &PicView::onVornsort);
    m_atVorntwin = add(m_mainMenu, QStringLiteral("照片去重"), &PicView::onVorntwin);
    m_atTagSync = add(m_mainMenu, QStringLiteral("标签同步"), &PicView::onTagSync);
    m_atSetting = add(m_mainMenu, QStringLiteral("选项"), &PicView::onShowSetting);

    m_viewMenu = m_mainMenu->addMenu(QStringLiteral("视图"));
    m_atTitleBar = add(m_viewMenu, QStringLiteral("菜单栏"), &PicView::onShowTitleBar);
    m_atStatusBar = add(m_viewMenu, QStringLiteral("状态栏"), &PicView::onShowStatusBar);
    m_atTitleBar->setCheckable(true);
    m_atStatusBar->setCheckable(true);
    m_atTitleBar->setChecked(true);
    m_atStatusBar->setChecked(true);

    m_helpMenu = m_mainMenu->addMenu(QStringLiteral("帮助"));
    m_atAbout = add(m_helpMenu, QStringLiteral("关于"), &PicView::onShowAboutDlg);
    m_atExit = add(m_mainMenu, QStringLiteral("退出"), &PicView::onClose);
    ui->btMainMenu->setMenu(m_mainMenu);
}

void PicView::restoreSettings()
{
    const QSettings settings;
    restoreGeometry(settings.value(kGeometry).toByteArray());
    m_splitter->restoreState(settings.value(kSplitter).toByteArray());
    const bool title = settings.value(kTitleBar, true).toBool();
    const bool status = settings.value(kStatusBar, true).toBool();
    ui->titleBar->setVisible(title);
    m_atTitleBar->setChecked(title);
    ui->statusBar->setVisible(status);
    m_atStatusBar->setChecked(status);
}

void PicView::saveSettings()
{
    QSettings settings;
    settings.setValue(kGeometry, saveGeometry());
    settings.setValue(kSplitter, m_splitter->saveState());
    // Hidden by the user, not merely because the window is not on screen.
    settings.setValue(kTitleBar, !ui->titleBar->isHidden());
    settings.setValue(kStatusBar, !ui->statusBar->isHidden());
}

void PicView::changeEvent(QEvent* event)
{
    LessWidget::changeEvent(event);
    // Back from another window or program: rows whose file went meanwhile leave.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_list->sweepRows();
}

void PicView::closeEvent(QCloseEvent* event)
{
    saveSettings();
    LessWidget::closeEvent(event);
}

void PicView::firstPaintedEvent(QEvent* event)
{
    Q_UNUSED(event)
    // The canvas has its final size now: fit the shown image again.
    m_canvas->itemBest();
    m_list->setFocus(Qt::OtherFocusReason);
}

bool PicView::hitCaption(const QPoint& pos)
{
    return LessFrame::onTitleBar(this, ui->titleBar, pos, { ui->lbTitle, ui->lbInfo });
}

// ---- the manager's side

bool PicView::isCurrentPath(const QString& filePath)
{
    return m_list->isCurrentPath(filePath);
}

int PicView::selectFile(const QString& filePath)
{
    return m_list->selectFile(filePath);
}

int PicView::loadItems(QLinkedList<ItemInfoPtr>& items, const QString& filePath)
{
    return m_list->loadItems(items, filePath);
}

void PicView::getItems(QLinkedList<ItemInfoPtr>& items)
{
    m_list->getItems(items);
}

CanvasManager* PicView::manager()
{
    return managerWindow();
}

// ---- menu

void PicView::onResizeItem()
{
    m_list->onResizeItem();
}

void PicView::onPicMgr()
{
    m_canvas->showPicMgr(false);
}

void PicView::onVornsort()
{
    startToolOrTell(this, QStringLiteral("vornsort"));
}

void PicView::onVorntwin()
{
    startToolOrTell(this, QStringLiteral("vorntwin"));
}

void PicView::onTagSync()
{
    startToolOrTell(this, QStringLiteral("vornmark"));
}

void PicView::onShowSetting()
{
    SettingDlg dlg(this);
    dlg.setCurrentTab(3);
    dlg.exec();
}

void PicView::onShowTitleBar()
{
    const bool show = ui->titleBar->isHidden();
    ui->titleBar->setVisible(show);
    m_atTitleBar->setChecked(show);
}

void PicView::onShowStatusBar()
{
    const bool show = ui->statusBar->isHidden();
    ui->statusBar->setVisible(show);
    m_atStatusBar->setChecked(show);
}

void PicView::onShowAboutDlg()
{
    AboutMeDlg dlg;
    dlg.exec();
}

// ---- what is shown

void PicView::onScaleChanged(double scale)
{
    ui->lbScaling->setText(QStringLiteral("  ") + QString::number(scale, 'g', 6).left(4));
}

QString PicView::infoText(const ItemInfoPtr& info)
{
    QString name = info->fileName();
    if (name.size() > 23)
        name = name.left(20) + QStringLiteral("...");
    return QStringLiteral(" : %1 (%2, %3 像素)").arg(name, info->fileSizeText(), info->imageSizeText());
}

void PicView::onShowImage(ItemInfoPtr info)
{
    if (!info)
        return;
    ui->lbInfo->setText(infoText(info));
    disconnect(m_tagWatch);
    if (info->tagReady != 1) {
        m_tagWatch = connect(info.data(), &ItemInfo::tagLoaded, this, [this, weak = info.toWeakRef()] {
            const ItemInfoPtr shown = weak.toStrongRef();
            if (shown && m_canvas->currentItem()
                && m_canvas->currentItem()->filePath == shown->fileInfo.absoluteFilePath())
                ui->lbInfo->setText(infoText(shown));
        });
    }
}

void PicView::onItemBest()
{
    m_canvas->itemBest();
}

// ---- status bar

void PicView::on_btShowImageList_clicked()
{
    m_list->setVisible(!m_list->isVisible());
}

void PicView::on_btLoadImageFile_clicked()
{
    const QString filter
        = QStringLiteral("图像文件 (%1);;所有文件 (*.*)").arg(supportedImages().join(QLatin1Char(' ')));
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("请选择要查看的图像文件"), AppCfg::instance()->lastPath, filter);
    if (!path.isEmpty())
        openChosenFile(path);
}

void PicView::openChosenFile(const QString& path)
{
    m_list->selectFile(path);
    // The folder, as the manager's folder tree keeps it: never the file itself.
    AppCfg::instance()->lastPath = QFileInfo(path).absolutePath();
}

void PicView::on_btOriginal_clicked()
{
    m_canvas->itemOriginal();
    m_canvas->itemCenter();
}

void PicView::on_btFit_clicked()
{
    m_canvas->itemFit();
    m_canvas->itemCenter();
}

void PicView::on_btCenter_clicked()
{
    m_canvas->itemCenter();
}

void PicView::on_btDelFile_clicked()
{
    QListWidgetItem* row = m_list->currentItem();
    if (!row || !m_list->currentInfo())
        return;
    // A file that went leaves its row; the next row's file is shown, or nothing when none is left (onShownRowGone).
    m_list->trashRows({ row });
}

void PicView::onShownRowGone()
{
    m_canvas->hideAll();
    disconnect(m_tagWatch);
    ui->lbInfo->clear();
}

void PicView::on_btZoomIn_clicked()
{
    m_canvas->itemZoom(1);
}

void PicView::on_btZoomOut_clicked()
{
    m_canvas->itemZoom(-1);
}

void PicView::on_btPrevFile_clicked()
{
    const int row = m_list->currentRow();
    if (row > 0)
        m_list->selectRow(row - 1);
}

void PicView::on_btNextFile_clicked()
{
    const int row = m_list->currentRow();
    if (row < m_list->count() - 1)
        m_list->selectRow(row + 1);
}

void PicView::on_btLeftRotate_clicked()
{
    m_canvas->itemRotate(-90);
    m_canvas->itemCenter();
}

void PicView::on_btRightRotate_clicked()
{
    m_canvas->itemRotate(90);
    m_canvas->itemCenter();
}

void PicView::on_btFilePos_clicked()
{
    m_canvas->filePos();
}
