#pragma once

// Helpers for the photo tidier's tests (header only: the common library does not link the program).

#include "common/photomaker.h"
#include "common/testutil.h"
#include "tidycfg.h"

#include "meta/exivutil.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

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

// The program folder, exiv2 and a settings object for the life of the object; HOME and the XDG data folder (the
// trash) point into a temporary folder too.
class SortEnv {
public:
    SortEnv()
        : m_oldHome(qgetenv("HOME"))
        , m_oldData(qgetenv("XDG_DATA_HOME"))
        , m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
    {
        initExiv2();
        TidyCfg::instance(1);
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.file("share")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.file("config")));
    }
    ~SortEnv()
    {
        TidyCfg::release();
        qputenv("HOME", m_oldHome);
        qputenv("XDG_DATA_HOME", m_oldData);
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }
    QString trashFile(const QString& name) const { return home.file("share/Trash/files/" + name); }

    testutil::ProgramDir program;
    testutil::TempDir home;

private:
    QByteArray m_oldHome;
    QByteArray m_oldData;
    QByteArray m_oldConfig;
};

} // namespace sorttest
