#include "manager/picmgr.h"

#include "app/appcfg.h"
#include "app/cfgnotifier.h"
#include "app/windows.h"
#include "dialogs/settingdlg.h"
#include "grid/itemstorequeue.h"
#include "grid/medialistview.h"
#include "manager/imageviewform.h"
#include "meta/colorstat.h"
#include "panels/taginfoview.h"
#include "records/histaglist.h"
#include "ui_picmgr.h"
#include "widgets/aboutmedlg.h"
#include "widgets/iconcombobox.h"
#include "widgets/menuutil.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QSettings>
#include <QSignalBlocker>
#include <QTimer>

namespace {

const char kGeometryKey[] = "PicMgr/Geometry";
const char kTitleBarKey[] = "PicMgr/titleBar";
const char kStatusBarKey[] = "PicMgr/statusBar";
// How long a status message stays.
constexpr int kStatusMs = 20000;

QIcon swatch(const QColor& color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

// No item ticked, none current: the box shows its placeholder.
void resetChecks(QComboBox* combo)
{
    for (int i = 0; i < combo->count(); ++i)
        combo->setItemData(i, false, Qt::CheckStateRole);
    combo->setCurrentIndex(-1);
}

} // namespace

QPointer<PicMgr> PicMgr::ms_instance;

PicMgr* PicMgr::instance()
{
    if (!ms_instance) {
        auto* wnd = new PicMgr(nullptr);
        wnd->setAttribute(Qt::WA_DeleteOnClose);
        wnd->loadLess();
        ms_instance = wnd;
    }
    return ms_instance;
}

PicMgr* PicMgr::current()
{
    return ms_instance;
}

PicMgr::PicMgr(QWidget* parent, Qt::WindowFlags flags)
    : LessWidget(parent, flags)
    , ui(std::make_unique<Ui::PicMgr>())
{
    Q_INIT_RESOURCE(manager);
    ui->setupUi(this);
    ui->sdZoom->hide();
    buildMenu();

    m_form = new ImageViewForm();
    m_form->setViewMenu(m_viewMenu);
    m_form->setup();
    m_form->listView()->setHost(this);
    ui->layCenter->addWidget(m_form);
    connect(m_form, &ImageViewForm::itemCleared, this, &PicMgr::onItemCleared);
    connect(m_form, &ImageViewForm::hisTextTagChanged, this, &PicMgr::onHisTextTagChanged);

    fillFilterBar();
    restoreSettings();

    m_statusTimer = new QTimer(this);
    m_statusTimer->setSingleShot(true);
    connect(m_statusTimer, &QTimer::timeout, this, [this] { showStatus(QString()); });

    ui->lbMessage->installEventFilter(this);

    m_note = new QLabel(ui->statusBar);
    m_note->setObjectName(QStringLiteral("lbNote"));
    m_note->setTextFormat(Qt::PlainText);
    m_note->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_note->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_note->hide();
    m_note->installEventFilter(this);
    ui->horizontalLayout_3->insertWidget(0, m_note, 3);
    connect(ItemStoreQueue::instance(), &ItemStoreQueue::stateChanged, this, &PicMgr::onStoreStateChanged);
    connect(ItemStoreQueue::instance(), &ItemStoreQueue::drained, this, &PicMgr::onStoreDrained);
    onStoreStateChanged();

    // What the settings dialog applied: the cell size re-lays the grid out, the tag options reach the tag panel.
    CfgNotifier* notifier = CfgNotifier::instance();
    connect(notifier, &CfgNotifier::itemChanged, this, &PicMgr::onResizeItem);
    connect(notifier, &CfgNotifier::applied, m_form->tagInfo(), &TagInfoView::loadOptions);
}

PicMgr::~PicMgr()
{
    // The grid still signals while the children go: nothing may reach this half-destroyed window.
    disconnectForm();
}

void PicMgr::buildMenu()
{
    m_menu = new QMenu(this);
    connect(addMenuAction(m_menu, QStringLiteral("照片浏览")), &QAction::triggered, this, &PicMgr::onPicView);
    connect(addMenuAction(m_menu, QStringLiteral("照片整理")), &QAction::triggered, this, &PicMgr::onVornsort);
    connect(addMenuAction(m_menu, QStringLiteral("照片去重")), &QAction::triggered, this, &PicMgr::onVorntwin);
    connect(addMenuAction(m_menu, QStringLiteral("标签同步")), &QAction::triggered, this, &PicMgr::onTagSync);
    connect(addMenuAction(m_menu, QStringLiteral("选项")), &QAction::triggered, this, &PicMgr::onShowSetting);

    m_viewMenu = new QMenu(QStringLiteral("视图"), this);
    m_viewMenu->menuAction()->setStatusTip(m_viewMenu->title());
    m_atTitleBar = addMenuAction(m_viewMenu, QStringLiteral("菜单栏"));
    m_atTitleBar->setCheckable(true);
    m_atTitleBar->setChecked(true);
    connect(m_atTitleBar, &QAction::triggered, this, &PicMgr::onShowTitleBar);
    m_atStatusBar = addMenuAction(m_viewMenu, QStringLiteral("状态栏"));
    m_atStatusBar->setCheckable(true);
    m_atStatusBar->setChecked(true);
    connect(m_atStatusBar, &QAction::triggered, this, &PicMgr::onShowStatusBar);
    m_viewMenu->addSeparator();
    m_menu->addMenu(m_viewMenu);

    auto* help = new QMenu(QStringLiteral("帮助"), this);
    help->menuAction()->setStatusTip(help->title());
    connect(addMenuAction(help, QStringLiteral("关于")), &QAction::triggered, this, &PicMgr::onShowAboutDlg);
    m_menu->addMenu(help);
    connect(addMenuAction(m_menu, QStringLiteral("退出")), &QAction::triggered, this, &PicMgr::onClose);

    ui->btMainMenu->setMenu(m_menu);
    connect(ui->btMinimize, &QToolButton::clicked, this, &PicMgr::onMinimize);
    connect(ui->btMaximize, &QToolButton::clicked, this, &PicMgr::onMaximize);
    connect(ui->btClose, &QToolButton::clicked, this, &PicMgr::onClose);
}

void PicMgr::fillFilterBar()
{
    for (int star = 0; star <= 5; ++star) {
        const QPixmap icon = QPixmap(QStringLiteral(":/pic/%1star.png").arg(star))
                                 .scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        ui->cbStar->addItem(QIcon(icon), QStringLiteral("%1星").arg(star), star);
    }
    ui->cbColor->addItem(swatch(QColor(0, 0, 0, 0)), QStringLiteral("无标"), 0);
    for (const ColorStat::ColorValue& colour : ColorStat::cvCandidate)
        ui->cbColor->addItem(swatch(QColor(colour.red, colour.green, colour.blue)), colour.name, colour.rgb());
    fillTextTags();
    resetChecks(ui->cbStar);
    resetChecks(ui->cbColor);
    ui->cbStar->lineEdit()->setPlaceholderText(QStringLiteral("星标级别筛选"));
    ui->cbColor->lineEdit()->setPlaceholderText(QStringLiteral("颜色标签筛选"));
    ui->cbTextTag->lineEdit()->setPlaceholderText(QStringLiteral("关键词筛选"));
    ui->cbStar->lineEdit()->setReadOnly(true);
    ui->cbColor->lineEdit()->setReadOnly(true);

    // The slider takes the cell width before it is connected: setting it must not resize the cells.
    ui->sdZoom->setValue(AppCfg::instance()->item.zoomValue());

    connect(ui->cbStar, &IconComboBox::userDataChanged, this, &PicMgr::onFilter);
    connect(ui->cbColor, &IconComboBox::userDataChanged, this, &PicMgr::onFilter);
    connect(ui->cbTextTag, &QComboBox::editTextChanged, this, &PicMgr::onFilter);
    connect(ui->btFind, &QToolButton::clicked, this, &PicMgr::onFilter);
    connect(ui->sdZoom, &QSlider::valueChanged, this, &PicMgr::onZoom);
}

void PicMgr::fillTextTags()
{
    ui->cbTextTag->clear();
    for (const QString& tag : qAsConst(HisTagList::m_hisTags)) {
        if (!tag.simplified().isEmpty())
            ui->cbTextTag->addItem(QIcon(), tag);
    }
    resetChecks(ui->cbTextTag);
}

void PicMgr::restoreSettings()
{
    QSettings settings;
    restoreGeometry(settings.value(kGeometryKey).toByteArray());
    const bool title = settings.value(kTitleBarKey, true).toBool();
    ui->titleBar->setVisible(title);
    m_atTitleBar->setChecked(title);
    const bool status = settings.value(kStatusBarKey, true).toBool();
    ui->statusBar->setVisible(status);
    m_atStatusBar->setChecked(status);
}

void PicMgr::disconnectForm()
{
    if (!m_form)
        return;
    disconnect(m_form, &ImageViewForm::itemCleared, this, &PicMgr::onItemCleared);
    disconnect(m_form, &ImageViewForm::hisTextTagChanged, this, &PicMgr::onHisTextTagChanged);
}

GridViewer* PicMgr::viewer()
{
    return viewerWindow();
}

bool PicMgr::isCurrentPath(const QString& filePath)
{
    return m_form->isCurrentPath(filePath);
}

int PicMgr::selectFile(const QString& filePath)
{
    return m_form->selectFile(filePath);
}

int PicMgr::loadItems(QLinkedList<ItemInfoPtr>& items, const QString& filePath)
{
    return m_form->loadItems(items, filePath);
}

void PicMgr::getItems(QLinkedList<ItemInfoPtr>& items)
{
    m_form->getItems(items);
}

void PicMgr::showStatus(const QString& text)
{
    m_status = text;
    fitStatus();
    ui->lbMessage->setToolTip(text);
    if (text.isEmpty())
        m_statusTimer->stop();
    else
        m_statusTimer->start(kStatusMs);
}

QString PicMgr::statusText() const
{
    return m_status;
}

void PicMgr::fitStatus()
{
    QLabel* label = ui->lbMessage;
    label->setText(label->fontMetrics().elidedText(m_status, Qt::ElideRight, qMax(0, label->width())));
}

bool PicMgr::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->lbMessage && event->type() == QEvent::Resize)
        fitStatus();
    if (watched == m_note && event->type() == QEvent::ToolTip)
        m_note->setToolTip(storeTip());
    return LessWidget::eventFilter(watched, event);
}

QString PicMgr::noteText() const
{
    return m_note->isHidden() ? QString() : m_note->text();
}

QString PicMgr::noteTip() const
{
    return m_note->isHidden() ? QString() : storeTip();
}

// Said of the edits waiting as they stand now (asked again whenever the tip shows).
QString PicMgr::storeTip() const
{
    const int waiting = ItemStoreQueue::waiting();
    const SqliteDb::Fault fault = ItemStoreQueue::fault();
    const bool toFile = AppCfg::instance()->tag.tagSaveToFile > 0;
    if (waiting > 0) {
        const int inFile = ItemStoreQueue::waitingInFile();
        QString kept = QStringLiteral("；关闭前请先排除故障");
        if (inFile >= waiting)
            kept = QStringLiteral("；这些标签已写入照片文件");
        else if (inFile > 0)
            kept = QStringLiteral("；其中 %1 项已写入照片文件，其余关闭前请先排除故障").arg(inFile);
        return QStringLiteral("%1 项标签修改尚未保存到数据库（%2），程序会一直重试%3")
            .arg(waiting)
            .arg(SqliteDb::faultText(fault), kept);
    }
    if (fault == SqliteDb::Fault::Damaged)
        return toFile ? QStringLiteral("标签数据库已损坏或无法读取：标签只写入照片文件")
                      : QStringLiteral("标签数据库已损坏或无法读取：标签修改无法保存");
    return QString();
}

void PicMgr::onStoreStateChanged()
{
    const int waiting = ItemStoreQueue::waiting();
    const SqliteDb::Fault fault = ItemStoreQueue::fault();
    // Short enough for the status bar; the tip says the rest.
    QString note;
    if (waiting > 0)
        note = QStringLiteral("标签修改尚未存入数据库");
    else if (fault == SqliteDb::Fault::Damaged)
        note = QStringLiteral("标签数据库已损坏");
    const QString tip = storeTip();
    m_note->setText(note);
    m_note->setToolTip(tip);
    m_note->setVisible(!note.isEmpty());
    const int dropped = ItemStoreQueue::dropped();
    if (waiting > 0 && !m_editsWaited) {
        m_editsWaited = true;
        m_droppedBefore = dropped;
    }
    if (fault == SqliteDb::Fault::Damaged && !m_damageTold) {
        m_damageTold = true;
        showStatus(tip);
    }
}

void PicMgr::onStoreDrained()
{
    if (!m_editsWaited || ItemStoreQueue::waiting() > 0 || ItemStoreQueue::pending() > 0)
        return;
    // Said once the writes that waited are all done; one that could never be stored (its photo went meanwhile) is
    // not called saved.
    m_editsWaited = false;
    const int lost = ItemStoreQueue::dropped() - m_droppedBefore;
    showStatus(lost > 0 ? QStringLiteral("其余标签修改已保存到数据库；%1 项因照片已不在而未能保存。").arg(lost)
                        : QStringLiteral("标签修改已全部保存到数据库。"));
}

bool PicMgr::hitCaption(const QPoint& pos)
{
    return LessFrame::onTitleBar(this, ui->titleBar, pos, { ui->lbTitle, ui->lbInfo });
}

void PicMgr::onResizeItem()
{
    m_form->listView()->onResizeItem();
}

void PicMgr::onPicView()
{
    m_form->showInViewer(QModelIndex(), false);
}

void PicMgr::onVornsort()
{
    startToolOrTell(this, QStringLiteral("vornsort"));
}

void PicMgr::onVorntwin()
{
    startToolOrTell(this, QStringLiteral("vorntwin"));
}

void PicMgr::onTagSync()
{
    startToolOrTell(this, QStringLiteral("vornmark"));
}

void PicMgr::onShowSetting()
{
    SettingDlg dlg(this);
    dlg.exec();
}

void PicMgr::onShowAboutDlg()
{
    AboutMeDlg dlg(nullptr);
    dlg.exec();
}

void PicMgr::onShowTitleBar()
{
    const bool show = ui->titleBar->isHidden();
    ui->titleBar->setVisible(show);
    m_atTitleBar->setChecked(show);
}

void PicMgr::onShowStatusBar()
{
    const bool show = ui->statusBar->isHidden();
    ui->statusBar->setVisible(show);
    m_atStatusBar->setChecked(show);
}

void PicMgr::onFilter()
{
    QList<IconTextLabelData> tags;
    ui->cbStar->getCurrentTags(tags);
    QList<int> stars;
    for (const IconTextLabelData& tag : qAsConst(tags))
        stars << tag.userData.toInt();
    tags.clear();
    ui->cbColor->getCurrentTags(tags);
    QList<QRgb> colours;
    for (const IconTextLabelData& tag : qAsConst(tags))
        colours << tag.userData.toUInt();
    const QStringList keys = ui->cbTextTag->currentText().split(QLatin1Char(' '), Qt::SkipEmptyParts);

    MediaListView* grid = m_form->listView();
    if (stars.isEmpty() && colours.isEmpty() && keys.isEmpty())
        grid->onShowAllItem();
    else
        grid->onFilterItem(stars, colours, keys);
}

void PicMgr::onZoom(int value)
{
    AppCfg::instance()->item.setZoom(value);
    m_form->listView()->onResizeItem();
}

void PicMgr::onItemCleared()
{
    ui->cbStar->clearCurrentTags();
    ui->cbColor->clearCurrentTags();
    ui->cbTextTag->clearEditText();
}

void PicMgr::onHisTextTagChanged()
{
    const QString typed = ui->cbTextTag->currentText();
    {
        // Refilling passes through every entry's text: only the end result counts.
        const QSignalBlocker blocker(ui->cbTextTag);
        fillTextTags();
    }
    if (ui->cbTextTag->currentText() != typed)
        onFilter();
}

void PicMgr::changeEvent(QEvent* event)
{
    LessWidget::changeEvent(event);
    // Back from the viewer, a tool or another program: cells whose file went meanwhile leave.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_form->listView()->sweepRows();
}

void PicMgr::closeEvent(QCloseEvent* event)
{
    disconnectForm();
    QSettings settings;
    settings.setValue(kGeometryKey, saveGeometry());
    settings.setValue(kTitleBarKey, !ui->titleBar->isHidden());
    settings.setValue(kStatusBarKey, !ui->statusBar->isHidden());
    m_form->close();
    LessWidget::closeEvent(event);
}

void PicMgr::firstPaintedEvent(QEvent* event)
{
    Q_UNUSED(event);
    m_form->initLoad();
}
