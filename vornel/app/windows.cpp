#include "app/windows.h"

#include "dialogs/askbox.h"
#include "manager/standinwnd.h"
#include "sys/platform.h"
#include "viewer/picview.h"

#include <QWidget>

GridViewer* viewerWindow()
{
    return PicView::instance();
}

CanvasManager* managerWindow()
{
    return StandInWnd::instance();
}

void bringForward(QWidget* wnd)
{
    if (wnd->isMinimized())
        wnd->setWindowState(wnd->windowState() & ~Qt::WindowMinimized);
    wnd->show();
    wnd->raise();
    wnd->activateWindow();
}

bool startToolFrom(QWidget* parent, const QString& tool)
{
    if (platform::startTool(tool))
        return true;
    AskBox::info(parent, QStringLiteral("启动进程失败！\n%1。").arg(platform::toolPath(tool)));
    return false;
}
