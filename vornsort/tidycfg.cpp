#include "tidycfg.h"

#include "sys/datetimeutil.h"
#include "sys/fileutil.h"

#include <QJsonObject>

QString pathRuleFormat(int index)
{
    static const char* const formats[] = {
        "yyyy年/MM月dd日",
        "yyyy年/MM月/dd日",
        "yyyy年/MM月",
        "yyyy年MM月dd日",
        "yyyy年MM月",
        "yyyy年",
        "yyyy/MMdd",
        "yyyy/MM/dd",
        "yyyy/MM",
        "yyyyMMdd",
        "yyyyMM",
        "yyyy",
        "yyyy年/MM月/dd日/hh时/mm分/ss秒",
        "yyyy/MM/dd/hh/mm/ss",
    };
    if (index < 0 || index >= int(sizeof(formats) / sizeof(formats[0])))
        return QString();
    return QString::fromUtf8(formats[index]);
}

TidyCfg::TidyCfg()
    : EndDate(CurrentDate())
{
}

QString TidyCfg::cfgFile()
{
    return profileFile(QStringLiteral("vornsort.cfg"));
}

int TidyCfg::load()
{
    QJsonObject root;
    if (!readJsonObject(cfgFile(), root))
        return -1;
    const QJsonObject tidy = root.value("tidy").toObject();
    // Each key on its own: one that is missing keeps the default of a fresh object, so a file without
    // "KeepSrcFile" still keeps the sources.
    const TidyCfg defaults;
    LastPath = root.value("LastPath").toString(defaults.LastPath);
    SrcPath = tidy.value("SrcPath").toString(defaults.SrcPath);
    DstPath = tidy.value("DstPath").toString(defaults.DstPath);
    PathRuleTimeSrc = tidy.value("PathRuleTimeSrc").toInt(defaults.PathRuleTimeSrc);
    PathRuleTime = tidy.value("PathRuleTime").toInt(defaults.PathRuleTime);
    PathRuleTimeStr = tidy.value("PathRuleTimeStr").toString(defaults.PathRuleTimeStr);
    FileExistsOpt = tidy.value("FileExistsOpt").toInt(defaults.FileExistsOpt);
    FileModTimeSrc = tidy.value("FileModTimeSrc").toInt(defaults.FileModTimeSrc);
    FileCreateTimeSrc = tidy.value("FileCreateTimeSrc").toInt(defaults.FileCreateTimeSrc);
    LimitDateRange = tidy.value("LimitDateRange").toBool(defaults.LimitDateRange);
    StartDate = tidy.value("StartDate").toString(defaults.StartDate);
    EndDate = tidy.value("EndDate").toString(defaults.EndDate);
    KeepSrcFile = tidy.value("KeepSrcFile").toBool(defaults.KeepSrcFile);
    return 0;
}

int TidyCfg::save() const
{
    QJsonObject tidy;
    tidy.insert("SrcPath", SrcPath);
    tidy.insert("DstPath", DstPath);
    tidy.insert("PathRuleTimeSrc", PathRuleTimeSrc);
    tidy.insert("PathRuleTime", PathRuleTime);
    tidy.insert("PathRuleTimeStr", PathRuleTimeStr);
    tidy.insert("FileExistsOpt", FileExistsOpt);
    tidy.insert("FileModTimeSrc", FileModTimeSrc);
    tidy.insert("FileCreateTimeSrc", FileCreateTimeSrc);
    tidy.insert("LimitDateRange", LimitDateRange);
    tidy.insert("StartDate", StartDate);
    tidy.insert("EndDate", EndDate);
    tidy.insert("KeepSrcFile", KeepSrcFile);
    QJsonObject root;
    root.insert("LastPath", LastPath);
    root.insert("tidy", tidy);

    return writeJsonObject(cfgFile(), root) ? 0 : -1;
}

bool TidyCfg::samePlan(const TidyCfg& other) const
{
    return SrcPath == other.SrcPath && DstPath == other.DstPath && PathRuleTimeSrc == other.PathRuleTimeSrc
        && PathRuleTimeStr == other.PathRuleTimeStr && FileModTimeSrc == other.FileModTimeSrc
        && FileCreateTimeSrc == other.FileCreateTimeSrc && LimitDateRange == other.LimitDateRange
        && (!LimitDateRange || (StartDate == other.StartDate && EndDate == other.EndDate));
}
