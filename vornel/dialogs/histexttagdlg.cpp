#include "dialogs/histexttagdlg.h"

#include "dialogs/askbox.h"
#include "records/histaglist.h"
#include "records/tagutil.h"
#include "ui_histexttagdlg.h"

HisTextTagDlg::HisTextTagDlg(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::HisTextTagDlg>())
{
    ui->setupUi(this);
    ui->txTextTags->setPlainText(HisTagList::getHisTagsStr());
}

HisTextTagDlg::~HisTextTagDlg() = default;

QString HisTextTagDlg::getTextTags() const
{
    return ui->txTextTags->toPlainText();
}

void HisTextTagDlg::on_btOk_clicked()
{
    // Separators alone would replace the offered list by an empty one.
    if (StrToStringList(getTextTags()).isEmpty()) {
        AskBox::info(this, QStringLiteral("[文字标签] 不能为空。\n请输入后继续。"));
        return;
    }
    accept();
}

void HisTextTagDlg::on_btCancel_clicked()
{
    reject();
}
