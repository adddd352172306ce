#include "app/startup.h"

#include "app/appcfg.h"
#include "app/threadpools.h"
#include "db/sqlitedbpool.h"
#include "manager/standinwnd.h"
#include "records/histaglist.h"

#include <QDir>

bool openDbPools()
{
    createDbPools();
    // Read in the background: another program may hold the database.
    HisTagList::loadHisTagLater();
    return true;
}

void closeDbPools()
{
    destroyDbPools();
}

QWidget* openMainWindow(const QStringList& arguments)
{
    StandInWnd* wnd = StandInWnd::instance();
    if (!wnd)
        return nullptr;
    wnd->show();
    // A backslash is a file-name character here: the path goes on unchanged.
    if (arguments.size() >= 2)
        wnd->openFile(QDir::fromNativeSeparators(arguments.at(1)));
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
