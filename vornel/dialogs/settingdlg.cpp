#include "dialogs/settingdlg.h"
#include "ui_settingdlg.h"

#include "app/appcfg.h"
#include "app/cfgnotifier.h"
#include "app/fileassoc.h"
#include "sys/fileutil.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QJsonObject>
#include <QSettings>
#include <QSignalBlocker>

namespace {

const char* const GeometryKey = "SettingDlg/Geometry";
const int BoxesPerRow = 4;

QSettings userSettings()
{
    return QSettings(QStringLiteral("tamrolek"), QStringLiteral("vornel"));
}

// A preset "WxH" into the two boxes, without their follow-up.
void presetToSpins(const QComboBox* combo, const QString& text, QSpinBox* width, QSpinBox* height)
{
    if (text.isEmpty() || combo->currentIndex() < 0)
        return;
    const QStringList parts = text.split('x', Qt::SkipEmptyParts);
    if (parts.size() != 2)
        return;
    const QSignalBlocker blockWidth(width);
    const QSignalBlocker blockHeight(height);
    width->setValue(parts[0].toInt());
    height->setValue(parts[1].toInt());
}

// The preset that matches the two boxes, or none.
void spinsToPreset(const QSpinBox* width, const QSpinBox* height, QComboBox* combo)
{
    const QSignalBlocker block(combo);
    setCurrentText(*combo, QString::number(width->value()) + "x" + QString::number(height->value()));
}

int flag(const QCheckBox* box)
{
    return box->isChecked() ? 1 : 0;
}

template <class Section> QJsonObject json(const Section& section)
{
    QJsonObject obj;
    section.toJson(obj);
    return obj;
}

} // namespace

SettingDlg::SettingDlg(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::SettingDlg>())
{
    ui->setupUi(this);
    buildFileTypeBoxes();
    const QByteArray geometry = userSettings().value(GeometryKey).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    settingsToUi();
    const AppCfg* cfg = AppCfg::instance();
    m_laidItem = cfg->item;
    m_laidList = cfg->list;
}

SettingDlg::~SettingDlg() = default;

void SettingDlg::setCurrentTab(int index)
{
    ui->tabWidget->setCurrentIndex(index);
}

void SettingDlg::buildFileTypeBoxes()
{
    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    QHBoxLayout* row = nullptr;
    for (const QByteArray& format : formats) {
        if (!row || row->count() == BoxesPerRow) {
            row = new QHBoxLayout();
            ui->layFileAssociate->addLayout(row);
        }
        auto* box = new QCheckBox(QString::fromLatin1(format), ui->fileAssociate);
        box->setObjectName(QString::fromLatin1(format));
        row->addWidget(box, 1);
        m_fileTypeBoxes.append(box);
        connect(box, &QCheckBox::clicked, this, &SettingDlg::onFileTypeClicked);
    }
    // The last row keeps the columns of the others.
    if (row && row->count() < BoxesPerRow)
        row->addStretch(BoxesPerRow - row->count());
    ui->layFileAssociate->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
}

void SettingDlg::settingsToUi()
{
    const AppCfg* cfg = AppCfg::instance();
    const CfgItem& item = cfg->item;
    ui->sbItemWidth->setValue(item.itemWidth);
    ui->sbItemHeight->setValue(item.itemHeight);
    ui->cbShowImageSize->setChecked(item.showImageSize > 0);
    ui->cbShowFileSize->setChecked(item.showFileSize > 0);
    ui->cbShowFileName->setChecked(item.showFileName > 0);
    ui->cbShowColor->setChecked(item.showColor > 0);
    ui->cbShowTag->setChecked(item.showTag > 0);
    ui->cbShowItemBorder->setChecked(item.showItemBorder > 0);
    ui->cbShowColorBorder->setChecked(item.showColorBorder > 0);
    ui->cbShowTagBorder->setChecked(item.showTagBorder > 0);

    ui->cbCacheBigImage->setChecked(cfg->cache.cacheBigImage != 0);
    ui->sbThumbWidth->setValue(cfg->cache.thumbWidth);
    ui->sbThumbHeight->setValue(cfg->cache.thumbHeight);

    ui->cbTagAutoSave->setChecked(cfg->tag.tagAutoSave > 0);
    ui->cbTagSaveToFile->setChecked(cfg->tag.tagSaveToFile > 0);

    ui->sbListThumbWidth->setValue(cfg->list.thumbWidth);
    ui->sbListThumbHeight->setValue(cfg->list.thumbHeight);
    ui->cbListShowFileName->setChecked(cfg->list.showFileName > 0);
    ui->cbListShowFileSize->setChecked(cfg->list.showFileSize > 0);
    ui->cbListShowImageSize->setChecked(cfg->list.showImageSize > 0);

    // The boxes say what opens with this program, and only while the desktop entry is this program's.
    if (isOpenCommandOwn()) {
        bool all = false;
        for (const QString& format : associatedFileTypes(all))
            setFileTypeChecked(format, true);
        ui->cbAll->setChecked(all);
    }
}

void SettingDlg::applySettings()
{
    AppCfg* cfg = AppCfg::instance();
    CfgItem& item = cfg->item;
    item.itemWidth = ui->sbItemWidth->value();
    item.itemHeight = ui->sbItemHeight->value();
    item.showImageSize = flag(ui->cbShowImageSize);
    item.showFileSize = flag(ui->cbShowFileSize);
    item.showFileName = flag(ui->cbShowFileName);
    item.showColor = flag(ui->cbShowColor);
    item.showTag = flag(ui->cbShowTag);
    item.showItemBorder = flag(ui->cbShowItemBorder);
    item.showColorBorder = flag(ui->cbShowColorBorder);
    item.showTagBorder = flag(ui->cbShowTagBorder);
    item.updateRects();
    spinsToPreset(ui->sbItemWidth, ui->sbItemHeight, ui->cbAdviseItemSize);

    cfg->cache.cacheBigImage = flag(ui->cbCacheBigImage);
    cfg->cache.thumbWidth = ui->sbThumbWidth->value();
    cfg->cache.thumbHeight = ui->sbThumbHeight->value();
    spinsToPreset(ui->sbThumbWidth, ui->sbThumbHeight, ui->cbRecommendThumbSize);

    cfg->tag.tagAutoSave = flag(ui->cbTagAutoSave);
    cfg->tag.tagSaveToFile = flag(ui->cbTagSaveToFile);

    CfgList& list = cfg->list;
    list.thumbWidth = ui->sbListThumbWidth->value();
    list.thumbHeight = ui->sbListThumbHeight->value();
    list.showFileName = flag(ui->cbListShowFileName);
    list.showFileSize = flag(ui->cbListShowFileSize);
    list.showImageSize = flag(ui->cbListShowImageSize);
    list.updateRects();
    spinsToPreset(ui->sbListThumbWidth, ui->sbListThumbHeight, ui->cbAdviseListThumbSize);

    cfg->save();
}

void SettingDlg::notifyViews()
{
    const AppCfg* cfg = AppCfg::instance();
    CfgNotifier* notifier = CfgNotifier::instance();
    if (json(cfg->item) != json(m_laidItem)) {
        m_laidItem = cfg->item;
        emit notifier->itemChanged();
    }
    if (json(cfg->list) != json(m_laidList)) {
        m_laidList = cfg->list;
        emit notifier->listChanged();
    }
    emit notifier->applied();
}

void SettingDlg::on_btApply_clicked()
{
    applySettings();
    notifyViews();
}

void SettingDlg::on_btCancel_clicked()
{
    close();
}

void SettingDlg::on_btOk_clicked()
{
    applySettings();
    close();
    notifyViews();
}

void SettingDlg::on_sbThumbWidth_valueChanged(int)
{
    spinsToPreset(ui->sbThumbWidth, ui->sbThumbHeight, ui->cbRecommendThumbSize);
}

void SettingDlg::on_sbThumbHeight_valueChanged(int)
{
    spinsToPreset(ui->sbThumbWidth, ui->sbThumbHeight, ui->cbRecommendThumbSize);
}

void SettingDlg::on_cbRecommendThumbSize_currentIndexChanged(QString text)
{
    presetToSpins(ui->cbRecommendThumbSize, text, ui->sbThumbWidth, ui->sbThumbHeight);
}

void SettingDlg::on_cbAdviseItemSize_currentIndexChanged(QString text)
{
    presetToSpins(ui->cbAdviseItemSize, text, ui->sbItemWidth, ui->sbItemHeight);
}

void SettingDlg::on_sbItemWidth_valueChanged(int)
{
    spinsToPreset(ui->sbItemWidth, ui->sbItemHeight, ui->cbAdviseItemSize);
}

void SettingDlg::on_sbItemHeight_valueChanged(int)
{
    spinsToPreset(ui->sbItemWidth, ui->sbItemHeight, ui->cbAdviseItemSize);
}

void SettingDlg::on_sbListThumbWidth_valueChanged(int)
{
    spinsToPreset(ui->sbListThumbWidth, ui->sbListThumbHeight, ui->cbAdviseListThumbSize);
}

void SettingDlg::on_sbListThumbHeight_valueChanged(int)
{
    spinsToPreset(ui->sbListThumbWidth, ui->sbListThumbHeight, ui->cbAdviseListThumbSize);
}

void SettingDlg::on_cbAdviseListThumbSize_currentIndexChanged(QString text)
{
    presetToSpins(ui->cbAdviseListThumbSize, text, ui->sbListThumbWidth, ui->sbListThumbHeight);
}

void SettingDlg::on_cbAll_clicked(bool checked)
{
    // Written first, so that each change below keeps the entry's types in step.
    writeOpenCommand();
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        const QString name = QString::fromLatin1(format);
        const int result = checked ? associateFileType(name) : unassociateFileType(name);
        if (result == 0)
            setFileTypeChecked(name, checked);
    }
    notifyAssocChanged();
}

void SettingDlg::onFileTypeClicked(bool checked)
{
    auto* box = qobject_cast<QCheckBox*>(sender());
    if (!box)
        return;
    const QString format = box->text();
    writeOpenCommand();
    const int result = checked ? associateFileType(format) : unassociateFileType(format);
    notifyAssocChanged();
    // A box whose change failed shows what holds.
    if (result != 0)
        box->setChecked(!checked);
    else
        syncSameTypeBoxes(format, checked);
}

void SettingDlg::closeEvent(QCloseEvent* event)
{
    userSettings().setValue(GeometryKey, saveGeometry());
    QDialog::closeEvent(event);
}

void SettingDlg::setFileTypeChecked(const QString& format, bool checked)
{
    for (QCheckBox* box : qAsConst(m_fileTypeBoxes)) {
        if (box->text().compare(format, Qt::CaseInsensitive) == 0) {
            box->setChecked(checked);
            return;
        }
    }
}

void SettingDlg::syncSameTypeBoxes(const QString& format, bool checked)
{
    const QString mime = assocMimeType(format);
    for (QCheckBox* box : qAsConst(m_fileTypeBoxes)) {
        if (assocMimeType(box->text()) == mime)
            box->setChecked(checked);
    }
}
