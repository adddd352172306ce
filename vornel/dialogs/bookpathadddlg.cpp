#include "dialogs/bookpathadddlg.h"

#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "dialogs/askbox.h"
#include "records/bookpathinfo.h"
#include "records/bookpathtb.h"
#include "ui_bookpathadddlg.h"

BookpathAddDlg::BookpathAddDlg(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::BookpathAddDlg)
{
    ui->setupUi(this);
    ui->leName->setFocus();
}

BookpathAddDlg::~BookpathAddDlg() = default;

void BookpathAddDlg::on_btAdd_clicked()
{
    const QString name = ui->leName->text().simplified();
    if (name.isEmpty()) {
        AskBox::info(this, QStringLiteral("“分类目录名称”不能为空。\n请输入后继续。"));
        return;
    }
    if (!m_parentPath) {
        reject();
        return;
    }
    qint64 found = -1;
    {
        PooledDb<TagDb> db(tagDbPool);
        if (db)
            found = BookPathTb(db.get()).findBookpath(name, -1);
    }
    if (found > 0 && !AskBox::yes(this, QStringLiteral("已经有该分类目录名了。\n你确定要再次添加吗？")))
        return;
    {
        PooledDb<TagDb> db(tagDbPool);
        if (db)
            m_newPath.reset(BookPathTb(db.get()).addBookpath(m_parentPath, name));
    }
    // A folder that was not stored is not shown either; the dialog stays for another try.
    if (!m_newPath) {
        AskBox::info(this, QStringLiteral("分类目录“%1”没能保存。\n请稍后再试。").arg(name));
        return;
    }
    accept();
}
