#include "common/photomaker.h"
#include "common/testutil.h"
#include "meta/exivtags.h"
#include "meta/exivutil.h"
#include "meta/fileattrirestore.h"
#include "sys/filereplacer.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <QtConcurrent>

#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using photomaker::makePhoto;

namespace {
// Reaches the JSON helpers.
class TagsProbe : public ExivTags {
public:
    using ExivTags::loadFromJson;
};

const QList<uint> kColors = { 0xFFFF0000u, 0xFF00AAFFu };
const QStringList kTexts = { "家人", "beach trip", "2024" };

void setSample(ExivTags& tags)
{
    tags.setStar(4);
    tags.setRgb(kColors);
    tags.setTextTag(kTexts);
}

QJsonObject sampleJson(int star = 4)
{
    return QJsonDocument::fromJson(photomaker::tagsJson(star, kColors, kTexts)).object();
}

QByteArray enc(const QString& path)
{
    return QFile::encodeName(path);
}

mode_t modeOf(const QString& path)
{
    struct stat st { };
    return ::lstat(enc(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// The mode and the modified time to the nanosecond.
QString fileState(const QString& path)
{
    struct stat st { };
    ::stat(enc(path).constData(), &st);
    return QString("%1 %2.%3").arg(st.st_mode & 07777, 0, 8).arg(st.st_mtim.tv_sec).arg(st.st_mtim.tv_nsec);
}

// Sets the modified time (and the access time a minute later), with nanoseconds below the millisecond.
void setModified(const QString& path, const QDateTime& when)
{
    const time_t sec = when.toSecsSinceEpoch();
    const long ns = when.time().msec() * 1000000L + 789;
    const struct timespec ts[2] = { { sec + 60, ns }, { sec, ns } };
    QVERIFY(::utimensat(AT_FDCWD, enc(path).constData(), ts, 0) == 0);
}

// Metadata that a tag write must leave alone, as exiftool reads it: all but the two comments, offsets into the
// file and container facts (exiv2 writes a PNG's Exif little-endian; a plain WebP becomes an extended one).
QJsonObject otherMetadata(const QString& path)
{
    const QByteArray out = photomaker::runTool("exiftool", { "-j", "-a", "-G1", "-n", "-x", "System:all", path });
    QJsonObject m = QJsonDocument::fromJson(out).array().at(0).toObject();
    for (const char* key : { "SourceFile", "ExifTool:ExifToolVersion", "IFD0:StripOffsets", "IFD0:XPComment",
             "ExifIFD:UserComment", "File:ExifByteOrder", "File:FileType", "RIFF:WebP_Flags" })
        m.remove(key);
    return m;
}

QStringList dirEntries(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

void checkTagsInFile(const QString& path, int star = 4)
{
    // Both fields hold the same document, as other readers see it too.
    for (const QByteArray& json : { photomaker::readComment(path, "Exif.Photo.UserComment"),
             photomaker::readComment(path, "Exif.Image.XPComment"), photomaker::exiftoolUserComment(path) })
        QCOMPARE(QJsonDocument::fromJson(json).object(), sampleJson(star));
}

// Child mode: writes changing tags into the file until killed.
int writeLoop(const QString& path)
{
    initExiv2();
    for (int i = 0;; ++i) {
        ExivTags tags;
        tags.setStar(i % 6);
        tags.setTextTag({ QString("round %1").arg(i), QString(i % 7 * 40, QChar(0x6587)) });
        if (tags.saveTagsToFile(path) != 0)
            return 2;
        if (i == 0) {
            fputs("ready\n", stdout);
            fflush(stdout);
        }
    }
}
// Child mode: as another user, writes star 1 into the file and prints the result.
int writeAs(uid_t uid, gid_t gid, const QString& path)
{
    if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
        return 3;
    initExiv2();
    ExivTags tags;
    tags.setStar(1);
    printf("%d\n", tags.saveTagsToFile(path));
    return 0;
}

// Every extended attribute of the file, name to value.
QMap<QByteArray, QByteArray> attributes(const QString& path)
{
    QMap<QByteArray, QByteArray> out;
    QByteArray names(4096, '\0');
    const ssize_t size = ::listxattr(enc(path).constData(), names.data(), size_t(names.size()));
    for (const QByteArray& name : names.left(int(qMax<ssize_t>(size, 0))).split('\0')) {
        if (name.isEmpty())
            continue;
        QByteArray value(4096, '\0');
        const ssize_t got = ::getxattr(enc(path).constData(), name.constData(), value.data(), size_t(value.size()));
        out.insert(name, value.left(int(qMax<ssize_t>(got, 0))));
    }
    return out;
}

// An access control list as the kernel stores it: owner rw, user 65534 rw, group r, mask rw, others r.
QByteArray aclGrantingNobody()
{
    QByteArray acl;
    const auto put = [&acl](quint32 v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            acl.append(char((v >> (8 * i)) & 0xFF));
    };
    put(2, 4);
    const quint32 entries[][3] = { { 0x01, 6, 0xFFFFFFFF }, { 0x02, 6, 65534 }, { 0x04, 4, 0xFFFFFFFF },
        { 0x10, 6, 0xFFFFFFFF }, { 0x20, 4, 0xFFFFFFFF } };
    for (const auto& e : entries) {
        put(e[0], 2);
        put(e[1], 2);
        put(e[2], 4);
    }
    return acl;
}

struct stat statOf(const QString& path)
{
    struct stat st { };
    ::stat(enc(path).constData(), &st);
    return st;
}
} // namespace

class TestExivTags : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initExiv2(); }
    void jsonDocument();
    void readingSources();
    void writeFormats_data();
    void writeFormats();
    void awkwardFiles();
    void failedWritesLeaveOriginal();
    void parallelHolders();
    void killedWriterNeverTruncates();
    void replacementKeepsWhatTheFileHad();
    void anotherUsersPhoto();
    void leftoversOfKilledWritesGo();
    void anotherProgramsSaveIsKept();
    void accessTimeKept();
};

void TestExivTags::jsonDocument()
{
    TagsProbe t;
    QCOMPARE(t.loadFromJson("not json"), -1);
    // Each of the three keys is required.
    for (const char* drop : { "starTag", "colorTag", "textTag" }) {
        QJsonObject obj = sampleJson();
        obj.remove(drop);
        QCOMPARE(t.loadFromJson(QJsonDocument(obj).toJson()), -1);
    }
    QCOMPARE(t.loadFromJson(R"({"starTag":{"star":9},"colorTag":{"colors":[4278190080,"4294901760","x"]},
                                "textTag":{"texts":["a"]}})"),
        0);
    QCOMPARE(t.getStar(), 5); // clamped
    QCOMPARE(t.getRgb(), QList<uint>({ 0u, 0xFFFF0000u, 0u }));
    QCOMPARE(t.loadFromJson(R"({"starTag":{"star":-2},"colorTag":{},"textTag":{"texts":["b"]}})"), 0);
    QCOMPARE(t.getStar(), 0);
    QCOMPARE(t.getTextTag(), QStringList({ "a", "b" })); // appended
}

void TestExivTags::readingSources()
{
    testutil::TempDir dir;
    const QString doc = makePhoto(dir.path(), "doc.jpg");
    QVERIFY(!doc.isEmpty());

    // No comment at all.
    ExivTags none;
    QCOMPARE(none.loadTagsFromFile(doc), 0);
    QVERIFY(!none.getHasTags());

    // UserComment first, XPComment holding other text.
    QVERIFY(photomaker::setComment(doc, "Exif.Photo.UserComment", QJsonDocument(sampleJson()).toJson()));
    QVERIFY(photomaker::setUtf16XpComment(doc, "a comment from elsewhere"));
    ExivTags first;
    QCOMPARE(first.loadTagsFromFile(doc), 0);
    QCOMPARE(first.getTextTag(), kTexts);

    // UserComment not JSON: XPComment as this suite writes it is the fallback.
    QVERIFY(photomaker::setComment(doc, "Exif.Photo.UserComment", "just words"));
    QVERIFY(photomaker::setComment(doc, "Exif.Image.XPComment", photomaker::tagsJson(2, {}, { "备用" })));
    ExivTags fallback;
    QCOMPARE(fallback.loadTagsFromData(testutil::readBytes(doc)), 0);
    QCOMPARE(fallback.getStar(), 2);
    QCOMPARE(fallback.getTextTag(), QStringList({ "备用" }));

    // Neither holds tags: -1 and nothing changed.
    QVERIFY(photomaker::setUtf16XpComment(doc, "{\"starTag\":{}}"));
    ExivTags neither;
    neither.setStar(1);
    QCOMPARE(neither.loadTagsFromFile(doc), -1);
    QCOMPARE(neither.getStar(), 1);
    QCOMPARE(ExivTags().loadTagsFromData(testutil::readBytes(doc)), -1);
}

void TestExivTags::writeFormats_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("model");
    for (const char* suffix : { "jpg", "png", "tif", "webp" }) {
        QTest::newRow(QByteArray(suffix) + " with exif") << QString("旅行 照片.%1").arg(suffix) << "VC-100";
        QTest::newRow(QByteArray(suffix) + " without exif") << QString("plain %1.%1").arg(suffix) << "";
    }
    // Laid out by ImageMagick and exiftool: Exif, IPTC, XMP, a JPEG comment.
    for (const char* suffix : { "jpg", "png", "tif" })
        QTest::newRow(QByteArray(suffix) + " by other programs") << QString("other.%1").arg(suffix) << "EOS 5D";
}

// Only the two comments change: other metadata, pixels, mode and times stay, no file is left beside it.
// Written once by path, then again through the holder that loaded the file.
void TestExivTags::writeFormats()
{
    QFETCH(QString, name);
    QFETCH(QString, model);
    testutil::TempDir dir;
    QString path = dir.file(name);
    if (name.startsWith("other")) {
        int code = -1;
        photomaker::runTool("convert", { "-size", "160x120", "gradient:orange-navy", path }, &code);
        QCOMPARE(code, 0);
        photomaker::runTool("exiftool",
            { "-q", "-q", "-overwrite_original", "-Make=Canon", "-Model=EOS 5D",
                "-DateTimeOriginal=2021:02:03 04:05:06", "-ExposureTime=1/200", "-GPSLatitude=31.2",
                "-GPSLatitudeRef=N", "-IPTC:Keywords=holiday", "-XMP:Subject=sea", "-XMP:Rating=3",
                "-Comment=a comment", "-Artist=摄影师", path },
            &code);
        QCOMPARE(code, 0);
    } else {
        path = makePhoto(dir.path(), name, !model.isEmpty(), 120, 80);
    }
    QVERIFY(::chmod(enc(path).constData(), 0640) == 0);
    setModified(path, QDateTime::fromString("2020-03-04T05:06:07.250", Qt::ISODateWithMs));
    const QJsonObject metadata = otherMetadata(path);
    QCOMPARE(metadata.value("IFD0:Model").toString(), model);
    const QImage image = photomaker::pixels(path);
    const QString state = fileState(path);
    for (int star : { 4, 1 }) {
        ExivTags tags;
        if (star == 4) {
            setSample(tags);
            QCOMPARE(tags.saveTagsToFile(path), 0);
        } else {
            QCOMPARE(tags.loadTagsFromFile(path), 0);
            tags.setStar(star);
            QCOMPARE(tags.saveTagsToFile(), 0);
        }
        checkTagsInFile(path, star);
        QCOMPARE(otherMetadata(path), metadata);
        QCOMPARE(photomaker::pixels(path), image);
        QCOMPARE(fileState(path), state);
        QCOMPARE(dirEntries(dir.path()), QStringList({ name }));
    }
}

void TestExivTags::awkwardFiles()
{
    testutil::TempDir dir;
    ExivTags tags;
    setSample(tags);

    // Read-only: written, read-only again, times kept, also through a holder that loaded it.
    const QString readOnly = makePhoto(dir.path(), "readonly.jpg");
    setModified(readOnly, QDateTime::fromString("2019-05-06T07:08:09", Qt::ISODate));
    QVERIFY(::chmod(enc(readOnly).constData(), 0444) == 0);
    const QString state = fileState(readOnly);
    QCOMPARE(tags.saveTagsToFile(readOnly), 0);
    checkTagsInFile(readOnly);
    QCOMPARE(fileState(readOnly), state);
    ExivTags holder;
    QCOMPARE(holder.loadTagsFromFile(readOnly), 0);
    QCOMPARE(modeOf(readOnly), mode_t(0444)); // never lifted for the life of a holder
    QCOMPARE(holder.saveTagsToFile(), 0);
    QCOMPARE(fileState(readOnly), state);

    // A symbolic link: the target takes the tags, the link stays a link.
    const QString target = makePhoto(dir.path(), "target.png");
    const QString link = dir.file("link.png");
    QVERIFY(QFile::link(target, link));
    QCOMPARE(tags.saveTagsToFile(link), 0);
    QCOMPARE(QFileInfo(link).symLinkTarget(), target);
    checkTagsInFile(target);

    // Not pictures, or broken ones: negative, untouched.
    const QString empty = dir.file("empty.jpg"), text = dir.file("notes.png"), truncated = dir.file("truncated.jpg");
    QVERIFY(testutil::writeBytes(empty, QByteArray()));
    QVERIFY(testutil::writeBytes(text, QByteArray("these are notes, not a picture\n").repeated(20)));
    const QByteArray whole = testutil::readBytes(makePhoto(dir.path(), "whole.jpg", true, 300, 200));
    QVERIFY(testutil::writeBytes(truncated, whole.left(20)));
    for (const QString& bad : { empty, text, truncated }) {
        const QByteArray bytes = testutil::readBytes(bad);
        QVERIFY2(tags.saveTagsToFile(bad) < 0, qPrintable(bad));
        QCOMPARE(testutil::readBytes(bad), bytes);
    }
    // Exif intact, picture data cut short: the tags go in.
    QVERIFY(testutil::writeBytes(truncated, whole.left(whole.size() / 2)));
    QCOMPARE(tags.saveTagsToFile(truncated), 0);
    QCOMPARE(ExivTags().loadTagsFromFile(truncated), 0);
    QCOMPARE(ExivTags().saveTagsToFile(dir.file("missing.jpg")), -1);
    // A pipe named like a picture is never opened: that would wait for a writer.
    const QString pipe = dir.file("pipe.jpg");
    QVERIFY(::mkfifo(enc(pipe).constData(), 0644) == 0);
    QCOMPARE(ExivTags().loadTagsFromFile(pipe), -1);
    QVERIFY(ExivTags().saveTagsToFile(pipe) < 0);
    for (const QString& name : dirEntries(dir.path()))
        QVERIFY2(!name.startsWith('.'), qPrintable(name));

    const QString path = dir.file("kept.txt");
    QVERIFY(testutil::writeBytes(path, "abc"));
    QVERIFY(::chmod(enc(path).constData(), 0444) == 0);
    {
        // Lifts the read-only mark and puts the mode back, at restore() and when it goes.
        FileAttriRestore attr(path, true);
        QCOMPARE(modeOf(path), mode_t(0644));
        QVERIFY(::chmod(enc(path).constData(), 0600) == 0);
    }
    QCOMPARE(modeOf(path), mode_t(0444));
    {
        // A mode that could not be read is never applied.
        FileAttriRestore missing;
        QCOMPARE(missing.save(dir.file("missing.txt"), true), -1);
        QCOMPARE(missing.restore(), -1);
        QCOMPARE(missing.restoreTo(path), -1);
    }
    QCOMPARE(modeOf(path), mode_t(0444));
}

// Formats exiv2 cannot write, and a write that fails part-way: the file stays as it was, nothing is left beside it.
void TestExivTags::failedWritesLeaveOriginal()
{
    testutil::TempDir dir;
    ExivTags tags;
    setSample(tags);
    const auto refused = [&](const QString& path) {
        const QByteArray bytes = testutil::readBytes(path);
        QCOMPARE(tags.saveTagsToFile(path), -102);
        QCOMPARE(testutil::readBytes(path), bytes);
    };
    refused(makePhoto(dir.path(), "picture.gif", false));
    refused(makePhoto(dir.path(), "picture.bmp", false));

    // A file-size limit stands in for a full disk.
    const QString path = makePhoto(dir.path(), "full.jpg", true, 200, 150);
    const QByteArray bytes = testutil::readBytes(path);
    const QString state = fileState(path);
    struct rlimit old;
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &old) == 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QList<int> results;
    for (rlim_t limit : { rlim_t(bytes.size() / 2), rlim_t(bytes.size() + 16) }) {
        struct rlimit small = old;
        small.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &small);
        results << tags.saveTagsToFile(path);
        ::setrlimit(RLIMIT_FSIZE, &old);
    }
    std::signal(SIGXFSZ, oldHandler);
    QCOMPARE(results, QList<int>({ -102, -102 }));
    QCOMPARE(testutil::readBytes(path), bytes);
    QCOMPARE(fileState(path), state);
    QCOMPARE(dirEntries(dir.path()), QStringList({ "full.jpg", "picture.bmp", "picture.gif" }));

    // Tags too large for a JPEG's Exif segment are refused, never dropped while reported stored.
    QStringList many;
    for (int i = 0; i < 1500; ++i)
        many << QString("tag%1").arg(i);
    tags.setTextTag(many);
    refused(makePhoto(dir.path(), "big.jpg", true, 200, 150));
}

void TestExivTags::parallelHolders()
{
    // Metadata threads each use their own holder on their own files, XMP included.
    testutil::TempDir dir;
    QStringList files;
    for (int i = 0; i < 8; ++i)
        files << makePhoto(dir.path(), QString("p%1.%2").arg(i).arg(i % 2 ? "png" : "jpg"));
    const std::function<int(const QString&)> writeAndRead = [](const QString& file) {
        int failures = 0;
        for (int round = 0; round < 10; ++round) {
            ExivTags w, r;
            w.setStar(round % 6);
            failures += w.saveTagsToFile(file) != 0 || r.loadTagsFromFile(file) != 0 || r.getStar() != round % 6;
        }
        return failures;
    };
    QCOMPARE(QtConcurrent::blockingMapped<QVector<int>>(files, writeAndRead), QVector<int>(files.size(), 0));
}

void TestExivTags::killedWriterNeverTruncates()
{
    testutil::TempDir dir;
    const QString path = makePhoto(dir.path(), "busy photo.jpg", true, 1600, 1200);
    const QImage image = photomaker::pixels(path);
    const qint64 size = QFileInfo(path).size();
    for (int round = 0; round < 12; ++round) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), { "--write-loop", path });
        QVERIFY(child.waitForStarted());
        QVERIFY(child.waitForReadyRead(20000));
        QTest::qSleep(3 + round * 7);
        child.kill();
        QVERIFY(child.waitForFinished());
        QVERIFY(QFileInfo(path).size() >= size);
        ExivTags read;
        QCOMPARE(read.loadTagsFromFile(path), 0);
        QVERIFY(read.getTextTag().first().startsWith("round "));
        QCOMPARE(photomaker::pixels(path), image);
        // The new file has no name until it is complete; only a kill in the instant between naming it and
        // renaming it over the photo can leave a temporary (the next write removes it, see below).
        for (const QString& name : dirEntries(dir.path()))
            QVERIFY2(name == "busy photo.jpg" || FileReplacer::isTemporaryName(name), qPrintable(name));
    }
}

void TestExivTags::replacementKeepsWhatTheFileHad()
{
    testutil::TempDir dir;
    ExivTags tags;
    setSample(tags);
    const QString path = makePhoto(dir.path(), "属性 photo.jpg");
    const QByteArray p = enc(path);
    // Another desktop program's tags and rating, and an access control list.
    QVERIFY(::setxattr(p.constData(), "user.xdg.tags", "家人,海", strlen("家人,海"), 0) == 0);
    QVERIFY(::setxattr(p.constData(), "user.baloo.rating", "8", 1, 0) == 0);
    const QByteArray acl = aclGrantingNobody();
    QVERIFY(::setxattr(p.constData(), "system.posix_acl_access", acl.constData(), size_t(acl.size()), 0) == 0);
    if (::geteuid() == 0)
        QVERIFY(::chown(p.constData(), 65534, 65534) == 0); // another owner and group, which root can keep
    const QMap<QByteArray, QByteArray> before = attributes(path);
    QCOMPARE(before.size(), 3);
    const struct stat old = statOf(path);

    // A new file, with all the old one had (mode and times as every write keeps them).
    QCOMPARE(tags.saveTagsToFile(path), 0);
    QVERIFY(!tags.wasUnchanged());
    const struct stat now = statOf(path);
    QVERIFY(now.st_ino != old.st_ino);
    QCOMPARE(attributes(path), before);
    QCOMPARE(QList<uint>({ now.st_uid, now.st_gid }), QList<uint>({ old.st_uid, old.st_gid }));

    // The same tags again: the file is not written at all.
    QCOMPARE(tags.saveTagsToFile(path), 0);
    QVERIFY(tags.wasUnchanged());
    QCOMPARE(statOf(path).st_ino, now.st_ino);
}

void TestExivTags::anotherUsersPhoto()
{
    if (::geteuid() != 0)
        QSKIP("needs root to act as another user");
    testutil::TempDir dir;
    QVERIFY(::chmod(enc(dir.path()).constData(), 0777) == 0); // a folder everyone may write
    const auto writeAsNobody = [](const QString& path) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), { "--write-as", "65534", "65534", path });
        return child.waitForFinished(30000) && child.exitCode() == 0 ? child.readAllStandardOutput().trimmed().toInt()
                                                                     : 99;
    };
    struct Case {
        const char* name;
        uid_t uid;
        gid_t gid;
        mode_t mode;
        int result;
    } cases[] = {
        { "root's.jpg", 0, 0, 0644, -102 }, // not the user's to write
        { "group root.jpg", 65534, 0, 0664, -102 }, // the user's, but its group could not be kept
        { "own.jpg", 65534, 65534, 0644, 0 },
    };
    for (const Case& c : cases) {
        const QString path = makePhoto(dir.path(), QString::fromUtf8(c.name));
        QVERIFY(::chown(enc(path).constData(), c.uid, c.gid) == 0 && ::chmod(enc(path).constData(), c.mode) == 0);
        const QByteArray bytes = testutil::readBytes(path);
        QCOMPARE(writeAsNobody(path), c.result);
        const struct stat st = statOf(path);
        QCOMPARE(QList<uint>({ st.st_uid, st.st_gid, st.st_mode & 07777 }), QList<uint>({ c.uid, c.gid, c.mode }));
        if (c.result < 0)
            QCOMPARE(testutil::readBytes(path), bytes);
        else
            QCOMPARE(ExivTags().loadTagsFromFile(path) == 0, true);
    }
    QCOMPARE(dirEntries(dir.path()).size(), 3);
}

void TestExivTags::leftoversOfKilledWritesGo()
{
    testutil::TempDir dir;
    ExivTags tags;
    setSample(tags);
    const QString path = makePhoto(dir.path(), "photo.jpg");
    const auto temporary = [&](const char* photo, const char* random) {
        return dir.file(QFile::decodeName(FileReplacer::temporaryName(photo, random)));
    };
    // A killed writer's temporary, one that a live writer holds, and the user's own files that look alike.
    const QString stale = temporary("photo.jpg", "0a1b2c3d"), live = temporary("photo.jpg", "99aa00ff");
    const QStringList users = { ".notes.vorn-backup", ".x.vorn-abcdef", ".photo.jpg.vorn-AbC123", "notes.vorn-123456",
        ".photo.jpg.vornw-0123456789abcdef" };
    for (const QString& f : QStringList { stale, live } + users)
        QVERIFY(testutil::writeBytes(dir.file(QFileInfo(f).fileName()), "partial"));
    const int held = ::open(enc(live).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(held >= 0 && ::flock(held, LOCK_EX) == 0);
    // Named as ours, but not provably a leftover: no photo beside it, another name for it, another user's.
    QStringList others
        = { temporary("gone.jpg", "00000001"), temporary("photo.jpg", "00000002"), temporary("photo.jpg", "00000003") };
    for (const QString& f : others.mid(0, 2))
        QVERIFY(testutil::writeBytes(f, "partial"));
    QVERIFY(::link(enc(others[1]).constData(), enc(dir.file("linked")).constData()) == 0);
    if (::geteuid() == 0) {
        QVERIFY(testutil::writeBytes(others[2], "partial"));
        QVERIFY(::chown(enc(others[2]).constData(), 65534, 65534) == 0);
    } else {
        others.removeLast();
    }
    // A photo whose name is too long to go whole into the temporary's.
    const QString longName = QString(80, QChar(0x7167)) + ".jpg";
    QVERIFY(!makePhoto(dir.path(), longName).isEmpty());
    const QString longStale = temporary(QFile::encodeName(longName).constData(), "0000abcd");
    QVERIFY(testutil::writeBytes(longStale, "partial"));
    QTest::qSleep(FileReplacer::staleAfterMs + 100);

    QCOMPARE(tags.saveTagsToFile(path), 0);
    QStringList kept = users + QStringList { QFileInfo(live).fileName(), "photo.jpg", longName };
    for (const QString& f : others + QStringList { dir.file("linked") })
        kept << QFileInfo(f).fileName();
    kept.sort();
    QCOMPARE(dirEntries(dir.path()), kept);
    ::close(held);
    QCOMPARE(FileReplacer::removeStale(dir.path()), 1);
    QVERIFY(!QFile::exists(live));
}

// Another program saves new versions of the photos (written beside, renamed over): a tag write never puts an older
// copy back over them.
void TestExivTags::anotherProgramsSaveIsKept()
{
    testutil::TempDir dir;
    const QString path = makePhoto(dir.path(), "照片 edited.jpg");
    const auto saveVersion = [&](int version, int star = -1) {
        const QString beside = dir.file(".editing.tmp");
        QVERIFY(QFile::copy(path, beside));
        QVERIFY(photomaker::setMetadata(beside, { { "Exif.Image.ImageDescription", QString("v%1").arg(version) } }));
        if (star >= 0) {
            ExivTags other;
            other.setStar(star);
            QCOMPARE(other.saveTagsToFile(beside), 0);
        }
        QVERIFY(::rename(enc(beside).constData(), enc(path).constData()) == 0);
    };

    // Written by path while another program saves the photos over and over: no save is undone.
    QStringList photos;
    for (int i = 0; i < 16; ++i)
        photos << makePhoto(dir.path(), QString("p%1.jpg").arg(i), true, 480, 360);
    photomaker::ConcurrentEditor editor(photos);
    QVERIFY(editor.waitForSaves(1));
    QElapsedTimer timer;
    timer.start();
    int written = 0, failed = 0;
    for (int round = 0; timer.elapsed() < 1500; ++round) {
        for (const QString& photo : photos) {
            ExivTags tags;
            tags.setStar(round % 6);
            const int result = tags.saveTagsToFile(photo);
            QVERIFY2(result == 0 || result == ExivTags::Changed, qPrintable(QString::number(result)));
            ++(result == 0 ? written : failed);
        }
    }
    editor.stop();
    QVERIFY2(editor.undone().isEmpty(), qPrintable(editor.undone().join('\n')));
    QVERIFY(editor.saves() > 20);
    QVERIFY(written > 10 * failed);

    // Saved between a holder's load and its save, the tags as they were: the tags go into the new version.
    ExivTags holder;
    QCOMPARE(holder.loadTagsFromFile(path), 0);
    holder.setStar(3);
    saveVersion(2);
    QCOMPARE(holder.saveTagsToFile(), 0);
    QCOMPARE(photomaker::editedVersion(path), 2);
    ExivTags read;
    QCOMPARE(read.loadTagsFromFile(path), 0);
    QCOMPARE(read.getStar(), 3);

    // Saved with other tags: those were not merged, so the photo is left as the other program saved it.
    ExivTags stale;
    QCOMPARE(stale.loadTagsFromFile(path), 0);
    stale.setStar(1);
    saveVersion(3, 5);
    const QByteArray saved = testutil::readBytes(path);
    QCOMPARE(stale.saveTagsToFile(), int(ExivTags::Changed));
    QCOMPARE(testutil::readBytes(path), saved);
}

// A tag write keeps the photo's access time (and modified time), also when it finds nothing to change.
void TestExivTags::accessTimeKept()
{
    testutil::TempDir dir;
    const QString path = makePhoto(dir.path(), "seen.png");
    // Accessed long before it was modified: any read would move the access time.
    const struct timespec set[2] = { { 978310861, 123456789 }, { 1262307723, 987654321 } };
    const auto times = [&] {
        const struct stat st = statOf(path);
        return QList<qint64>({ st.st_atim.tv_sec, st.st_atim.tv_nsec, st.st_mtim.tv_sec, st.st_mtim.tv_nsec });
    };
    const QList<qint64> before = { 978310861, 123456789, 1262307723, 987654321 };
    QVERIFY(::utimensat(AT_FDCWD, enc(path).constData(), set, 0) == 0);
    ExivTags tags;
    setSample(tags);
    QCOMPARE(tags.saveTagsToFile(path), 0);
    QCOMPARE(times(), before);
    QCOMPARE(tags.saveTagsToFile(path), 0);
    QVERIFY(tags.wasUnchanged());
    QCOMPARE(times(), before);
    ExivTags holder;
    QCOMPARE(holder.loadTagsFromFile(path), 0);
    holder.setStar(2);
    QCOMPARE(holder.saveTagsToFile(), 0);
    QCOMPARE(times(), before);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--write-loop") == 0)
        return writeLoop(QFile::decodeName(argv[2]));
    if (argc == 5 && qstrcmp(argv[1], "--write-as") == 0)
        return writeAs(uid_t(atoi(argv[2])), gid_t(atoi(argv[3])), QFile::decodeName(argv[4]));
    TestExivTags test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_exivtags.moc"
