#include "records/tagmerge.h"

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
    const Rules& rules, const Values& db, const Values& file, bool fileHasTags, Values& rowOut, Values& fileOut)
{
    rowOut = db;
    fileOut = file;
    applyKind(rules.colour.on, rules.colour.direction, fileHasTags, db.rgb, file.rgb, rowOut.rgb, fileOut.rgb,
        [&](const QList<uint>& d, const QList<uint>& f) { return mergeRgb(d, f, fileHasTags, rules.colour.conflict); });
    applyKind(rules.star.on, rules.star.direction, fileHasTags, db.star, file.star, rowOut.star, fileOut.star,
        [&](int d, int f) { return mergeStar(d, f, fileHasTags, rules.star.conflict); });
    applyKind(rules.text.on, rules.text.direction, fileHasTags, db.text, file.text, rowOut.text, fileOut.text,
        [&](const QStringList& d, const QStringList& f) { return mergeText(d, f, fileHasTags, rules.text.conflict); });
}

namespace {

// One list kind: the photo's where the edits left it alone, the edit's where the photo still holds the base.
template <class T> T editedList(const T& base, const T& mine, const T& now)
{
    if (mine == base)
        return now;
    if (now == base)
        return mine;
    // Both changed: the edit's list without what the photo's other writer removed, then what it added.
    T out;
    for (const auto& v : mine) {
        if (!base.contains(v) || now.contains(v))
            out.append(v);
    }
    for (const auto& v : now) {
        if (!base.contains(v) && !out.contains(v))
            out.append(v);
    }
    return out;
}

} // namespace

TagMerge::Values TagMerge::mergeEdit(const Values& base, const Values& mine, const Values& now, bool nowHasTags)
{
    if (!nowHasTags)
        return mine;
    Values out;
    // Star: the edit where it changed (database rule), else the photo's (file rule).
    out.star = mergeStar(mine.star, now.star, true, mine.star != base.star ? 0 : 1);
    out.rgb = editedList(base.rgb, mine.rgb, now.rgb);
    out.text = editedList(base.text, mine.text, now.text);
    return out;
}
