#include "search/actionbatch.h"

#include "sys/filecopier.h"
#include "sys/fileutil.h"

#include <QFile>

QVector<ActionBatch::Outcome> ActionBatch::run(int code, const QVector<bool>& bareAllowed) const
{
    QVector<QVector<int>> bySet(sets.size());
    for (int i = 0; i < files.size(); ++i) {
        if (files[i].set >= 0)
            bySet[files[i].set] << i;
    }
    QVector<Outcome> outcomes(files.size(), Failed);
    QVector<bool> setDone(sets.size(), false);
    for (int i = 0; i < files.size(); ++i) {
        const int set = files[i].set;
        if (set < 0) {
            outcomes[i] = handle(code, files[i]);
            continue;
        }
        if (setDone[set])
            continue;
        setDone[set] = true;
        // A copy kept may have changed while the sets before this one were handled.
        const bool keeps = code == 2 || bareAllowed.value(set) || sets[set].keepsCopy();
        for (int j : qAsConst(bySet[set]))
            outcomes[j] = keeps ? handle(code, files[j]) : CopyChanged;
    }
    return outcomes;
}

ActionBatch::Outcome ActionBatch::handle(int code, const File& file) const
{
    // Only what the search saw is moved or removed: a file written since may hold the only copy of something new.
    if (code != 2 && FileStamp::of(file.source) != file.stamp)
        return isFileGone(file.source) ? Gone : Changed;
    QString why;
    bool done = false;
    switch (code) {
    case 1:
        done = FileCopier::moveFile(file.source, file.target, &why) == FileCopier::Published;
        break;
    case 2:
        done = FileCopier::copyFile(file.source, file.target, false, &why) == FileCopier::Published;
        break;
    case 3:
        done = moveToTrash(file.source);
        break;
    case 4:
        done = QFile::remove(file.source);
        break;
    default:
        break;
    }
    if (done)
        return Done;
    // Another program may have taken it away after the check.
    if (isFileGone(file.source))
        return Gone;
    if (!why.isEmpty())
        qWarning("%s: %s", qUtf8Printable(file.source), qUtf8Printable(why));
    return Failed;
}
