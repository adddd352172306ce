#include "widgets/menuutil.h"

#include <QAction>
#include <QMenu>

QAction* addMenuAction(QMenu* menu, const QString& text, const QString& tip)
{
    QAction* action = menu->addAction(text);
    action->setStatusTip(tip.isEmpty() ? text : tip);
    return action;
}
