#pragma once

// Helpers for the photo manager's tests (header only: the common library does not link the program).

#include "app/appcfg.h"
#include "app/threadpools.h"
#include "common/testutil.h"
#include "db/sqlitedbpool.h"
#include "grid/iteminfo.h"
#include "grid/itemstorequeue.h"
#include "grid/tagfilewriter.h"
#include "meta/exivutil.h"

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

// An item for the file, loaded and with every job of it finished; null when it does not settle in time.
inline ItemInfoPtr loadedItem(const QString& path)
{
    ItemInfoPtr info = itemFor(path);
    if (info->load() != 0 || !QTest::qWaitFor([&] { return info->tagReady == 1 && !info->isBusy(); }, 20000))
        return ItemInfoPtr();
    return info;
}

} // namespace testutil
