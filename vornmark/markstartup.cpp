#include "markstartup.h"

#include "tagsynccfg.h"

#include "db/sqlitedbpool.h"
#include "records/histaglist.h"
#include "task/taskobject.h"

#include <QThreadPool>

void MarkStartup::start()
{
    registerTaskMetaTypes();
    TagSyncCfg::instance(0)->load();
    createDbPools();
    HisTagList::loadHisTagAtStart();
}

void MarkStartup::stop()
{
    // Every run has ended before its connections' pools go.
    QThreadPool::globalInstance()->waitForDone();
    destroyDbPools();
    if (TagSyncCfg::get())
        TagSyncCfg::get()->save();
    TagSyncCfg::release();
}
