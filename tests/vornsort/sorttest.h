#pragma once

// Helpers for the photo tidier's tests (header only: the common library does not link the program).

#include "common/photomaker.h"
#include "common/testutil.h"
#include "tidycfg.h"

#include "meta/exivutil.h"

#include <QDir>
#include <QDirIterator>

namespace sorttest {

// A small photo; with its Exif date taken when date is not empty ("2021:02:03 04:05:06").
inline QString photo(const QString& dir, const QString& name, const QString& date = QString())
{
    QDir().mkpath(dir);
    const QString path = photomaker::makePhoto(dir, name, false, 48, 32);
    if (path.isEmpty()
        || (!date.isEmpty() && !photomaker::setMetadata(path, { { "Exif.Photo.DateTimeOriginal", date } })))
        return QString();
    return path;
}

// Settings that tidy src into dst by date taken, without a date range, keeping the sources.
inline TidyCfg cfgFor(const QString& src, const QString& dst, const QString& format = "yyyy/MM/dd")
{
    TidyCfg cfg;
    cfg.SrcPath = src;
    cfg.DstPath = dst;
    cfg.PathRuleTime = TidyCfg::CustomRule;
    cfg.PathRuleTimeStr = format;
    cfg.LimitDateRange = false;
    cfg.FileModTimeSrc = TidyCfg::TakeTime;
    return cfg;
}

// Relative paths of every file below dir (hidden ones and FIFOs too; links not followed), sorted.
inline QStringList filesBelow(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(dir).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The program folder, exiv2, a settings object and a scratch home, whose data folder holds the trash, for the
// life of the object.
class SortEnv {
public:
    SortEnv()
    {
        initExiv2();
        TidyCfg::instance(1);
    }
    ~SortEnv() { TidyCfg::release(); }
    QString trash() const { return home.data() + "/Trash/files"; }

    testutil::ProgramDir program;
    testutil::XdgHome home;
};

} // namespace sorttest
