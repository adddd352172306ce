#pragma once

// Helpers for the photo manager's tests (header only: the common library does not link the program).

#include "app/appcfg.h"
#include "app/threadpools.h"
#include "common/testutil.h"
#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "grid/iteminfo.h"
#include "grid/itemstorequeue.h"
#include "grid/mediaitem.h"
#include "grid/medialistview.h"
#include "grid/mediamodel.h"
#include "grid/tagfilewriter.h"
#include "manager/picmgr.h"
#include "meta/exivtags.h"
#include "meta/exivutil.h"
#include "records/filetagtb.h"

#include <QTest>

namespace testutil {

// The photo manager's globals for the life of the object: program folder, exiv2, settings, database and
// thread pools.
class VornelEnv {
public:
    VornelEnv()
    {
        initExiv2();
        AppCfg::instance(1);
        ok = createDbPools();
        createThreadPools();
    }
    ~VornelEnv()
    {
        TagFileWriter::finish(20000);
        ItemStoreQueue::finish(10000);
        destroyThreadPools();
        destroyDbPools();
        AppCfg::release();
    }
    ProgramDir program;
    bool ok = false;
};

inline ItemInfoPtr itemFor(const QString& path)
{
    ItemInfoPtr info(new ItemInfo());
    info->setFile(path);
    return info;
}

// What a test reads of an item that may be missing (its cell not listed, or not yet): empty when there is none.
inline QString starTextOf(const ItemInfoPtr& info)
{
    return info ? info->starText() : QString();
}

inline FileTagInfo tagRecordOf(const ItemInfoPtr& info)
{
    return info ? info->tagRecord() : FileTagInfo();
}

inline QString fileNameOf(const ItemInfoPtr& info)
{
    return info ? info->fileName() : QString();
}

// The item is there, its tags are loaded and no job of it is left.
inline bool tagsLoadedAndIdle(const ItemInfoPtr& info)
{
    return info && info->tagReady == 1 && !info->isBusy();
}

// An item for the file, loaded and with every job of it finished; null when it does not settle in time.
inline ItemInfoPtr loadedItem(const QString& path)
{
    ItemInfoPtr info = itemFor(path);
    if (info->load() != 0 || !QTest::qWaitFor([&] { return info->tagReady == 1 && !info->isBusy(); }, 20000))
        return ItemInfoPtr();
    return info;
}

// A photo carrying the suite's own tags, so it loads with exactly these; empty when it could not be made.
inline QString taggedPhoto(
    const TempDir& dir, const QString& name, int star, const QList<uint>& colours, const QStringList& texts)
{
    const QString path = makeImage(dir.path(), name, 64, 48);
    ExivTags tags;
    tags.setStar(star);
    tags.setRgb(colours);
    tags.setTextTag(texts);
    return !path.isEmpty() && tags.saveTagsToFile(path) == 0 ? path : QString();
}

// Whether the grid holds that many rows, each loaded with no job or write left, within 20 s.
inline bool waitLoaded(MediaListView* grid, int rows)
{
    MediaModel* model = grid->mediaModel();
    return QTest::qWaitFor(
        [&] {
            if (model->rowCount() != rows)
                return false;
            for (int row = 0; row < rows; ++row) {
                const ItemInfoPtr info = model->itemFromIndex(model->index(row, 0))->getInfo();
                if (info->tagReady != 1 || info->thumbReady != 1 || info->isBusy())
                    return false;
            }
            return true;
        },
        20000);
}

// The manager window as start-up makes it, shown and past its first paint; null when it does not get there.
inline PicMgr* shownManager()
{
    PicMgr* mgr = PicMgr::instance();
    mgr->show();
    if (!QTest::qWaitForWindowExposed(mgr) || !QTest::qWaitFor([mgr] { return mgr->getWndPaint(); }))
        return nullptr;
    QCoreApplication::sendPostedEvents(mgr, LessFrame::PaintedEvent);
    return mgr;
}

// The file's tag row as stored now; row id 0 when there is none (or it cannot be read).
inline FileTagInfo storedRow(const QString& file)
{
    FileTagInfo row;
    PooledDb<TagDb> db(tagDbPool);
    if (db)
        FileTagTb(db.get()).readFileTag(file, row);
    return row;
}

} // namespace testutil
