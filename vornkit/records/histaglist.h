#pragma once

#include "sys/vornkit_global.h"

#include <QString>
#include <QStringList>

#include <functional>

// The process-wide list of text tags offered for tagging and filtering, kept in [histag].
// Used on the GUI thread only.
class VORNKIT_EXPORT HisTagList {
public:
    // False when an equal tag (case-sensitive) is already there.
    static bool addHisTag(const QString& tag);
    static bool addHisTag(const QStringList& tags);
    static bool delHisTag(const QString& tag);
    static QStringList& getHisTags();
    static QString getHisTagsStr();
    // Replaces the list; later duplicates are dropped.
    static bool setHisTag(const QStringList& tags);
    // Appends the stored list, through the process's tag-database pool.
    static bool loadHisTag();
    // Reads the stored list on a pool thread and merges it in on the GUI thread (stored tags first), so that
    // start-up never waits for a database that another program holds; tries again while it cannot be read.
    // merged runs on the GUI thread once the list has changed that way.
    static void loadHisTagLater(std::function<void()> merged = {});
    // Start-up: the stored list at once when the database is free (the windows made next offer it from the
    // start), else as loadHisTagLater does.
    static void loadHisTagAtStart(std::function<void()> merged = {});
    // Replaces the stored list by this one, all or nothing. While the stored list was never read, it is read and
    // merged in first, so that tags the user never saw are not wiped; false when it cannot be read.
    static bool saveHisTag();

    static QStringList m_hisTags;

private:
    HisTagList() = default;
    ~HisTagList() = default;
    HisTagList(const HisTagList&) = default;
    HisTagList& operator=(const HisTagList&) = default;
};
