#pragma once

#include "sys/cfgholder.h"

#include <QString>

// The folder format text of a fixed format index (0 to 13); empty for any other index, the custom one included.
QString pathRuleFormat(int index);

// The photo tidier's settings, kept in "profile/vornsort.cfg" under the program folder. One object per process;
// a run works on a copy taken when it starts, so the window may change the object while a run works.
class TidyCfg : public CfgHolder<TidyCfg> {
public:
    // Date sources for a folder or a copy's time.
    enum TimeSrc { TakeTime = 0, SrcModTime = 1, SrcCreateTime = 2, NowTime = 3 };
    // What to do when the target file exists.
    enum FileExists { ExistsSkip = 0, ExistsRename = 1, ExistsReplace = 2 };
    static constexpr int CustomRule = 14;

    TidyCfg();

    static QString cfgFile();

    // Reads the file: 0 when read, -1 when it cannot be opened or does not parse (values then stay). A key that is
    // missing or of the wrong type takes its default.
    int load();
    // Writes the whole file beside and renames it over the old one; -1 when that fails.
    int save() const;

    // True when a plan made with other would place and time every file as one made with this: the settings that
    // an execution reads alone (FileExistsOpt, KeepSrcFile) do not count.
    bool samePlan(const TidyCfg& other) const;

    QString LastPath;
    QString SrcPath;
    QString DstPath;
    int PathRuleTimeSrc = TakeTime;
    int PathRuleTime = 0;
    QString PathRuleTimeStr;
    int FileExistsOpt = ExistsSkip;
    int FileModTimeSrc = SrcModTime;
    int FileCreateTimeSrc = SrcCreateTime;
    bool LimitDateRange = true;
    QString StartDate = QStringLiteral("2000-01-01");
    QString EndDate;
    bool KeepSrcFile = true;
};
