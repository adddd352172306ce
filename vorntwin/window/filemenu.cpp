#include "window/filemenu.h"

#include "sys/fileutil.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMessageBox>

FileMenu buildFileMenu(QWidget* owner)
{
    FileMenu m;
    m.menu = new QMenu(owner);
    m.cut = m.menu->addAction(QCoreApplication::translate("FileMenu", "剪切(&T)"));
    m.copy = m.menu->addAction(QCoreApplication::translate("FileMenu", "复制(&C)"));
    m.remove = m.menu->addAction(QCoreApplication::translate("FileMenu", "删除(&D)"));
    for (QAction* a : { m.cut, m.copy, m.remove })
        a->setStatusTip(a->text());
    return m;
}

void clipFiles(const QStringList& paths, bool copy)
{
    if (!paths.isEmpty())
        copyToClipboard(paths, copy);
}

bool confirmNoCopyKept(QWidget* parent, const QString& text)
{
    return QMessageBox::question(parent, QCoreApplication::translate("FileMenu", "确认"), text,
               QCoreApplication::translate("FileMenu", "是"), QCoreApplication::translate("FileMenu", "否"), QString(),
               1, 1)
        == 0;
}
