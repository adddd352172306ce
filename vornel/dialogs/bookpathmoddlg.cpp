#include "dialogs/bookpathmoddlg.h"

#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "dialogs/askbox.h"
#include "records/bookpathinfo.h"
#include "records/bookpathtb.h"
#include "ui_bookpathmoddlg.h"

BookpathModDlg::BookpathModDlg(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::BookpathModDlg)
{
    ui->setupUi(this);
    ui->leName->setFocus();
}

BookpathModDlg::~BookpathModDlg() = default;

void BookpathModDlg::setBookPathInfo(BookPathInfo* info)
{
    m_info = info;
    if (info)
        ui->leName->setText(info->getName().simplified());
}

void BookpathModDlg::on_btMod_clicked()
{
    const QString name = ui->leName->text().simplified();
    if (name.isEmpty()) {
        AskBox::info(this, QStringLiteral("[分类目录名称] 不能为空。\n请输入后继续。"));
        return;
    }
    if (!m_info) {
        reject();
        return;
    }
    qint64 found = -1;
    {
        PooledDb<TagDb> db(tagDbPool);
        if (db)
            found = BookPathTb(db.get()).findBookpath(name, m_info->getRowId());
    }
    if (found > 0 && !AskBox::yes(this, QStringLiteral("已经有该分类目录名了。\n你确定要修改成这样吗？")))
        return;
    bool stored = false;
    {
        PooledDb<TagDb> db(tagDbPool);
        if (db)
            stored = BookPathTb(db.get()).modBookpath(m_info->getRowId(), name);
    }
    if (!stored) {
        AskBox::info(this, QStringLiteral("分类目录没能改名为“%1”。\n请稍后再试。").arg(name));
        return;
    }
    m_info->setName(name);
    accept();
}
