#pragma once

#include <QString>
#include <QStringList>

// Image types opened by this program, the freedesktop way: the desktop entry "vornel.desktop" in the user's
// applications folder, and the user's default applications ("[Default Applications]" of mimeapps.list in the
// user's configuration folder). An extension stands for its MIME type. The user's default that the program
// replaces is kept in the program's settings store and put back on undo. The results are 0, or -1 on failure;
// nothing is shown to the user.

// Makes the program the default for the extension's type. The user's default it replaces is kept; a type that
// is already the program's keeps the one kept when it was first taken over.
int associateFileType(const QString& ext);
// Gives the extension's type back to the kept default, or to none of the user's when none was kept. A type
// whose default is not the program's is left as it is.
int unassociateFileType(const QString& ext);
// Writes the desktop entry: the open command, the icon and the types the program is the default for.
int writeOpenCommand();
// The supported image formats (as the image reader names them) whose type opens with this program by default;
// all tells whether that is every supported format.
QStringList associatedFileTypes(bool& all);
// Whether the desktop entry's open command is this program's.
bool isOpenCommandOwn();

// Tells the desktop that the associations changed: update-desktop-database runs detached on the user's
// applications folder. False when the tool is not installed (then nothing is done).
bool notifyAssocChanged();

// "vornel.desktop".
QString assocDesktopId();
// The MIME type of an image format's extension; empty when the type is unknown.
QString assocMimeType(const QString& ext);
// The desktop entry's Exec value for a program path: the path quoted and escaped, then %f.
QString assocOpenCommand(const QString& programPath);
QString assocDesktopEntryPath();
QString assocMimeAppsPath();
