#include "app/startup.h"

#include "app/appcfg.h"
#include "app/threadpools.h"
#include "app/windows.h"
#include "db/sqlitedb.h"
#include "db/sqlitedbpool.h"
#include "dialogs/askbox.h"
#include "grid/itemstorequeue.h"
#include "grid/tagfilewriter.h"
#include "manager/picmgr.h"
#include "panels/taginfoview.h"
#include "records/histaglist.h"
#include "sys/fileutil.h"
#include "sys/platform.h"
#include "viewer/picview.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QThreadPool>

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

QString unstoredLogFile()
{
    return pathJoin(platform::programDir(), QStringLiteral("profile/vornel.log"));
}

void reportUnstored(const QStringList& edits, SqliteDb::Fault fault)
{
    // The full list goes into a file the user can open after the program has gone; the log in memory goes with it.
    QString logFile = unstoredLogFile();
    const auto append = [&edits, fault](const QString& path) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::Append | QIODevice::Text))
            return false;
        QTextStream out(&file);
        out.setCodec("UTF-8");
        out << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
            << QStringLiteral(" 关闭时以下标签修改未能保存到数据库（%1）：\n").arg(SqliteDb::faultText(fault));
        for (const QString& edit : edits)
            out << "  " << edit << '\n';
        out.flush();
        return file.error() == QFile::NoError;
    };
    if (!append(logFile)) {
        logFile = QDir(QDir::tempPath()).filePath(QStringLiteral("vornel-unsaved-tags.log"));
        if (!append(logFile))
            logFile.clear();
    }
    qWarning("%d tag edits were not stored in the database before closing; listed in %s", int(edits.size()),
        logFile.isEmpty() ? "no file (none could be written)" : qPrintable(logFile));

    const int shown = qMin(10, edits.size());
    QString text = QStringLiteral("以下 %1 项标签修改未能保存到数据库（%2），重新打开程序后将看不到它们：\n\n")
                       .arg(edits.size())
                       .arg(SqliteDb::faultText(fault));
    text += QStringList(edits.mid(0, shown)).join(QLatin1Char('\n'));
    if (edits.size() > shown)
        text += QStringLiteral("\n……另有 %1 项").arg(edits.size() - shown);
    if (!logFile.isEmpty())
        text += QStringLiteral("\n\n完整列表已写入日志文件：\n%1").arg(logFile);
    if (AppCfg::current() && AppCfg::current()->tag.tagSaveToFile > 0)
        text += QStringLiteral("\n\n已写入照片文件的标签仍在文件中，可用“标签同步”存回数据库。");
    AskBox::info(nullptr, text);
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
    // The new rows still queued are made again next time; the one being written ends first, so that no edit is
    // left to a job that would end after the writes below.
    if (itemStorePool) {
        itemStorePool->clear();
        itemStorePool->waitForDone(-1);
    }
    QStringList unstored;
    ItemStoreQueue::finish(int(qMax<qint64>(0, kCloseDbWaitMs + 1000 - closing.elapsed())), &unstored);
    if (!unstored.isEmpty())
        reportUnstored(unstored, ItemStoreQueue::fault());
    // Reads still waiting (rows of items, the text-tag list) are not worth more waiting.
    SqliteDb::limitWaits(0);
    destroyThreadPools();
    closeDbPools();
    SqliteDb::limitWaits(-1);
    if (AppCfg* cfg = AppCfg::current())
        cfg->save();
    AppCfg::release();
}
