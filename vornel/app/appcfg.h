#pragma once

#include "app/cfgcache.h"
#include "app/cfgitem.h"
#include "app/cfglist.h"
#include "app/cfgtag.h"

#include <QString>

// The photo manager's settings, one object per process, kept in "profile/vornel.cfg" under the program folder.
class AppCfg {
public:
    // The one object, made with the defaults when there is none; recreate > 0 replaces it by a fresh one.
    static AppCfg* instance(int recreate = 0);
    // The object when there is one, else null.
    static AppCfg* current() { return ms_instance; }
    // Destroys the object; false when there was none.
    static bool release();
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
    AppCfg() = default;
    AppCfg(const AppCfg&) = delete;
    AppCfg& operator=(const AppCfg&) = delete;

    static AppCfg* ms_instance;
};
