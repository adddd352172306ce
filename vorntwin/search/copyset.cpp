#include "search/copyset.h"

#include "sys/platform.h"

#include <QFile>

#include <cstring>
#include <vector>

namespace {

bool sameContent(const QString& a, const QString& b)
{
    QFile fa, fb;
    if (!platform::openRegularFile(fa, a) || !platform::openRegularFile(fb, b) || fa.size() != fb.size())
        return false;
    const qint64 chunk = 1 << 20;
    std::vector<char> da(chunk), db(chunk);
    for (;;) {
        const qint64 na = fa.read(da.data(), chunk);
        const qint64 nb = fb.read(db.data(), chunk);
        if (na < 0 || na != nb || std::memcmp(da.data(), db.data(), size_t(na)) != 0)
            return false;
        if (na == 0)
            return fa.atEnd() && fb.atEnd();
    }
}

} // namespace

bool CopySet::keepsCopy() const
{
    QVector<FileStamp> now;
    now.reserve(members.size());
    for (const Member& m : members)
        now << FileStamp::of(m.path);
    for (int i = 0; i < members.size(); ++i) {
        if (!members[i].leaving && members[i].stamp.isValid() && now[i] == members[i].stamp)
            return true;
    }
    // A copy touched since the search still counts when its bytes are those of an untouched leaving one.
    for (int k = 0; k < members.size(); ++k) {
        if (members[k].leaving || !now[k].isValid())
            continue;
        for (int l = 0; l < members.size(); ++l) {
            const Member& gone = members[l];
            if (!gone.leaving || !gone.stamp.isValid() || now[l] != gone.stamp || now[l].sameFile(now[k]))
                continue;
            if (sameContent(members[k].path, gone.path))
                return true;
        }
    }
    return false;
}

QVector<bool> CopySet::bareSets(const QVector<CopySet>& sets, const std::atomic_bool* cancel)
{
    QVector<bool> bare;
    bare.reserve(sets.size());
    for (const CopySet& set : sets) {
        if (cancel && cancel->load())
            break;
        bare << !set.keepsCopy();
    }
    return bare;
}
