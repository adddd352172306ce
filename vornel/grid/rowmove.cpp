#include "grid/rowmove.h"

#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "db/thumbdb.h"
#include "records/bookmarktb.h"
#include "records/filetagtb.h"
#include "records/imagecachetb.h"
#include "sys/fileutil.h"

#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <vector>

namespace {

// Folder moves queued whose tag rows have not followed yet, oldest first.
struct Waiting {
    quint64 id;
    QString from;
    QString to;
};

struct WaitingMoves {
    QMutex mutex;
    std::vector<Waiting> moves;
    quint64 lastId = 0;
};

WaitingMoves& waitingMoves()
{
    static WaitingMoves w;
    return w;
}

quint64 hold(const QString& from, const QString& to)
{
    WaitingMoves& w = waitingMoves();
    QMutexLocker lock(&w.mutex);
    w.moves.push_back({ ++w.lastId, from, to });
    return w.lastId;
}

void letGo(quint64 id)
{
    if (id == 0)
        return;
    WaitingMoves& w = waitingMoves();
    QMutexLocker lock(&w.mutex);
    for (auto it = w.moves.begin(); it != w.moves.end(); ++it) {
        if (it->id == id) {
            w.moves.erase(it);
            return;
        }
    }
}

} // namespace

ItemStoreQueue::Result RowMove::run(Kind kind, const QString& oldPath, const QString& newPath, quint64 held)
{
    const bool file = kind == Kind::File;
    const QString folder = QFileInfo(newPath).absolutePath();
    SqliteDb::Fault fault = SqliteDb::Fault::None;
    {
        // Each table on its own: one failing never keeps the other from following. Both are tried again until
        // they went through; a second run finds nothing left under the old path.
        PooledDb<TagDb> db(tagDbPool);
        if (!db)
            return { ItemStoreQueue::Outcome::Retry, SqliteDb::Fault::Other };
        FileTagTb tags(db.get());
        BookMarkTb marks(db.get());
        const bool tagsMoved = file ? tags.updateFile(oldPath, newPath, folder) : tags.updateFolder(oldPath, newPath);
        // From here on the rows are under the new path.
        if (tagsMoved)
            letGo(held);
        const bool marksMoved = file ? marks.updateFile(oldPath, newPath) : marks.updateFolder(oldPath, newPath);
        if (!tagsMoved)
            fault = tags.lastFault();
        else if (!marksMoved)
            fault = marks.lastFault();
        if (!tagsMoved || !marksMoved)
            return { ItemStoreQueue::Outcome::Retry, fault == SqliteDb::Fault::None ? SqliteDb::Fault::Other : fault };
    }
    // Once: a cache row that stays under the old name is made again for the new one.
    PooledDb<ThumbDb> db(thumbDbPool);
    if (db) {
        ImageCacheTb cache(db.get());
        if (file)
            cache.updateFile(oldPath, newPath, folder);
        else
            cache.updateFolder(oldPath, newPath);
    }
    return { ItemStoreQueue::Outcome::Stored, SqliteDb::Fault::None };
}

void RowMove::post(Kind kind, const QString& oldPath, const QString& newPath, Done done)
{
    const quint64 held = kind == Kind::Folder ? hold(oldPath, newPath) : 0;
    ItemStoreQueue::post(
        describe(oldPath, newPath), [kind, oldPath, newPath, held] { return run(kind, oldPath, newPath, held); },
        [done, held](bool stored) {
            // Dropped at shut-down: nothing is written after it.
            letGo(held);
            if (done)
                done(stored);
        });
}

QString RowMove::describe(const QString& oldPath, const QString& newPath)
{
    return QStringLiteral("%1：改名为 %2").arg(oldPath, newPath);
}

QString RowMove::rowPath(const QString& path)
{
    WaitingMoves& w = waitingMoves();
    QMutexLocker lock(&w.mutex);
    QString at = path;
    for (auto it = w.moves.rbegin(); it != w.moves.rend(); ++it)
        at = rebasePath(at, it->to, it->from);
    return at;
}
