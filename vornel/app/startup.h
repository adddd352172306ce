#pragma once

#include <QStringList>

class QWidget;

// Creates the tag and thumbnail database pools when missing, opens their first connections and starts loading the
// text-tag list in the background. Returns true.
bool openDbPools();
void closeDbPools();

// Shows the main window, or with a path argument the window that opens that file; null when none could be shown.
QWidget* openMainWindow(const QStringList& arguments);

// How long closing may wait for a database that another program holds.
constexpr int kCloseDbWaitMs = 8000;

// After the event loop: the queued tag writes (for a bounded time), thread pools, database pools, the settings file.
void shutDown();
