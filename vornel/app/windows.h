#pragma once

#include <QString>

class CanvasManager;
class GridViewer;
class QWidget;

// The photo manager's two top-level windows as each sees the other: made (not shown) when there is none.
GridViewer* viewerWindow();
CanvasManager* managerWindow();

// Start-up with a file argument: the viewer on that photo, its folder listed so that stepping works; null when
// there is none.
QWidget* openViewerOn(const QString& filePath);

// Shows, raises and activates a top-level window; a minimised one comes back as it was before (normal or
// maximised).
void bringForward(QWidget* wnd);

// Starts a tool beside the program; when that fails, tells the user which file could not be started.
bool startToolOrTell(QWidget* parent, const QString& tool);

// Tells the user, without waiting, why something could not be opened: a "提示" box over the window.
void showProblem(QWidget* parent, const QString& text);
