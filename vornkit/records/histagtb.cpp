#include "records/histagtb.h"

#include <QSqlQuery>
#include <QVariant>

HisTagTb::HisTagTb(SqliteDb* sdb)
    : SqliteTb(sdb)
{
}

HisTagTb::~HisTagTb() = default;

bool HisTagTb::readHisTag(QStringList& out)
{
    QSqlQuery q(db());
    q.setForwardOnly(true);
    if (!q.exec("select [name] from [histag]"))
        return false;
    while (q.next())
        out.append(q.value(0).toString());
    return true;
}

bool HisTagTb::truncateHisTag()
{
    QSqlQuery q(db());
    return q.exec("delete from [histag]");
}

bool HisTagTb::saveHisTag(const QStringList& tags)
{
    // Take the write lock up front: a busy database then fails here (after the busy timeout),
    // not halfway through with a transaction left open.
    {
        QSqlQuery begin(db());
        if (!begin.exec("BEGIN IMMEDIATE"))
            return false;
    }
    auto rollback = [this] {
        QSqlQuery q(db());
        q.exec("ROLLBACK");
    };
    if (!truncateHisTag()) {
        rollback();
        return false;
    }
    for (const QString& tag : tags) {
        QSqlQuery q(db());
        q.prepare("insert into [histag] ([name]) values (?)");
        q.addBindValue(tag);
        q.exec();
    }
    QSqlQuery commit(db());
    if (!commit.exec("COMMIT")) {
        rollback();
        return false;
    }
    return true;
}
