#include "records/histaglist.h"

#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "records/histagtb.h"
#include "records/tagutil.h"

QStringList HisTagList::m_hisTags;

bool HisTagList::addHisTag(const QString& tag)
{
    if (m_hisTags.contains(tag, Qt::CaseSensitive))
        return false;
    m_hisTags.append(tag);
    return true;
}

bool HisTagList::addHisTag(const QStringList& tags)
{
    for (const QString& t : tags)
        addHisTag(t);
    return true;
}

bool HisTagList::delHisTag(const QString& tag)
{
    return m_hisTags.removeAll(tag) > 0;
}

QStringList& HisTagList::getHisTags()
{
    return m_hisTags;
}

QString HisTagList::getHisTagsStr()
{
    return StringListToStr(m_hisTags);
}

bool HisTagList::setHisTag(const QStringList& tags)
{
    m_hisTags.clear();
    return addHisTag(tags);
}

bool HisTagList::loadHisTag()
{
    PooledDb<TagDb> db(tagDbPool);
    return HisTagTb(db.get()).readHisTag(m_hisTags);
}

bool HisTagList::saveHisTag()
{
    PooledDb<TagDb> db(tagDbPool);
    return HisTagTb(db.get()).saveHisTag(m_hisTags);
}
