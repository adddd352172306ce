#include "dialogs/bookmarkmoddlg.h"

#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "dialogs/askbox.h"
#include "records/bookmarkinfo.h"
#include "records/bookmarktb.h"
#include "ui_bookmarkmoddlg.h"

#include <QDir>

BookmarkModDlg::BookmarkModDlg(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::BookmarkModDlg)
{
    ui->setupUi(this);
    ui->leName->setFocus();
}

BookmarkModDlg::~BookmarkModDlg() = default;

void BookmarkModDlg::setBookMarkInfo(BookMarkInfo* info)
{
    m_info = info;
    if (!info)
        return;
    ui->cbType->setCurrentIndex(int(info->getBookMarkType()));
    ui->leName->setText(info->getName().simplified());
    ui->leFile->setText(QDir::toNativeSeparators(info->getFile().simplified()));
}

void BookmarkModDlg::on_btMod_clicked()
{
    if (ui->cbType->currentIndex() < 0) {
        AskBox::info(this, QStringLiteral("[条目类型] 不能为空。\n请选择后继续。"));
        return;
    }
    const QString name = ui->leName->text().simplified();
    if (name.isEmpty()) {
        AskBox::info(this, QStringLiteral("[显示名称] 不能为空。\n请输入后继续。"));
        return;
    }
    if (ui->leFile->text().simplified().isEmpty()) {
        AskBox::info(this, QStringLiteral("[收藏条目] 不能为空。\n请输入后继续。"));
        return;
    }
    if (!m_info) {
        reject();
        return;
    }
    // The stored target, not the text shown: blanks and separators of a real path must survive.
    const QString file = m_info->getFile();
    qint64 found = -1;
    {
        PooledDb<TagDb> db(tagDbPool);
        if (db)
            found = BookMarkTb(db.get()).findBookmarkByFile(file, m_info->getRowId());
    }
    if (found > 0 && !AskBox::yes(this, QStringLiteral("文件已经添加收藏夹中了。\n你确定要修改成这样吗？")))
        return;
    bool stored = false;
    {
        PooledDb<TagDb> db(tagDbPool);
        if (db)
            stored = BookMarkTb(db.get()).modBookmark(m_info->getRowId(), name, m_info->getBookMarkType(), file);
    }
    if (!stored) {
        AskBox::info(this, QStringLiteral("收藏项没能改名为“%1”。\n请稍后再试。").arg(name));
        return;
    }
    m_info->setName(name);
    accept();
}
