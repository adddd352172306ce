#include "grid/rowmove.h"

#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "db/thumbdb.h"
#include "records/bookmarktb.h"
#include "records/filetagtb.h"
#include "records/imagecachetb.h"

#include <QFileInfo>

#include <atomic>
#include <memory>

ItemStoreQueue::Result RowMove::run(Kind kind, const QString& oldPath, const QString& newPath)
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
    auto tries = std::make_shared<std::atomic<int>>(0);
    ItemStoreQueue::post(
        describe(oldPath, newPath),
        [kind, oldPath, newPath, tries] {
            ++*tries;
            return run(kind, oldPath, newPath);
        },
        [done, tries](bool stored) {
            if (done)
                done(stored, *tries > 1);
        });
}

QString RowMove::describe(const QString& oldPath, const QString& newPath)
{
    return QStringLiteral("%1：改名为 %2").arg(oldPath, newPath);
}
