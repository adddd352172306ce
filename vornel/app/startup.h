#pragma once

#include <QStringList>

class QWidget;

// Creates the tag and thumbnail database pools when missing, opens their first connections and loads the
// text-tag list. Returns true.
bool openDbPools();
void closeDbPools();

// Shows the main window, or with a path argument the window that opens that file; null when none could be shown.
// A folder argument is listed; a missing file or one that is not a regular file is refused with a message.
QWidget* openMainWindow(const QStringList& arguments);

// Why the file given on the command line cannot be shown; empty when it can. Never opens it.
QString fileArgumentProblem(const QString& path);

// After the event loop: thread pools, then database pools, then the settings file.
void shutDown();
