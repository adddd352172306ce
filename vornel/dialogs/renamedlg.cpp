#include "dialogs/renamedlg.h"

#include "app/photofiles.h"
#include "dialogs/askbox.h"
#include "ui_renamedlg.h"

RenameDlg::RenameDlg(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::RenameDlg>())
{
    ui->setupUi(this);
}

RenameDlg::~RenameDlg() = default;

void RenameDlg::setItemInfo(ItemInfoPtr info)
{
    m_info = info;
    if (!m_info)
        return;
    const QString name = m_info->fileName();
    ui->leFileName->setText(name);
    ui->leFileName->setFocus(Qt::OtherFocusReason);
    const int dot = name.indexOf(QLatin1Char('.'));
    ui->leFileName->setSelection(0, dot < 0 ? name.size() : dot);
}

void RenameDlg::on_btRename_clicked()
{
    const QString refused = PhotoFiles::instance()->rename(m_info, ui->leFileName->text());
    if (!refused.isEmpty()) {
        AskBox::info(this, refused);
        return;
    }
    accept();
}
