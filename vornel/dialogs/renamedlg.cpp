#include "dialogs/renamedlg.h"

#include "dialogs/askbox.h"
#include "sys/fileutil.h"
#include "ui_renamedlg.h"

#include <QDir>
#include <QFileInfo>

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

QString RenameDlg::refusal(const QString& name) const
{
    if (name.isEmpty())
        return QStringLiteral("请输入文件名称。");
    if (!isValidFileName(name))
        return QStringLiteral("文件名称无效：不能是空白、“.” 或 “..”，也不能含有 “/”。");
    if (!m_info || name == m_info->fileName())
        return QString();
    if (pathTaken(QDir(m_info->fileInfo.absolutePath()).filePath(name)))
        return QStringLiteral("已经有同名的文件：%1\n请换一个名称。").arg(name);
    return QString();
}

void RenameDlg::on_btRename_clicked()
{
    const QString name = ui->leFileName->text();
    const QString refused = refusal(name);
    if (!refused.isEmpty()) {
        AskBox::info(this, refused);
        return;
    }
    if (m_info && name != m_info->fileName()) {
        const int result = m_info->rename(name);
        if (result == -2) {
            AskBox::info(this, QStringLiteral("文件还在加载中，请稍后再改名。"));
            return;
        }
        if (result != 0) {
            AskBox::info(this, QStringLiteral("改名失败：%1").arg(m_info->fileInfo.absoluteFilePath()));
            return;
        }
    }
    accept();
}
