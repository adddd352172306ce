#include "app/windows.h"

#include "dialogs/askbox.h"
#include "manager/picmgr.h"
#include "sys/platform.h"
#include "viewer/picview.h"

#include <QMessageBox>
#include <QWidget>

GridViewer* viewerWindow()
{
    return PicView::instance();
}

CanvasManager* managerWindow()
{
    return PicMgr::instance();
}

QWidget* openViewerOn(const QString& filePath)
{
    PicView* view = PicView::instance();
    if (!view)
        return nullptr;
    view->show();
    view->selectFile(filePath);
    return view;
}

void bringForward(QWidget* wnd)
{
    if (!wnd)
        return;
    // A window keeps its maximised flag while minimised: clearing the minimised one restores it as it was.
    if (wnd->isMinimized())
        wnd->setWindowState(wnd->windowState() & ~Qt::WindowMinimized);
    wnd->show();
    wnd->raise();
    wnd->activateWindow();
}

bool startToolOrTell(QWidget* parent, const QString& tool)
{
    if (platform::startTool(tool))
        return true;
    AskBox::info(parent, QStringLiteral("启动进程失败！\n%1。").arg(platform::toolPath(tool)));
    return false;
}

void showProblem(QWidget* parent, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("提示"), text, QMessageBox::NoButton, parent);
    box->addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
