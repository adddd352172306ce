#pragma once

#include "db/sqlitedb.h"

#include <QStringList>

class QWidget;

// Creates the tag and thumbnail database pools when missing, opens their first connections and loads the text-tag
// list (in the background when another program holds the database). Returns true.
bool openDbPools();
void closeDbPools();

// Shows the manager window, or with a file argument the viewer on that file (its folder listed); null when none
// could be shown. A folder argument is listed in the manager; a missing file or one that is not a regular file is
// refused there with a message.
QWidget* openMainWindow(const QStringList& arguments);

// Why the file given on the command line cannot be shown; empty when it can. Never opens it.
QString fileArgumentProblem(const QString& path);

// How long closing may wait for a database that another program holds, and for the writes into photos.
constexpr int kCloseDbWaitMs = 8000;
constexpr int kCloseFileWaitMs = 4000;

// Where the tag edits left unstored at close are listed.
QString unstoredLogFile();
// Names the tag edits that could not be stored to the user (a message box) and lists them in the log file.
void reportUnstored(const QStringList& edits, SqliteDb::Fault fault);

// After the event loop: the queued writes into photos and tag rows (for a bounded time), thread pools, database
// pools, the settings file. Edits still not stored by then are named to the user (reportUnstored).
void shutDown();
