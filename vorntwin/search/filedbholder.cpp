#include "search/filedbholder.h"

#include "search/filedb.h"

namespace {

FileDbHolder* g_holder = nullptr;

} // namespace

FileDbHolder::FileDbHolder() = default;

FileDbHolder::~FileDbHolder() = default;

FileDbHolder* FileDbHolder::create()
{
    if (!g_holder)
        g_holder = new FileDbHolder();
    QMutexLocker lock(&g_holder->m_mutex);
    g_holder->m_dbFile = QStringLiteral(":memory:");
    g_holder->m_prefix = QStringLiteral("vorntwin.db");
    g_holder->m_noMkpath = true;
    if (!g_holder->m_db) {
        const QString name = g_holder->m_prefix + QString::number(g_holder->m_serial++);
        g_holder->m_db = std::make_unique<FileDb>();
        g_holder->m_db->openDb(g_holder->m_dbFile, name, g_holder->m_noMkpath);
    }
    return g_holder;
}

FileDbHolder* FileDbHolder::get()
{
    return g_holder;
}

void FileDbHolder::destroy()
{
    if (!g_holder)
        return;
    {
        QMutexLocker lock(&g_holder->m_mutex);
        g_holder->m_db.reset();
    }
    delete g_holder;
    g_holder = nullptr;
}

FileDb* FileDbHolder::fileDb()
{
    return g_holder ? g_holder->m_db.get() : nullptr;
}
