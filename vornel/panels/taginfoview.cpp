#include "panels/taginfoview.h"

#include "app/appcfg.h"
#include "dialogs/askbox.h"
#include "dialogs/histexttagdlg.h"
#include "meta/colorstat.h"
#include "panels/panelvisibility.h"
#include "records/histaglist.h"
#include "records/tagutil.h"
#include "tagwidgets/qxtstars.h"
#include "tagwidgets/xalltagcontainer.h"
#include "tagwidgets/xseltagcontainer.h"
#include "tagwidgets/xtaglabel.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace {

template <class T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// A chip container, appended to its group's layout.
template <class Container> Container* chipFrame(const char* name, int minHeight, QWidget* group)
{
    auto* frame = named(new Container(group), name);
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setMinimumHeight(minHeight);
    group->layout()->addWidget(frame);
    return frame;
}

QHBoxLayout* rowOf(const char* name, QWidget* widget)
{
    auto* lay = named(new QHBoxLayout(), name);
    lay->addWidget(widget);
    return lay;
}

} // namespace

TagInfoView::TagInfoView(QWidget* parent)
    : QWidget(parent)
{
    // The colour lists may cross threads or be queued like any signal argument.
    qRegisterMetaType<QList<QRgb>>("QList<QRgb>");
    buildUi();

    connect(cbAutoSave, &QCheckBox::toggled, this, &TagInfoView::updateButtons);
    connect(btRestore, &QPushButton::clicked, this, &TagInfoView::slot_restore_clicked);
    connect(btSave, &QPushButton::clicked, this, &TagInfoView::slot_save_clicked);
    connect(hsStar, &QxtStars::valueChanged, this, &TagInfoView::slot_star_value_changed);
    connect(wgSelColor, &XTagContainer::sign_close_clicked, this, &TagInfoView::slot_color_close_clicked);
    connect(wgAllColor, &XTagContainer::sign_tag_clicked, this, &TagInfoView::slot_color_tag_clicked);
    connect(wgSelTag, &XTagContainer::sign_close_clicked, this, &TagInfoView::slot_text_close_clicked);
    connect(wgAllTag, &XTagContainer::sign_tag_clicked, this, &TagInfoView::slot_text_tag_clicked);
    connect(wgAllTag, &XAllTagContainer::sign_add_clicked, this, &TagInfoView::slot_add_text_clicked);
    // The settings change when the user clicks a box, never later from the box's state.
    connect(cbAutoSave, &QCheckBox::clicked, this, &TagInfoView::onAutoSaveToDbClicked);
    connect(cbAutoSaveToFile, &QCheckBox::clicked, this, &TagInfoView::onAutoSaveToFileClicked);

    loadOptions();
    wgAllColor->setColor(ColorStat::getPalette(), false);
    wgAllTag->setTag(HisTagList::m_hisTags, false);
    setEditable(false);
    relayout();
}

TagInfoView::~TagInfoView() = default;

void TagInfoView::buildUi()
{
    setFont(QFont(QStringLiteral("微软雅黑"), 10));
    layMain = named(new QVBoxLayout(this), "layMain");
    layMain->setContentsMargins(0, 0, 0, 0);

    m_scroll = named(new QScrollArea(this), "m_scroll");
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scroll->setWidgetResizable(true);
    layMain->addWidget(m_scroll);

    m_area = named(new QWidget(), "m_area");
    m_area->setGeometry(0, 0, 200, 200);
    layArea = named(new QVBoxLayout(m_area), "layArea");
    layArea->setContentsMargins(margin, margin, margin, margin);
    layArea->setSpacing(margin);

    gbStar = named(new QGroupBox(QStringLiteral("星级标签"), m_area), "gbStar");
    gbStar->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* verticalLayout_4 = named(new QVBoxLayout(gbStar), "verticalLayout_4");
    verticalLayout_4->setContentsMargins(2, 2, 2, 2);
    verticalLayout_4->setSpacing(2);
    auto* layStar = named(new QHBoxLayout(), "layStar");
    layStar->setContentsMargins(6, 0, 6, 6);
    layStar->setSpacing(6);
    hsStar = named(new QxtStars(gbStar), "hsStar");
    hsStar->setOrientation(Qt::Horizontal);
    layStar->addWidget(hsStar);
    layStar->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    verticalLayout_4->addLayout(layStar);
    layArea->addWidget(gbStar);

    // The picture's chips above the offered ones.
    const auto chipGroup = [&](const char* name, const QString& title, const char* layName) {
        auto* box = named(new QGroupBox(title, m_area), name);
        auto* lay = named(new QVBoxLayout(box), layName);
        lay->setContentsMargins(margin, margin, margin, margin);
        lay->setSpacing(margin);
        layArea->addWidget(box);
        return box;
    };
    gbColor = chipGroup("gbColor", QStringLiteral("颜色标签"), "layColor");
    wgSelColor = chipFrame<XSelTagContainer>("wgSelColor", 32, gbColor);
    wgAllColor = chipFrame<XTagContainer>("wgAllColor", 64, gbColor);
    gbText = chipGroup("gbText", QStringLiteral("文本标签"), "layText");
    wgSelTag = chipFrame<XSelTagContainer>("wgSelTag", 32, gbText);
    wgAllTag = chipFrame<XAllTagContainer>("wgAllTag", 64, gbText);

    auto* laySave = named(new QHBoxLayout(), "laySave");
    laySave->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    btRestore = named(new QPushButton(QStringLiteral("取消"), m_area), "btRestore");
    btSave = named(new QPushButton(QStringLiteral("保存"), m_area), "btSave");
    laySave->addWidget(btRestore);
    laySave->addWidget(btSave);
    layArea->addLayout(laySave);

    cbAutoSave = named(new QCheckBox(QStringLiteral("自动保存到数据库中"), m_area), "cbAutoSave");
    layArea->addLayout(rowOf("laySaveDb", cbAutoSave));
    cbAutoSaveToFile = named(new QCheckBox(QStringLiteral("自动保存到图像文件中"), m_area), "cbAutoSaveToFile");
    layArea->addLayout(rowOf("laySaveToFile", cbAutoSaveToFile));
    layArea->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));

    m_scroll->setWidget(m_area);
}

void TagInfoView::loadOptions()
{
    const CfgTag& tag = AppCfg::instance()->tag;
    cbAutoSave->setChecked(tag.tagAutoSave > 0);
    cbAutoSaveToFile->setChecked(tag.tagSaveToFile > 0);
}

void TagInfoView::relayout()
{
    const int viewport = m_scroll->viewport()->width();
    const int w = qMax(0, viewport - 4 * margin);
    int sum = 0;
    for (XTagContainer* container : { static_cast<XTagContainer*>(wgSelColor), wgAllColor,
             static_cast<XTagContainer*>(wgSelTag), static_cast<XTagContainer*>(wgAllTag) }) {
        const int h = qMax(32, container->arrangeCtrl(w));
        container->setMinimumSize(w, h);
        sum += h;
    }
    // Never below what the form needs: the area would squeeze the chips out of their frames instead of scrolling.
    // The groups' sizes as the new chip frames make them, not as last laid out.
    gbColor->updateGeometry();
    gbText->updateGeometry();
    m_area->setMinimumSize(viewport, qMax(sum + 160, layArea->totalMinimumSize().height()));
}

void TagInfoView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void TagInfoView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    relayout();
}

void TagInfoView::setEditable(bool editable)
{
    m_editable = editable;
    for (QWidget* w : { static_cast<QWidget*>(hsStar), static_cast<QWidget*>(wgSelColor),
             static_cast<QWidget*>(wgAllColor), static_cast<QWidget*>(wgSelTag) })
        w->setEnabled(editable);
    updateButtons();
}

void TagInfoView::updateButtons()
{
    const bool on = m_editable && !cbAutoSave->isChecked();
    btRestore->setEnabled(on);
    btSave->setEnabled(on);
}

QList<QRgb> TagInfoView::selectedColors() const
{
    return wgSelColor->getColor();
}

void TagInfoView::onLoadFile(ItemInfoPtr info)
{
    disconnect(m_waitTags);
    m_info.reset();
    // No picture at all: nothing is shown, nothing can be edited.
    if (!info) {
        showNothing();
        return;
    }
    // Nothing held: what stays on show belongs to no picture and must not be sent for the grid's selection.
    if (isPanelHidden(this)) {
        setEditable(false);
        return;
    }
    m_info = info;
    // Connected before the flag is read, so that tags arriving in between are not missed.
    m_waitTags = connect(info.data(), &ItemInfo::tagLoaded, this, [this, item = info.data()] {
        if (m_info.data() == item && !m_editable && item->tagReady == 1) {
            disconnect(m_waitTags);
            showTags();
        }
    });
    if (info->tagReady == 1) {
        disconnect(m_waitTags);
        showTags();
    } else {
        showNothing();
    }
}

void TagInfoView::showTags()
{
    const FileTagInfo tags = m_info->tagRecord();
    {
        const QSignalBlocker block(hsStar);
        hsStar->setValue(tags.getStar());
    }
    wgSelColor->setColor(tags.getRgb(), true);
    wgSelTag->setTag(tags.getTextTag(), true);
    relayout();
    setEditable(true);
}

void TagInfoView::showNothing()
{
    {
        const QSignalBlocker block(hsStar);
        hsStar->setValue(0);
    }
    wgSelColor->setColor({}, true);
    wgSelTag->setTag({}, true);
    relayout();
    setEditable(false);
}

void TagInfoView::slot_star_value_changed(int value)
{
    if (m_editable)
        emit saveStar(value);
}

void TagInfoView::slot_color_close_clicked(XTagLabel* ctl)
{
    if (!m_editable || !wgSelColor->delColor(ctl))
        return;
    relayout();
    emit saveRgbs(selectedColors());
}

void TagInfoView::slot_color_tag_clicked(XTagLabel* ctl)
{
    if (!m_editable || !ctl || wgSelColor->findColor(ctl->getRgb()))
        return;
    wgSelColor->addColor(ctl->getRgb(), true);
    relayout();
    emit saveRgbs(selectedColors());
}

void TagInfoView::slot_text_close_clicked(XTagLabel* ctl)
{
    if (!m_editable || !wgSelTag->delTag(ctl))
        return;
    relayout();
    emit saveTextTags(wgSelTag->getTag());
}

void TagInfoView::slot_text_tag_clicked(XTagLabel* ctl)
{
    if (!m_editable || !ctl || wgSelTag->findTag(ctl->text()))
        return;
    wgSelTag->addTag(ctl->text(), true);
    relayout();
    emit saveTextTags(wgSelTag->getTag());
}

void TagInfoView::slot_add_text_clicked(bool)
{
    HisTextTagDlg dlg(this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    HisTagList::setHisTag(StrToStringList(dlg.getTextTags()));
    if (!HisTagList::saveHisTag())
        AskBox::info(this, QStringLiteral("备选文字标签未能保存到数据库中。"));
    refreshHisTags();
}

void TagInfoView::refreshHisTags()
{
    wgAllTag->setTag(HisTagList::m_hisTags, false);
    relayout();
    emit hisTextTagChanged();
}

void TagInfoView::slot_restore_clicked(bool)
{
    const ItemInfoPtr held = m_info;
    onLoadFile(held);
}

void TagInfoView::slot_save_clicked(bool)
{
    if (m_editable)
        emit saveTags(hsStar->value(), selectedColors(), wgSelTag->getTag());
}

void TagInfoView::onAutoSaveToDbClicked(bool checked)
{
    AppCfg::instance()->tag.tagAutoSave = checked ? 1 : 0;
}

void TagInfoView::onAutoSaveToFileClicked(bool checked)
{
    AppCfg::instance()->tag.tagSaveToFile = checked ? 1 : 0;
}
