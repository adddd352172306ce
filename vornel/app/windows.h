#pragma once

#include <QString>

class GridViewer;
class QWidget;

// The viewer window the grid hands its pictures to, made (not shown) when there is none.
GridViewer* viewerWindow();

// Start-up with a file argument: shows the window that opens that file; null when there is none.
QWidget* openViewerOn(const QString& filePath);

// Shows, raises and activates a top-level window; a minimised one comes back as it was before (normal or
// maximised).
void bringForward(QWidget* wnd);

// Starts a tool beside the program; when that fails, tells the user which file could not be started.
bool startToolOrTell(QWidget* parent, const QString& tool);

// Tells the user, without waiting, why something could not be opened: a "提示" box over the window.
void showProblem(QWidget* parent, const QString& text);
