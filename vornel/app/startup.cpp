#include "app/startup.h"

#include "app/appcfg.h"
#include "app/threadpools.h"
#include "app/windows.h"
#include "db/sqlitedbpool.h"
#include "manager/picmgr.h"
#include "records/histaglist.h"

#include <QDir>

bool openDbPools()
{
    createDbPools();
    HisTagList::loadHisTag();
    return true;
}

void closeDbPools()
{
    destroyDbPools();
}

QWidget* openMainWindow(const QStringList& arguments)
{
    // A backslash is a file-name character here: the path goes on unchanged.
    if (arguments.size() >= 2)
        return openViewerOn(QDir::fromNativeSeparators(arguments.at(1)));
    PicMgr* wnd = PicMgr::instance();
    if (!wnd)
        return nullptr;
    wnd->show();
    return wnd;
}

void shutDown()
{
    destroyThreadPools();
    closeDbPools();
    if (AppCfg* cfg = AppCfg::current())
        cfg->save();
    AppCfg::release();
}
