#include "app/fileassoc.h"

// GLib's headers use "signals" as a name; Qt defines it as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#pragma pop_macro("signals")

#include "app/appcfg.h"
#include "sys/fileutil.h"
#include "sys/platform.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QMimeDatabase>
#include <QProcess>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

namespace {

const char* const DefaultGroup = "Default Applications";
const char* const EntryGroup = G_KEY_FILE_DESKTOP_GROUP;
// Larger files are not ours to rewrite.
const qint64 MaxListBytes = 16 << 20;
const int IconSize = 128;

struct GFreeDeleter {
    void operator()(gpointer p) const { g_free(p); }
};
struct GStrvDeleter {
    void operator()(gchar** p) const { g_strfreev(p); }
};
struct GObjectDeleter {
    void operator()(gpointer p) const
    {
        if (p)
            g_object_unref(p);
    }
};
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;
using GStrvPtr = std::unique_ptr<gchar*, GStrvDeleter>;
using GAppInfoPtr = std::unique_ptr<GAppInfo, GObjectDeleter>;

QString progClass()
{
    return AppCfg::instance()->progClass;
}

QString programPath()
{
    return QCoreApplication::applicationFilePath();
}

// A desktop-entry style file (mimeapps.list, the desktop entry) read and written through GLib's key files, which
// keep the other groups, keys, comments and translations as they are.
class KeyFile {
public:
    KeyFile()
        : m_kf(g_key_file_new())
    {
    }
    ~KeyFile() { g_key_file_free(m_kf); }
    KeyFile(const KeyFile&) = delete;
    KeyFile& operator=(const KeyFile&) = delete;

    // A missing file reads as empty; false when one is there that cannot be read or parsed (it is then never
    // written over).
    bool load(const QString& path)
    {
        if (!QFileInfo::exists(path))
            return true;
        QByteArray data;
        if (!platform::readRegularFile(path, MaxListBytes, data))
            return false;
        m_endBreaks = 0;
        for (int i = data.size() - 1; i >= 0 && data[i] == '\n'; --i)
            ++m_endBreaks;
        return g_key_file_load_from_data(m_kf, data.constData(), gsize(data.size()),
                   GKeyFileFlags(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS), nullptr)
            == TRUE;
    }

    // The raw value (escapes as written); empty when there is none.
    QString value(const char* group, const QString& key) const
    {
        GCharPtr v(g_key_file_get_value(m_kf, group, key.toUtf8().constData(), nullptr));
        return v ? QString::fromUtf8(v.get()) : QString();
    }
    void setValue(const char* group, const QString& key, const QString& value)
    {
        const QByteArray k = key.toUtf8();
        const bool added = !g_key_file_has_key(m_kf, group, k.constData(), nullptr);
        g_key_file_set_value(m_kf, group, k.constData(), value.toUtf8().constData());
        // A new key goes last in its group, after the blank lines that end it: those stay after it, so that
        // taking the key out again leaves the file as it was.
        if (added) {
            GCharPtr above(g_key_file_get_comment(m_kf, group, k.constData(), nullptr));
            if (above && QByteArray(above.get()).trimmed().isEmpty())
                g_key_file_remove_comment(m_kf, group, k.constData(), nullptr);
        }
    }
    void setString(const char* group, const char* key, const QString& value)
    {
        g_key_file_set_string(m_kf, group, key, value.toUtf8().constData());
    }
    void setStringList(const char* group, const char* key, const QStringList& values)
    {
        if (values.isEmpty()) {
            g_key_file_remove_key(m_kf, group, key, nullptr);
            return;
        }
        QList<QByteArray> bytes;
        std::vector<const gchar*> list;
        for (const QString& v : values)
            bytes.append(v.toUtf8());
        for (const QByteArray& b : bytes)
            list.push_back(b.constData());
        g_key_file_set_string_list(m_kf, group, key, list.data(), list.size());
    }
    // Removes the key, and its group when that holds nothing else.
    void remove(const char* group, const QString& key)
    {
        g_key_file_remove_key(m_kf, group, key.toUtf8().constData(), nullptr);
        if (keys(group).isEmpty())
            g_key_file_remove_group(m_kf, group, nullptr);
    }
    QStringList keys(const char* group) const
    {
        QStringList out;
        GStrvPtr keys(g_key_file_get_keys(m_kf, group, nullptr, nullptr));
        for (gchar** k = keys.get(); k && *k; ++k)
            out.append(QString::fromUtf8(*k));
        return out;
    }

    // Written beside and renamed over (a link is followed), so a failed write leaves the file as it was.
    bool save(const QString& path) const
    {
        gsize size = 0;
        GCharPtr text(g_key_file_to_data(m_kf, &size, nullptr));
        if (!text)
            return false;
        // The file ends as it did: the blank line that parted a group we took out again does not stay behind.
        QByteArray data(text.get(), int(size));
        while (data.endsWith('\n'))
            data.chop(1);
        if (!data.isEmpty())
            data.append(QByteArray(qMax(1, m_endBreaks), '\n'));
        const QFileInfo fi(path);
        const QString target = fi.isSymLink() && !fi.canonicalFilePath().isEmpty() ? fi.canonicalFilePath() : path;
        QDir().mkpath(QFileInfo(target).absolutePath());
        QSaveFile file(target);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(data);
        return file.commit();
    }

private:
    GKeyFile* m_kf;
    int m_endBreaks = 1; // line breaks that end the file as read
};

// Whether a default-applications value names our entry first (a value may list several, the first installed
// one wins). The name must match exactly.
bool isOurs(const QString& value)
{
    const QStringList ids = value.split(';', Qt::SkipEmptyParts);
    return !ids.isEmpty() && ids.first().trimmed() == assocDesktopId();
}

// Where the user's default that a type had before we took it over is kept.
QString backupKey(const QString& mime)
{
    return progClass() + ".bak/" + mime;
}

QString iconPath()
{
    const QString size = QString::number(IconSize);
    return pathJoin(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation), "icons/hicolor",
        size + "x" + size + "/apps", progClass() + ".png");
}

// The program's logo as a theme icon in the user's data folder; false when it could not be written.
bool writeIcon()
{
    QImage logo(":/pic/logo.png");
    if (logo.isNull())
        return false;
    if (logo.size() != QSize(IconSize, IconSize))
        logo = logo.scaled(IconSize, IconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!logo.save(&buffer, "PNG"))
        return false;
    const QString path = iconPath();
    QByteArray old;
    if (platform::readRegularFile(path, MaxListBytes, old) && old == png)
        return true;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(png);
    return file.commit();
}

// Writes the desktop entry from the user's default applications: our open command and icon, and the types we
// are the default for. Only those: a type listed there would fall to us wherever the user has no default.
// Keys the user added to the entry stay.
bool writeDesktopEntry(const KeyFile& mimeApps)
{
    QStringList types;
    for (const QString& mime : mimeApps.keys(DefaultGroup)) {
        if (isOurs(mimeApps.value(DefaultGroup, mime)))
            types.append(mime);
    }
    const QString path = assocDesktopEntryPath();
    // The entry is ours: one that no longer parses is written anew.
    KeyFile kept;
    KeyFile fresh;
    KeyFile& entry = kept.load(path) ? kept : fresh;
    entry.setString(EntryGroup, G_KEY_FILE_DESKTOP_KEY_TYPE, G_KEY_FILE_DESKTOP_TYPE_APPLICATION);
    entry.setString(EntryGroup, G_KEY_FILE_DESKTOP_KEY_VERSION, "1.0");
    entry.setString(EntryGroup, G_KEY_FILE_DESKTOP_KEY_NAME, QStringLiteral("蔚禾照片管理"));
    entry.setString(EntryGroup, G_KEY_FILE_DESKTOP_KEY_EXEC, assocOpenCommand(programPath()));
    if (writeIcon())
        entry.setString(EntryGroup, G_KEY_FILE_DESKTOP_KEY_ICON, progClass());
    entry.setString(EntryGroup, G_KEY_FILE_DESKTOP_KEY_TERMINAL, "false");
    entry.setStringList(EntryGroup, G_KEY_FILE_DESKTOP_KEY_CATEGORIES, { "Graphics", "Viewer" });
    entry.setStringList(EntryGroup, G_KEY_FILE_DESKTOP_KEY_MIME_TYPE, types);
    return entry.save(path);
}

// Keeps the desktop entry's types in step with the defaults, when there is an entry.
bool refreshDesktopEntry(const KeyFile& mimeApps)
{
    return !QFileInfo::exists(assocDesktopEntryPath()) || writeDesktopEntry(mimeApps);
}

// The type of a format, or empty; the user's default-applications list loaded, or false.
bool prepare(const QString& ext, QString& mime, KeyFile& mimeApps)
{
    mime = assocMimeType(ext);
    return !mime.isEmpty() && mimeApps.load(assocMimeAppsPath());
}

} // namespace

QString assocDesktopId()
{
    return progClass() + ".desktop";
}

QString assocMimeType(const QString& ext)
{
    const QString suffix = ext.trimmed().toLower();
    if (suffix.isEmpty())
        return QString();
    const QMimeType type = QMimeDatabase().mimeTypeForFile("file." + suffix, QMimeDatabase::MatchExtension);
    return type.isValid() && !type.isDefault() ? type.name() : QString();
}

QString assocOpenCommand(const QString& programPath)
{
    // Inside double quotes a backslash escapes ", `, $ and itself; a literal % is written twice.
    QString quoted;
    for (const QChar c : programPath) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    return '"' + quoted + "\" %f";
}

QString assocDesktopEntryPath()
{
    return pathJoin(
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation), "applications", assocDesktopId());
}

QString assocMimeAppsPath()
{
    return pathJoin(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation), "mimeapps.list");
}

int associateFileType(const QString& ext)
{
    QString mime;
    KeyFile mimeApps;
    if (!prepare(ext, mime, mimeApps))
        return -1;
    const QString old = mimeApps.value(DefaultGroup, mime);
    if (!isOurs(old)) {
        // Kept before the list changes: a default that cannot be kept is not replaced.
        QSettings store(QStringLiteral("tamrolek"), QStringLiteral("vornel"));
        if (old.isEmpty())
            store.remove(backupKey(mime));
        else
            store.setValue(backupKey(mime), old);
        store.sync();
        if (store.status() != QSettings::NoError)
            return -1;
    }
    mimeApps.setValue(DefaultGroup, mime, assocDesktopId());
    if (!mimeApps.save(assocMimeAppsPath()))
        return -1;
    return refreshDesktopEntry(mimeApps) ? 0 : -1;
}

int unassociateFileType(const QString& ext)
{
    QString mime;
    KeyFile mimeApps;
    if (!prepare(ext, mime, mimeApps))
        return -1;
    if (!isOurs(mimeApps.value(DefaultGroup, mime)))
        return 0;
    QSettings store(QStringLiteral("tamrolek"), QStringLiteral("vornel"));
    const QString bak = store.value(backupKey(mime)).toString();
    if (store.status() != QSettings::NoError)
        return -1;
    if (bak.isEmpty())
        mimeApps.remove(DefaultGroup, mime);
    else
        mimeApps.setValue(DefaultGroup, mime, bak);
    if (!mimeApps.save(assocMimeAppsPath()))
        return -1;
    return refreshDesktopEntry(mimeApps) ? 0 : -1;
}

int writeOpenCommand()
{
    KeyFile mimeApps;
    if (!mimeApps.load(assocMimeAppsPath()) || !writeDesktopEntry(mimeApps))
        return -1;
    return isOpenCommandOwn() ? 0 : -1;
}

QStringList associatedFileTypes(bool& all)
{
    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    const QString ours = assocDesktopId();
    QHash<QString, bool> byType;
    QStringList out;
    for (const QByteArray& format : formats) {
        const QString mime = assocMimeType(QString::fromLatin1(format));
        if (mime.isEmpty())
            continue;
        auto it = byType.find(mime);
        if (it == byType.end()) {
            GAppInfoPtr app(g_app_info_get_default_for_type(mime.toUtf8().constData(), FALSE));
            const char* id = app ? g_app_info_get_id(app.get()) : nullptr;
            it = byType.insert(mime, id && QString::fromUtf8(id) == ours);
        }
        if (it.value())
            out.append(QString::fromLatin1(format));
    }
    all = !formats.isEmpty() && out.size() == formats.size();
    return out;
}

bool isOpenCommandOwn()
{
    const QString path = assocDesktopEntryPath();
    if (!platform::isRegularFile(path))
        return false;
    // GLib refuses an entry whose program is not there.
    std::unique_ptr<GDesktopAppInfo, GObjectDeleter> app(
        g_desktop_app_info_new_from_filename(QFile::encodeName(path).constData()));
    if (!app)
        return false;
    const char* command = g_app_info_get_commandline(G_APP_INFO(app.get()));
    return command && QString::fromUtf8(command) == assocOpenCommand(programPath());
}

bool notifyAssocChanged()
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
    if (tool.isEmpty())
        return false;
    const QString folder = QFileInfo(assocDesktopEntryPath()).absolutePath();
    QProcess process;
    process.setProgram(tool);
    process.setArguments({ folder });
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}
