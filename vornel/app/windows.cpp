#include "app/windows.h"

#include "dialogs/askbox.h"
#include "manager/picmgr.h"
#include "sys/platform.h"
#include "viewer/standinview.h"

#include <QFileInfo>
#include <QMessageBox>

GridViewer* viewerWindow()
{
    return StandInView::instance();
}

QWidget* openViewerOn(const QString& filePath)
{
    // The manager lists the file's folder; the viewer shows the file.
    PicMgr* mgr = PicMgr::instance();
    if (!mgr)
        return nullptr;
    mgr->show();
    mgr->selectFile(QFileInfo(filePath).absoluteFilePath());
    GridViewer* viewer = viewerWindow();
    if (!viewer || !viewer->viewerWidget())
        return nullptr;
    viewer->viewerWidget()->show();
    viewer->selectFile(filePath);
    return viewer->viewerWidget();
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
