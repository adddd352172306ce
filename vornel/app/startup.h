#pragma once

#include <QStringList>

class QWidget;

// Creates the tag and thumbnail database pools when missing, opens their first connections and loads the
// text-tag list. Returns true.
bool openDbPools();
void closeDbPools();

// Shows the main window, or with a path argument the window that opens that file; null when none could be shown.
QWidget* openMainWindow(const QStringList& arguments);

// After the event loop: thread pools, then database pools, then the settings file.
void shutDown();
