#pragma once

#include "sys/vornkit_global.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>

class QComboBox;
class QJsonObject;

// Paths inside the suite use "/" separators.
VORNKIT_EXPORT QString pathJoin(const QString& a, const QString& b);
VORNKIT_EXPORT QString pathJoin(const QString& a, const QString& b, const QString& c);
VORNKIT_EXPORT QString pathJoin(const QString& a, const QString& b, const QString& c, const QString& d);
VORNKIT_EXPORT QString ExtractFilePath(const QString& path);
VORNKIT_EXPORT QString ExtractFileName(const QString& path);
VORNKIT_EXPORT QString ExtractFileExt(const QString& path);
VORNKIT_EXPORT QString ExtractFileBaseName(const QString& path);
VORNKIT_EXPORT void stdFilePath(QString& path);
// The path once folder `from` is named `to`; path itself when it is neither from nor inside it (exact compare).
VORNKIT_EXPORT QString rebasePath(const QString& path, const QString& from, const QString& to);
// A name that can stand for one entry of a folder: not blank, "." or "..", and without "/" or NUL.
VORNKIT_EXPORT bool isValidFileName(const QString& name);
// Something already stands under the path; a dangling link counts too.
VORNKIT_EXPORT bool pathTaken(const QString& path);
VORNKIT_EXPORT void stdFilePath(QStringList& paths);

// What the disk tells about a path.
enum class PathPresence {
    Present, // something reachable stands under the name
    // Positive evidence that it is gone: its folder can be read (empty or not), or else the nearest existing
    // folder above can be read and holds an entry; that folder lies where no volume is away
    // (platform::onUnmountedVolume), and the name is not there.
    Gone,
    // Nothing to go by: that folder cannot be read, is a link whose target cannot be reached, or is empty above a
    // missing folder (an unlisted mount point), it lies where a volume is away (an unmounted volume's mount
    // point, a share not connected), the disk reports an error, or the name is a link whose target cannot be
    // reached.
    Unknown,
};
VORNKIT_EXPORT PathPresence pathPresence(const QString& path);
// The one rule for dropping what belongs to a file or folder (tag rows, thumbnails, favourites).
VORNKIT_EXPORT bool isFileGone(const QString& path);

// Name filters "*.ext", one per format Qt's image readers support.
VORNKIT_EXPORT QStringList supportedImages();
// The image files of one folder (no subfolders), by name as a file manager shows them: digits by their value,
// letters without regard to case. Stops early, with what it has, once *stop is set.
VORNKIT_EXPORT QStringList listImagesByName(const QString& folder, const std::atomic_bool* stop = nullptr);

VORNKIT_EXPORT QString calcFileSize(qint64 bytes);
VORNKIT_EXPORT QString calcImageSize(int width, int height);

// Files on the clipboard; copy false means cut.
VORNKIT_EXPORT bool copyToClipboard(const QString& file, bool copy);
VORNKIT_EXPORT bool copyToClipboard(const QStringList& files, bool copy);
// Shows a file (or opens a folder) in the file manager, detached.
VORNKIT_EXPORT bool explorerFilePos(const QString& path);
VORNKIT_EXPORT bool moveToTrash(QString path);
VORNKIT_EXPORT qint64 writeFile(QString file, QByteArray data);
// The settings file `name` in the program's profile folder, which is made when missing.
VORNKIT_EXPORT QString profileFile(const QString& name);
// The object a JSON file holds (empty for other JSON); false, obj untouched, when the file is missing, not a
// regular file or not JSON.
VORNKIT_EXPORT bool readJsonObject(const QString& path, QJsonObject& obj);
// Written beside and renamed over, so a failed write (a full disk) leaves the old file whole.
VORNKIT_EXPORT bool writeJsonObject(const QString& path, const QJsonObject& obj);
VORNKIT_EXPORT void setCurrentText(QComboBox& combo, const QString& text);
