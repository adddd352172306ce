#pragma once

#include "app/cfgcache.h"
#include "app/cfgitem.h"
#include "app/cfglist.h"
#include "app/cfgtag.h"
#include "sys/cfgholder.h"

#include <QString>

// The photo manager's settings, one object per process, kept in "profile/vornel.cfg" under the program folder.
class AppCfg : public CfgHolder<AppCfg> {
public:
    static AppCfg* current() { return get(); }
    static QString cfgFile();

    // Reads the file; anything missing or unreadable keeps its default. Returns 0.
    int load();
    // Writes the whole file; -1 when it cannot be written (the old file then stays as it was).
    int save() const;

    QString lastPath;
    CfgItem item;
    CfgCache cache;
    CfgTag tag;
    CfgList list;
    QString regRoot = QStringLiteral("HKEY_CURRENT_USER\\Software\\Classes");
    QString progClass = QStringLiteral("vornel");

private:
    friend class CfgHolder<AppCfg>;
    AppCfg() = default;
    AppCfg(const AppCfg&) = delete;
    AppCfg& operator=(const AppCfg&) = delete;
};
