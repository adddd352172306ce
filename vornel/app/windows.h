#pragma once

#include <QString>

class CanvasManager;
class GridViewer;
class QWidget;

// The photo manager's two top-level windows as each sees the other: made (not shown) when there is none.
GridViewer* viewerWindow();
CanvasManager* managerWindow();

// Shows a window and raises it; a minimised one comes back as it was before (normal or maximised).
void bringForward(QWidget* wnd);

// Starts a tool ("vornsort", "vorntwin", "vornmark") beside the program; when it cannot be started, says so in a
// box parented to parent. Returns whether it started.
bool startToolFrom(QWidget* parent, const QString& tool);
