#pragma once

#include <QStringList>

class QAction;
class QMenu;
class QWidget;

// The context menu that the result tree and the thumbnail list share: cut, copy and delete of the selected files.
struct FileMenu {
    QMenu* menu = nullptr;
    QAction* cut = nullptr;
    QAction* copy = nullptr;
    QAction* remove = nullptr;
};

FileMenu buildFileMenu(QWidget* owner);
// Puts the files on the clipboard (copy false: cut); nothing when there is none.
void clipFiles(const QStringList& paths, bool copy);
// Asks before an action that leaves no copy of some photo; "否" is the default and the escape. True to go on.
bool confirmNoCopyKept(QWidget* parent, const QString& text);
