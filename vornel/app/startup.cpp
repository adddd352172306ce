#include "app/startup.h"

#include "app/appcfg.h"
#include "app/threadpools.h"
#include "app/windows.h"
#include "db/sqlitedb.h"
#include "db/sqlitedbpool.h"
#include "grid/itemstorequeue.h"
#include "grid/tagfilewriter.h"
#include "manager/picmgr.h"
#include "panels/taginfoview.h"
#include "records/histaglist.h"
#include "sys/platform.h"
#include "viewer/picview.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

namespace {

// A text-tag list read late (another program held the database at start) reaches the windows already made.
void offerLateHisTags()
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        for (TagInfoView* panel : top->findChildren<TagInfoView*>())
            panel->refreshHisTags();
    }
}

} // namespace

bool openDbPools()
{
    createDbPools();
    HisTagList::loadHisTagAtStart(&offerLateHisTags);
    return true;
}

void closeDbPools()
{
    destroyDbPools();
}

QWidget* openMainWindow(const QStringList& arguments)
{
    QString problem;
    if (arguments.size() >= 2) {
        // A backslash is a file-name character here: the path goes on unchanged.
        const QString path = QDir::fromNativeSeparators(arguments.at(1));
        if (QFileInfo(path).isDir()) {
            // The manager opens the folder at its first paint.
            if (AppCfg* cfg = AppCfg::current())
                cfg->lastPath = QFileInfo(path).absoluteFilePath();
        } else {
            problem = fileArgumentProblem(path);
            if (problem.isEmpty())
                return openViewerOn(path);
        }
    }
    PicMgr* wnd = PicMgr::instance();
    if (!wnd)
        return nullptr;
    wnd->show();
    if (!problem.isEmpty())
        showProblem(wnd, problem);
    return wnd;
}

QString fileArgumentProblem(const QString& path)
{
    // A link counts by its target: a dangling one is missing, one to a FIFO or a device is no file to show.
    if (!QFileInfo::exists(path))
        return QStringLiteral("文件不存在：\n%1").arg(path);
    if (!platform::isRegularFile(path))
        return QStringLiteral("无法打开，这不是一个普通文件：\n%1").arg(path);
    return QString();
}

void shutDown()
{
    // Closing never waits long for a database that another program holds: no wait lasts past this, and the tag
    // edits still queued by then are named in the log.
    QElapsedTimer closing;
    closing.start();
    SqliteDb::limitWaits(kCloseDbWaitMs);
    // Writes into the photos first: each ends by refreshing its row.
    TagFileWriter::finish(kCloseFileWaitMs);
    ItemStoreQueue::finish(int(qMax<qint64>(0, kCloseDbWaitMs + 1000 - closing.elapsed())));
    // Reads still waiting (rows of items, the text-tag list) are not worth more waiting.
    SqliteDb::limitWaits(0);
    destroyThreadPools();
    closeDbPools();
    SqliteDb::limitWaits(-1);
    if (AppCfg* cfg = AppCfg::current())
        cfg->save();
    AppCfg::release();
}
