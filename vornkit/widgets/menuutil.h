#pragma once

#include "sys/vornkit_global.h"

#include <QString>

class QAction;
class QMenu;

// A menu entry whose status tip is its text, or tip when one is given.
VORNKIT_EXPORT QAction* addMenuAction(QMenu* menu, const QString& text, const QString& tip = QString());
