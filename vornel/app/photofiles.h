#pragma once

#include "grid/iteminfo.h"
#include "grid/rowmove.h"

#include <QObject>
#include <QStringList>

class QWidget;

// Trashes and renames photo files for the grid and the viewer's strip alike, and tells both windows what changed on
// disk, so that a row whose file left (trashed, or gone by other hands) leaves both windows at once and a renamed
// file is shown by its new name in both. One instance per process, on the GUI thread.
class PhotoFiles : public QObject {
    Q_OBJECT
public:
    static PhotoFiles* instance();

    // What became of files sent to the trash.
    struct Trashed {
        QStringList went; // in the trash now
        QStringList gone; // already not there
        QStringList failed; // still in place
    };

    // Moves the files to the trash; the ones trashed or already gone are announced as removed. When some could
    // not be moved, or were gone already, a box over parent names them. Returns the files announced.
    QStringList trash(QWidget* parent, const QStringList& paths);
    // Moves the files to the trash without a word.
    Trashed trashQuietly(const QStringList& paths);
    // The words naming the files that stayed and those that were already gone; empty when all went.
    static QString trashProblems(const Trashed& result);

    // Renames the item's file within its folder and announces it; returns the words refusing the name or telling
    // why the rename failed, empty when the file was renamed (or the name is its own). A file surely gone is
    // announced as removed.
    QString rename(const ItemInfoPtr& info, const QString& name);

    // A folder was renamed (in the folder tree): its rows follow on the store queue, after the edits queued before,
    // and both windows are told, so that their items of the files inside, at any depth, take the new path at once.
    void followFolder(const QString& oldPath, const QString& newPath, RowMove::Done done);

    // Looks on the global pool for the files that are surely gone (isFileGone), and announces those as removed;
    // the files of a volume that is away, or of a folder that does not answer, stay.
    void sweep(const QStringList& paths);

signals:
    void filesRemoved(const QStringList& paths);
    // The item's file was renamed: it now stands for the file under its new name.
    void fileRenamed(const QString& oldPath, const ItemInfoPtr& info);
    void folderRenamed(const QString& oldPath, const QString& newPath);

private:
    PhotoFiles() = default;
};
