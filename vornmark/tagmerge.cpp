#include "tagmerge.h"

#include "records/tagutil.h"

namespace {

// 0 the database's value, 1 the file's, 2 unite, 3 intersect; the file's value counts only when it holds our tags.
template <class T, class Unite, class Intersect>
T merge(const T& db, const T& file, bool fileHasTags, int conflict, Unite unite, Intersect intersect)
{
    if (!fileHasTags)
        return db;
    switch (conflict) {
    case 1:
        return file;
    case 2:
        return unite(db, file);
    case 3:
        return intersect(db, file);
    default:
        return db;
    }
}

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
    return merge(
        db, file, fileHasTags, conflict, [](int a, int b) { return qMax(a, b); },
        [](int a, int b) { return qMin(a, b); });
}

QList<uint> TagMerge::mergeRgb(const QList<uint>& db, const QList<uint>& file, bool fileHasTags, int conflict)
{
    return merge(
        db, file, fileHasTags, conflict, [](const QList<uint>& a, const QList<uint>& b) { return UnionRgb(a, b); },
        [](const QList<uint>& a, const QList<uint>& b) { return IntersectionRgb(a, b); });
}

QStringList TagMerge::mergeText(const QStringList& db, const QStringList& file, bool fileHasTags, int conflict)
{
    return merge(
        db, file, fileHasTags, conflict, [](const QStringList& a, const QStringList& b) { return UnionTextTag(a, b); },
        [](const QStringList& a, const QStringList& b) { return IntersectionTextTag(a, b); });
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
