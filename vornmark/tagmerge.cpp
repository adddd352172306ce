#include "tagmerge.h"

#include "records/tagutil.h"

namespace {

template <class T, class Merge>
void applyKind(bool on, int direction, bool fileHasTags, const T& db, const T& file, T& rowOut, T& fileOut, Merge merge)
{
    if (!on || (direction == 2 && !fileHasTags))
        return;
    const T merged = merge(db, file);
    if (direction != 2)
        fileOut = merged;
    if (direction != 1)
        rowOut = merged;
}

} // namespace

int TagMerge::mergeStar(int db, int file, bool fileHasTags, int conflict)
{
    if (!fileHasTags)
        return db;
    switch (conflict) {
    case 1:
        return file;
    case 2:
        return qMax(db, file);
    case 3:
        return qMin(db, file);
    default:
        return db;
    }
}

QList<uint> TagMerge::mergeRgb(const QList<uint>& db, const QList<uint>& file, bool fileHasTags, int conflict)
{
    if (!fileHasTags)
        return db;
    switch (conflict) {
    case 1:
        return file;
    case 2:
        return UnionRgb(db, file);
    case 3:
        return IntersectionRgb(db, file);
    default:
        return db;
    }
}

QStringList TagMerge::mergeText(const QStringList& db, const QStringList& file, bool fileHasTags, int conflict)
{
    if (!fileHasTags)
        return db;
    switch (conflict) {
    case 1:
        return file;
    case 2:
        return UnionTextTag(db, file);
    case 3:
        return IntersectionTextTag(db, file);
    default:
        return db;
    }
}

void TagMerge::apply(
    const TagSyncCfg::Tag& cfg, const Values& db, const Values& file, bool fileHasTags, Values& rowOut, Values& fileOut)
{
    rowOut = db;
    fileOut = file;
    applyKind(cfg.ColorSync, cfg.ColorSyncTactics, fileHasTags, db.rgb, file.rgb, rowOut.rgb, fileOut.rgb,
        [&](const QList<uint>& d, const QList<uint>& f) {
            return mergeRgb(d, f, fileHasTags, cfg.ColorConflictTactics);
        });
    applyKind(cfg.StarSync, cfg.StarSyncTactics, fileHasTags, db.star, file.star, rowOut.star, fileOut.star,
        [&](int d, int f) { return mergeStar(d, f, fileHasTags, cfg.StarConflictTactics); });
    applyKind(cfg.TextTagSync, cfg.TextTagSyncTactics, fileHasTags, db.text, file.text, rowOut.text, fileOut.text,
        [&](const QStringList& d, const QStringList& f) {
            return mergeText(d, f, fileHasTags, cfg.TextTagConflictTactics);
        });
}
