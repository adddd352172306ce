#include "sys/fileutil.h"

#include "sys/platform.h"

#include <QClipboard>
#include <QCollator>
#include <QComboBox>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void trimEnd(QString& s, QChar c)
{
    while (s.endsWith(c))
        s.chop(1);
}

void trimStart(QString& s, QChar c)
{
    int n = 0;
    while (n < s.size() && s.at(n) == c)
        ++n;
    s.remove(0, n);
}

QString tail(QString a)
{
    trimEnd(a, '\\');
    trimEnd(a, '/');
    return a;
}

QString head(QString b)
{
    trimStart(b, '\\');
    trimStart(b, '/');
    return b;
}

QString middle(const QString& b)
{
    return tail(head(b));
}

int lastSeparator(const QString& path)
{
    return qMax(path.lastIndexOf('/'), path.lastIndexOf('\\'));
}

} // namespace

QString pathJoin(const QString& a, const QString& b)
{
    return tail(a) + "/" + head(b);
}

QString pathJoin(const QString& a, const QString& b, const QString& c)
{
    return tail(a) + "/" + middle(b) + "/" + head(c);
}

QString pathJoin(const QString& a, const QString& b, const QString& c, const QString& d)
{
    return tail(a) + "/" + middle(b) + "/" + middle(c) + "/" + head(d);
}

QString rebasePath(const QString& path, const QString& from, const QString& to)
{
    if (from.isEmpty() || !path.startsWith(from))
        return path;
    if (path.size() == from.size())
        return to;
    return path.at(from.size()) == QLatin1Char('/') ? to + path.mid(from.size()) : path;
}

QString ExtractFilePath(const QString& path)
{
    const int i = lastSeparator(path);
    return i > 0 ? path.left(i) : QString();
}

QString ExtractFileName(const QString& path)
{
    QString s = path;
    trimStart(s, '\\');
    trimEnd(s, '\\');
    trimStart(s, '/');
    trimEnd(s, '/');
    const int i = lastSeparator(s);
    return i > 0 ? s.mid(i + 1) : s;
}

QString ExtractFileExt(const QString& path)
{
    const int i = path.lastIndexOf('.');
    return i > 0 ? path.mid(i + 1) : QString();
}

QString ExtractFileBaseName(const QString& path)
{
    const int i = path.lastIndexOf('.');
    return i > 0 ? path.left(i) : QString();
}

void stdFilePath(QString& path)
{
    path.replace(QChar('\\'), QChar('/'), Qt::CaseSensitive);
}

void stdFilePath(QStringList& paths)
{
    for (QString& p : paths)
        stdFilePath(p);
}

QStringList supportedImages()
{
    QStringList filters;
    for (const QByteArray& fmt : QImageReader::supportedImageFormats())
        filters << QStringLiteral("*.%1").arg(QString::fromLatin1(fmt));
    return filters;
}

QStringList listImagesByName(const QString& folder, const std::atomic_bool* stop)
{
    // In the user's language, or the program's own where none is set (the C locale compares bytes only).
    QCollator collator(QLocale().language() == QLocale::C ? QLocale(QLocale::Chinese, QLocale::China) : QLocale());
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<std::pair<QCollatorSortKey, QString>> found;
    QDirIterator it(folder, supportedImages(), QDir::Files | QDir::NoDotAndDotDot);
    while (!(stop && *stop) && it.hasNext()) {
        const QString file = it.next();
        found.emplace_back(collator.sortKey(it.fileName()), file);
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        const int byName = a.first.compare(b.first);
        return byName != 0 ? byName < 0 : a.second < b.second;
    });
    QStringList files;
    files.reserve(int(found.size()));
    for (const auto& f : found)
        files << f.second;
    return files;
}

QString calcFileSize(qint64 bytes)
{
    if (bytes < 100)
        return QStringLiteral("%1 B").arg(bytes);
    static const struct {
        qint64 limit;
        int shift;
        const char* unit;
    } steps[] = {
        { 102399LL, 10, "%1 K" },
        { 104857599LL, 20, "%1 M" },
        { 107374182399LL, 30, "%1 G" },
        { 109951162777599LL, 40, "%1 T" },
        { 112589990684262399LL, 50, "%1 P" },
    };
    for (const auto& s : steps) {
        if (bytes <= s.limit) {
            const double value = double(bytes) / double(1LL << s.shift);
            return QString::fromLatin1(s.unit).arg(value, 3, 'g', 3, QLatin1Char(' '));
        }
    }
    return QString();
}

QString calcImageSize(int width, int height)
{
    return QStringLiteral("%1 x %2").arg(width).arg(height);
}

bool copyToClipboard(const QString& file, bool copy)
{
    return copyToClipboard(QStringList { file }, copy);
}

bool copyToClipboard(const QStringList& files, bool copy)
{
    // The clipboard needs a GUI application.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    QList<QUrl> urls;
    QByteArray gnome = copy ? "copy" : "cut";
    for (const QString& f : files) {
        const QUrl url = QUrl::fromLocalFile(QFileInfo(f).absoluteFilePath());
        urls << url;
        gnome += '\n' + url.toEncoded();
    }
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    mime->setData(QStringLiteral("x-special/gnome-copied-files"), gnome);
    mime->setData(QStringLiteral("application/x-kde-cutselection"), copy ? "0" : "1");
    mime->setText(files.join('\n'));
    QGuiApplication::clipboard()->setMimeData(mime);
    return true;
}

namespace {

bool openFolder(const QString& folder)
{
    return QProcess::startDetached(QStringLiteral("xdg-open"), { folder });
}

} // namespace

bool explorerFilePos(const QString& path)
{
    const QFileInfo fi(path);
    if (!fi.exists())
        return false;
    const bool isDir = fi.isDir();
    const QString folder = isDir ? fi.absoluteFilePath() : fi.absolutePath();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return openFolder(folder);
    QDBusMessage msg = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"), QStringLiteral("org.freedesktop.FileManager1"),
        isDir ? QStringLiteral("ShowFolders") : QStringLiteral("ShowItems"));
    msg << QStringList { QUrl::fromLocalFile(fi.absoluteFilePath()).toString() } << QString();
    // Asynchronous: a file manager that has to start first must not hold up the caller.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(msg));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [folder](QDBusPendingCallWatcher* w) {
        if (w->isError())
            openFolder(folder);
        w->deleteLater();
    });
    return true;
}

namespace {

// Qt writes the original path of a trashed file as it is; the trash's readers expect it URL-escaped ("/" kept), so
// a name holding "%" or a blank comes back under its own name when restored.
void escapeTrashInfoPath(const QString& infoFile)
{
    QFile in(infoFile);
    if (!in.open(QIODevice::ReadOnly))
        return;
    QList<QByteArray> lines = in.readAll().split('\n');
    in.close();
    for (QByteArray& line : lines) {
        if (line.startsWith("Path="))
            line = "Path=" + QUrl::toPercentEncoding(QString::fromUtf8(line.mid(5)), "/");
    }
    QSaveFile out(infoFile);
    if (out.open(QIODevice::WriteOnly) && out.write(lines.join('\n')) >= 0 && out.flush())
        out.commit();
}

// The trash Qt 5.15 picks for a file, made as Qt makes it: on another volume than the home its .Trash/<uid>
// (a sticky folder) or .Trash-<uid>, else the home trash; empty when there is none.
QString trashFor(const QString& path, const QString& dataHome)
{
    const auto make = [](const QString& top, const QString& name) -> QString {
        QDir dir(top);
        const QString target = dir.filePath(name);
        if (dir.mkdir(name))
            QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return QFileInfo(target).isDir() ? target : QString();
    };
    QString trash;
    const QStorageInfo source(QFileInfo(path).absoluteFilePath());
    if (source != QStorageInfo(QDir::home())) {
        const QString uid = QString::number(::getuid());
        const QString dotTrash = QDir(source.rootPath()).filePath(QStringLiteral(".Trash"));
        struct stat st;
        if (::lstat(QFile::encodeName(dotTrash).constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX))
            trash = make(dotTrash, uid);
        if (trash.isEmpty())
            trash = make(source.rootPath(), QStringLiteral(".Trash-") + uid);
    }
    if (trash.isEmpty() && !dataHome.isEmpty())
        trash = make(dataHome, QStringLiteral("Trash"));
    return trash;
}

// Qt 5.15 tries new names for ever while the trash's information file cannot be made (its folder may not be
// written, is no folder, or the disk is full): the trash must take a new file before Qt is asked.
bool trashTakesFiles(const QString& trash)
{
    if (trash.isEmpty())
        return true; // Qt fails on its own
    QDir(trash).mkdir(QStringLiteral("info"));
    const QByteArray probe = QFile::encodeName(
        pathJoin(trash, "info", QStringLiteral(".vorn-probe-%1.trashinfo").arg(QCoreApplication::applicationPid())));
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno == EEXIST; // another of this process's probes: the folder takes files
    ::close(fd);
    ::unlink(probe.constData());
    return true;
}

} // namespace

// Qt 5.15 does not make the home trash when the data folder above it is missing, and then "trashes" into
// the current folder; so the folder is made first, and a file that did not land in a trash is put back.
bool moveToTrash(QString path)
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!dataHome.isEmpty())
        QDir().mkpath(dataHome);
    if (QFileInfo::exists(path) && !trashTakesFiles(trashFor(path, dataHome)))
        return false;
    QString trashed;
    if (!QFile::moveToTrash(path, &trashed))
        return false;
    QDir files = QFileInfo(trashed).absoluteDir();
    QDir top = files;
    const bool inFiles = files.dirName() == QLatin1String("files") && top.cdUp();
    const QString topName = top.dirName();
    QDir above = top;
    const bool aboveIsTrash = above.cdUp() && above.dirName() == QLatin1String(".Trash");
    if (inFiles
        && (topName == QLatin1String("Trash") || topName.startsWith(QLatin1String(".Trash-")) || aboveIsTrash)) {
        escapeTrashInfoPath(pathJoin(top.absolutePath(), "info", QFileInfo(trashed).fileName() + ".trashinfo"));
        return true;
    }
    if (QFile::rename(trashed, path)) {
        QFile::remove(pathJoin(top.absolutePath(), "info", QFileInfo(trashed).fileName() + ".trashinfo"));
        top.rmdir(QStringLiteral("info")); // only when empty
        top.rmdir(QStringLiteral("files"));
    }
    return false;
}

qint64 writeFile(QString file, QByteArray data)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadWrite | QIODevice::Truncate))
        return -1;
    const qint64 n = f.write(data);
    f.close();
    return n == data.size() && f.error() == QFileDevice::NoError ? n : -1;
}

bool isValidFileName(const QString& name)
{
    return !name.trimmed().isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

bool pathTaken(const QString& path)
{
    const QFileInfo fi(path);
    return fi.exists() || fi.isSymLink();
}

namespace {

// The folder (or what a link names) can be opened and read; with holding, it also holds an entry.
bool folderAnswers(const QByteArray& folder, bool holding)
{
    struct stat st { };
    if (::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return false;
    bool any = false;
    errno = 0;
    while (const struct dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            any = true;
            break;
        }
    }
    const bool read = any || errno == 0;
    ::closedir(dir);
    return read && (any || !holding);
}

} // namespace

PathPresence pathPresence(const QString& path)
{
    if (path.isEmpty())
        return PathPresence::Unknown;
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QByteArray name = QFile::encodeName(clean);
    struct stat st { };
    if (::lstat(name.constData(), &st) == 0)
        return ::stat(name.constData(), &st) == 0 ? PathPresence::Present : PathPresence::Unknown;
    // Anything but "no such entry" (an I/O error, a share not connected, a time-out) tells nothing.
    if (errno != ENOENT)
        return PathPresence::Unknown;
    // The nearest folder above that exists: the folders missing between it and the name went too. Empty, it may
    // be the mount point of a volume that is away, unless it is the name's own folder (its last photo deleted).
    const QString own = QFileInfo(clean).absolutePath();
    QString folder = clean;
    do {
        folder = QFileInfo(folder).absolutePath();
        if (::lstat(QFile::encodeName(folder).constData(), &st) == 0)
            break;
        if (errno != ENOENT)
            return PathPresence::Unknown;
    } while (folder != QLatin1String("/"));
    if (!folderAnswers(QFile::encodeName(folder), folder != own) || platform::onUnmountedVolume(clean))
        return PathPresence::Unknown;
    // Looked at again now that the folder is known to answer.
    if (::lstat(name.constData(), &st) == 0)
        return PathPresence::Present;
    return errno == ENOENT ? PathPresence::Gone : PathPresence::Unknown;
}

bool isFileGone(const QString& path)
{
    return pathPresence(path) == PathPresence::Gone;
}

QString profileFile(const QString& name)
{
    const QString dir = pathJoin(platform::programDir(), QStringLiteral("profile"));
    QDir().mkpath(dir);
    return pathJoin(dir, name);
}

bool readJsonObject(const QString& path, QJsonObject& obj)
{
    // A FIFO or device under the name counts as no file, so start-up never waits on it.
    QFile file;
    if (!platform::openRegularFile(file, path))
        return false;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        return false;
    obj = doc.object();
    return true;
}

bool writeJsonObject(const QString& path, const QJsonObject& obj)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // A write the disk refuses may show only when the buffer is flushed, which commit() does not check;
    // uncommitted, the temporary goes and the old file stays.
    const QByteArray json = QJsonDocument(obj).toJson(QJsonDocument::Indented);
    if (file.write(json) != json.size() || !file.flush())
        return false;
    return file.commit();
}

void setCurrentText(QComboBox& combo, const QString& text)
{
    if (combo.isEditable())
        combo.setEditText(text);
    else
        combo.setCurrentIndex(combo.findData(text, Qt::DisplayRole, Qt::MatchCaseSensitive));
}
