#include "exivtags.h"
#include "exivutil.h"
#include "fileattrirestore.h"
#include "filetimerestore.h"
#include "photomaker.h"
#include "testutil.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <QThreadPool>
#include <QtConcurrent>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

using photomaker::makePhoto;

namespace {
// Reaches the JSON helpers.
class TagsProbe : public ExivTags {
public:
    using ExivTags::loadFromJson;
    using ExivTags::saveToJson;
};

const QList<uint> kColors = { 0xFFFF0000u, 0xFF00AAFFu };
const QStringList kTexts = { "家人", "beach trip", "2024" };

void setSample(ExivTags& tags)
{
    tags.setStar(4);
    tags.setRgb(kColors);
    tags.setTextTag(kTexts);
}

QByteArray sampleJson()
{
    return photomaker::tagsJson(4, kColors, kTexts);
}

mode_t modeOf(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Sets the modified time (and the access time a minute later), with nanoseconds below the millisecond.
void setModified(const QString& path, const QDateTime& when)
{
    const qint64 ms = when.toMSecsSinceEpoch();
    struct timespec ts[2];
    ts[0].tv_sec = ms / 1000 + 60;
    ts[0].tv_nsec = (ms % 1000) * 1000000 + 789;
    ts[1].tv_sec = ms / 1000;
    ts[1].tv_nsec = (ms % 1000) * 1000000 + 789;
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), ts, 0) == 0);
}

// Metadata that a tag write must leave alone: all but the two comments and offsets into the file.
QMap<QString, QString> otherMetadata(const QString& path)
{
    QMap<QString, QString> m = photomaker::readMetadata(path);
    for (const char* key : { "Exif.Photo.UserComment", "Exif.Image.XPComment", "Exif.Image.ExifTag",
             "Exif.Image.GPSTag", "Exif.Photo.InteroperabilityTag", "Exif.Image.StripOffsets", "Exif.Image.TileOffsets",
             "Exif.Thumbnail.JPEGInterchangeFormat",
             // a TIFF's XMP packet is laid out anew; its Xmp.* content is compared
             "Exif.Image.XMLPacket" })
        m.remove(key);
    return m;
}

QStringList dirEntries(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

void checkTagsInFile(const QString& path)
{
    ExivTags read;
    QCOMPARE(read.loadTagsFromFile(path), 0);
    QVERIFY(read.getHasTags());
    QCOMPARE(read.getStar(), 4);
    QCOMPARE(read.getRgb(), kColors);
    QCOMPARE(read.getTextTag(), kTexts);
    ExivTags fromData;
    QCOMPARE(fromData.loadTagsFromData(testutil::readBytes(path)), 0);
    QCOMPARE(fromData.getTextTag(), kTexts);
    // Both fields hold the same document, as other readers see it too.
    const QJsonObject expected = QJsonDocument::fromJson(sampleJson()).object();
    QCOMPARE(QJsonDocument::fromJson(photomaker::readComment(path, "Exif.Photo.UserComment")).object(), expected);
    QCOMPARE(QJsonDocument::fromJson(photomaker::readComment(path, "Exif.Image.XPComment")).object(), expected);
    QCOMPARE(QJsonDocument::fromJson(photomaker::exiftoolUserComment(path)).object(), expected);
    QCOMPARE(QJsonDocument::fromJson(photomaker::exiv2ToolXpComment(path)).object(), expected);
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
} // namespace

class TestExivTags : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initExiv2(); }
    void jsonDocument();
    void readingSources();
    void writeFormats_data();
    void writeFormats();
    void otherProgramsPhotos_data();
    void otherProgramsPhotos();
    void awkwardFiles();
    void unwritableFormats();
    void failedWriteLeavesOriginal();
    void keepers();
    void parallelHolders();
    void killedWriterNeverTruncates();
};

void TestExivTags::jsonDocument()
{
    TagsProbe t;
    QCOMPARE(t.loadFromJson("not json"), -1);
    // Each of the three keys is required.
    for (const char* drop : { "starTag", "colorTag", "textTag" }) {
        QJsonObject obj = QJsonDocument::fromJson(sampleJson()).object();
        obj.remove(drop);
        QCOMPARE(t.loadFromJson(QJsonDocument(obj).toJson()), -1);
    }
    QVERIFY(!t.getHasTags());
    QCOMPARE(t.getStar(), 0);

    QCOMPARE(t.loadFromJson(R"({"starTag":{"star":9},"colorTag":{"colors":[4278190080,"4294901760","x"]},
                                "textTag":{"texts":["a"]}})"),
        0);
    QVERIFY(t.getHasTags());
    QCOMPARE(t.getStar(), 5); // clamped
    QCOMPARE(t.getRgb(), QList<uint>({ 0u, 0xFFFF0000u, 0u }));
    QCOMPARE(t.loadFromJson(R"({"starTag":{"star":-2},"colorTag":{},"textTag":{"texts":["b"]}})"), 0);
    QCOMPARE(t.getStar(), 0);
    QCOMPARE(t.getTextTag(), QStringList({ "a", "b" })); // appended

    TagsProbe s;
    s.setStar(3);
    s.setRgb(kColors);
    s.setTextTag(kTexts);
    const QJsonObject doc = QJsonDocument::fromJson(s.saveToJson()).object();
    QCOMPARE(doc, QJsonDocument::fromJson(photomaker::tagsJson(3, kColors, kTexts)).object());
    QVERIFY(s.saveToJson().contains("\n    ")); // indented
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
    QCOMPARE(ExivTags().loadTagsFromData(testutil::readBytes(doc)), -2);

    // UserComment first, XPComment holding other text.
    QVERIFY(photomaker::setComment(doc, "Exif.Photo.UserComment", sampleJson()));
    QVERIFY(photomaker::setUtf16XpComment(doc, "a comment from elsewhere"));
    ExivTags first;
    QCOMPARE(first.loadTagsFromFile(doc), 0);
    QCOMPARE(first.getTextTag(), kTexts);

    // UserComment not JSON: XPComment as this suite writes it is the fallback.
    QVERIFY(photomaker::setComment(doc, "Exif.Photo.UserComment", "just words"));
    QVERIFY(photomaker::setComment(doc, "Exif.Image.XPComment", photomaker::tagsJson(2, {}, { "备用" })));
    ExivTags fallback;
    QCOMPARE(fallback.loadTagsFromFile(doc), 0);
    QVERIFY(fallback.getHasTags());
    QCOMPARE(fallback.getStar(), 2);
    QCOMPARE(fallback.getTextTag(), QStringList({ "备用" }));
    ExivTags fallbackData;
    QCOMPARE(fallbackData.loadTagsFromData(testutil::readBytes(doc)), 0);
    QCOMPARE(fallbackData.getStar(), 2);

    // Neither holds tags: -1 and nothing changed.
    QVERIFY(photomaker::setUtf16XpComment(doc, "{\"starTag\":{}}"));
    ExivTags neither;
    neither.setStar(1);
    QCOMPARE(neither.loadTagsFromFile(doc), -1);
    QCOMPARE(neither.getStar(), 1);
    QVERIFY(!neither.getHasTags());
    QCOMPARE(ExivTags().loadTagsFromData(testutil::readBytes(doc)), -1);

    QCOMPARE(ExivTags().loadTagsFromData(QByteArray()), -1);
    QCOMPARE(ExivTags().loadTagsFromData("plain text, not a picture"), -1);
    QCOMPARE(ExivTags().loadTagsFromFile(dir.file("missing.jpg")), -1);
}

void TestExivTags::writeFormats_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("withExif");
    for (const char* suffix : { "jpg", "png", "tif", "webp" }) {
        QTest::newRow(QByteArray(suffix) + " with exif") << QString("photo.%1").arg(suffix) << true;
        QTest::newRow(QByteArray(suffix) + " without exif") << QString("photo.%1").arg(suffix) << false;
    }
}

void TestExivTags::writeFormats()
{
    QFETCH(QString, name);
    QFETCH(bool, withExif);
    testutil::TempDir dir;
    const QString path = makePhoto(dir.path(), name, withExif, 120, 80);
    QVERIFY(!path.isEmpty());
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
    const QDateTime modified = QDateTime::fromString("2020-03-04T05:06:07.250", Qt::ISODateWithMs);
    setModified(path, modified);
    const QMap<QString, QString> metadata = otherMetadata(path);
    QVERIFY(!metadata.contains("!error"));
    if (withExif)
        QCOMPARE(metadata.value("Exif.Image.Model"), QString("VC-100"));
    struct stat before;
    QVERIFY(::stat(QFile::encodeName(path).constData(), &before) == 0);
    const QImage image = photomaker::pixels(path);
    QVERIFY(!image.isNull());

    ExivTags tags;
    setSample(tags);
    QCOMPARE(tags.saveTagsToFile(path), 0);
    checkTagsInFile(path);
    QCOMPARE(otherMetadata(path), metadata);
    QCOMPARE(photomaker::pixels(path), image);
    QCOMPARE(modeOf(path), mode_t(0640));
    QCOMPARE(QFileInfo(path).lastModified(), modified);
    struct stat after;
    QVERIFY(::stat(QFile::encodeName(path).constData(), &after) == 0);
    QCOMPARE(qint64(after.st_mtim.tv_nsec), qint64(before.st_mtim.tv_nsec));
    QCOMPARE(qint64(after.st_atim.tv_sec), qint64(before.st_atim.tv_sec));
    QCOMPARE(dirEntries(dir.path()), QStringList({ name }));

    // Writing again through the holder that loaded the file.
    ExivTags loaded;
    QCOMPARE(loaded.loadTagsFromFile(path), 0);
    loaded.setStar(1);
    QCOMPARE(loaded.saveTagsToFile(), 0);
    ExivTags again;
    QCOMPARE(again.loadTagsFromFile(path), 0);
    QCOMPARE(again.getStar(), 1);
    QCOMPARE(again.getTextTag(), kTexts);
    QCOMPARE(otherMetadata(path), metadata);
    QCOMPARE(photomaker::pixels(path), image);
    QCOMPARE(QFileInfo(path).lastModified(), modified);
    QCOMPARE(dirEntries(dir.path()), QStringList({ name }));
}

void TestExivTags::otherProgramsPhotos_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("jpeg") << "other.jpg";
    QTest::newRow("tiff") << "other.tif";
    QTest::newRow("png") << "other.png";
}

// Photos laid out by ImageMagick and exiftool (Exif, IPTC, XMP, JPEG comment): as exiftool
// reads them, nothing but the two comments changes.
void TestExivTags::otherProgramsPhotos()
{
    QFETCH(QString, name);
    testutil::TempDir dir;
    const QString path = dir.file(name);
    int code = -1;
    photomaker::runTool("convert", { "-size", "160x120", "gradient:orange-navy", path }, &code);
    if (code != 0)
        QSKIP("ImageMagick convert is not available");
    photomaker::runTool("exiftool",
        { "-q", "-q", "-overwrite_original", "-Make=Canon", "-Model=EOS 5D", "-DateTimeOriginal=2021:02:03 04:05:06",
            "-ExposureTime=1/200", "-FNumber=5.6", "-ISO=400", "-GPSLatitude=31.2", "-GPSLatitudeRef=N",
            "-IPTC:Keywords=holiday", "-IPTC:City=Shanghai", "-XMP:Subject=sea", "-XMP:Rating=3", "-Comment=a comment",
            "-Artist=摄影师", "-ImageDescription=desc", path },
        &code);
    if (code != 0)
        QSKIP("exiftool is not available");
    auto fields = [&] {
        const QByteArray out = photomaker::runTool("exiftool", { "-j", "-a", "-G1", "-n", "-x", "System:all", path });
        QJsonObject obj = QJsonDocument::fromJson(out).array().at(0).toObject();
        // Offsets into the file, and the byte order exiv2 always uses for a PNG's Exif.
        for (const char* key : { "SourceFile", "ExifTool:ExifToolVersion", "IFD0:StripOffsets", "IFD0:XPComment",
                 "ExifIFD:UserComment", "File:ExifByteOrder" })
            obj.remove(key);
        return obj;
    };
    const QJsonObject before = fields();
    QCOMPARE(before.value("IFD0:Model").toString(), QString("EOS 5D"));
    QCOMPARE(before.value("XMP-dc:Subject").toString(), QString("sea"));
    const QImage image = photomaker::pixels(path);
    ExivTags tags;
    setSample(tags);
    QCOMPARE(tags.saveTagsToFile(path), 0);
    checkTagsInFile(path);
    QCOMPARE(fields(), before);
    QCOMPARE(photomaker::pixels(path), image);
}

void TestExivTags::awkwardFiles()
{
    testutil::TempDir dir;

    // Read-only: written, read-only again, times kept.
    const QString readOnly = makePhoto(dir.path(), "readonly.jpg");
    const QDateTime modified = QDateTime::fromString("2019-05-06T07:08:09", Qt::ISODate);
    setModified(readOnly, modified);
    QVERIFY(::chmod(QFile::encodeName(readOnly).constData(), 0444) == 0);
    ExivTags tags;
    setSample(tags);
    QCOMPARE(tags.saveTagsToFile(readOnly), 0);
    checkTagsInFile(readOnly);
    QCOMPARE(modeOf(readOnly), mode_t(0444));
    QCOMPARE(QFileInfo(readOnly).lastModified(), modified);
    ExivTags holder;
    QCOMPARE(holder.loadTagsFromFile(readOnly), 0);
    QCOMPARE(modeOf(readOnly), mode_t(0444)); // never lifted for the life of a holder
    holder.setStar(2);
    QCOMPARE(holder.saveTagsToFile(), 0);
    QCOMPARE(modeOf(readOnly), mode_t(0444));

    // Chinese characters and blanks in the name.
    const QString chinese = makePhoto(dir.path(), "旅行 照片 01.jpg");
    QVERIFY(!chinese.isEmpty());
    QCOMPARE(tags.saveTagsToFile(chinese), 0);
    checkTagsInFile(chinese);

    // A symbolic link: the target takes the tags, the link stays a link.
    const QString target = makePhoto(dir.path(), "target.png");
    const QString link = dir.file("link.png");
    QVERIFY(QFile::link(target, link));
    QCOMPARE(tags.saveTagsToFile(link), 0);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFileInfo(link).symLinkTarget(), target);
    checkTagsInFile(target);

    // Not pictures, or broken ones: negative, untouched.
    const QString empty = dir.file("empty.jpg");
    const QString text = dir.file("notes.png");
    const QString truncated = dir.file("truncated.jpg");
    QVERIFY(testutil::writeBytes(empty, QByteArray()));
    QVERIFY(testutil::writeBytes(text, QByteArray("these are notes, not a picture\n").repeated(20)));
    const QByteArray whole = testutil::readBytes(makePhoto(dir.path(), "whole.jpg", true, 300, 200));
    for (int cut : { 2, 20, 200, whole.size() / 2 }) {
        QVERIFY(testutil::writeBytes(truncated, whole.left(cut)));
        for (const QString& bad : { empty, text, truncated }) {
            const QByteArray bytes = testutil::readBytes(bad);
            ExivTags t;
            setSample(t);
            const int result = t.saveTagsToFile(bad);
            if (bad == truncated && cut == whole.size() / 2) {
                // Exif intact, picture data cut short: the tags go in, the data stays as it was.
                QCOMPARE(result, 0);
                QCOMPARE(ExivTags().loadTagsFromFile(bad), 0);
                continue;
            }
            QVERIFY2(result < 0, qPrintable(bad));
            QCOMPARE(testutil::readBytes(bad), bytes);
            ExivTags r;
            QVERIFY(r.loadTagsFromFile(bad) <= 0);
            QVERIFY(!r.getHasTags());
            QVERIFY(r.saveTagsToFile() < 0);
            QCOMPARE(testutil::readBytes(bad), bytes);
        }
    }
    QCOMPARE(ExivTags().saveTagsToFile(dir.file("missing.jpg")), -1);
    QCOMPARE(ExivTags().saveTagsToFile(), -1);
    QCOMPARE(ExivTags().saveTagsToFile(QString()), -1);

    for (const QString& name : dirEntries(dir.path()))
        QVERIFY2(!name.startsWith('.'), qPrintable(name));
}

void TestExivTags::unwritableFormats()
{
    testutil::TempDir dir;
    for (const char* name : { "picture.gif", "picture.bmp" }) {
        const QString path = makePhoto(dir.path(), name, false);
        QVERIFY(!path.isEmpty());
        const QByteArray bytes = testutil::readBytes(path);
        ExivTags tags;
        setSample(tags);
        QCOMPARE(tags.saveTagsToFile(path), -102);
        QCOMPARE(testutil::readBytes(path), bytes);
        ExivTags loaded;
        if (loaded.loadTagsFromFile(path) == 0) {
            QCOMPARE(loaded.saveTagsToFile(), -102);
            QCOMPARE(testutil::readBytes(path), bytes);
        }
    }
    QCOMPARE(dirEntries(dir.path()), QStringList({ "picture.bmp", "picture.gif" }));
}

void TestExivTags::failedWriteLeavesOriginal()
{
    // A file-size limit stands in for a full disk: the write fails part-way.
    testutil::TempDir dir;
    const QString path = makePhoto(dir.path(), "full.jpg", true, 200, 150);
    const QByteArray bytes = testutil::readBytes(path);
    const mode_t mode = modeOf(path);
    struct rlimit old;
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &old) == 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    int results[2];
    const rlim_t limits[2] = { rlim_t(bytes.size() / 2), rlim_t(bytes.size() + 16) };
    for (int i = 0; i < 2; ++i) {
        struct rlimit small = old;
        small.rlim_cur = limits[i];
        ::setrlimit(RLIMIT_FSIZE, &small);
        ExivTags tags;
        setSample(tags);
        results[i] = tags.saveTagsToFile(path);
        ::setrlimit(RLIMIT_FSIZE, &old);
    }
    std::signal(SIGXFSZ, oldHandler);
    QCOMPARE(results[0], -102);
    QCOMPARE(results[1], -102);
    QCOMPARE(testutil::readBytes(path), bytes);
    QCOMPARE(modeOf(path), mode);
    QCOMPARE(dirEntries(dir.path()), QStringList({ "full.jpg" }));
}

void TestExivTags::keepers()
{
    testutil::TempDir dir;
    const QString path = dir.file("kept.txt");
    QVERIFY(testutil::writeBytes(path, "abc"));
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0444) == 0);
    {
        // Lifts the read-only mark and puts the mode back, at restore() and when it goes.
        FileAttriRestore attr(path, true);
        QVERIFY(attr.isHeld());
        QCOMPARE(modeOf(path), mode_t(0644));
        QCOMPARE(attr.restore(), 0);
        QCOMPARE(modeOf(path), mode_t(0444));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0600) == 0);
    }
    QCOMPARE(modeOf(path), mode_t(0444));
    {
        // A mode that could not be read is never applied.
        FileAttriRestore missing;
        QCOMPARE(missing.save(dir.file("missing.txt"), true), -1);
        QVERIFY(!missing.isHeld());
        QCOMPARE(missing.restore(), -1);
        QCOMPARE(missing.restoreTo(path), -1);
    }
    QCOMPARE(modeOf(path), mode_t(0444));
    QVERIFY(!QFile::exists(dir.file("missing.txt")));

    const QDateTime old = QDateTime::fromString("2018-01-02T03:04:05", Qt::ISODate);
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
    setModified(path, old);
    {
        FileTimeRestore times(path);
        QVERIFY(times.isHeld());
        QVERIFY(testutil::writeBytes(path, "changed"));
        QVERIFY(QFileInfo(path).lastModified() != old);
    }
    QCOMPARE(QFileInfo(path).lastModified(), old);
    FileTimeRestore times(path);
    QVERIFY(testutil::writeBytes(path, "again"));
    QCOMPARE(times.restore(), 0);
    QCOMPARE(QFileInfo(path).lastModified(), old);
    QCOMPARE(times.restore(), -1);
    QCOMPARE(FileTimeRestore().restore(), -1);
    QCOMPARE(FileTimeRestore(dir.file("missing.txt")).isHeld(), false);
}

void TestExivTags::parallelHolders()
{
    // Metadata threads each use their own holder on their own files, XMP included.
    testutil::TempDir dir;
    QStringList files;
    for (int i = 0; i < 8; ++i)
        files << makePhoto(dir.path(), QString("p%1.%2").arg(i).arg(i % 2 ? "png" : "jpg"));
    QVector<int> failures(files.size(), 0);
    QThreadPool pool;
    pool.setMaxThreadCount(4);
    for (int i = 0; i < files.size(); ++i) {
        QtConcurrent::run(&pool, [&, i] {
            for (int round = 0; round < 10; ++round) {
                ExivTags w;
                w.setStar(round % 6);
                w.setTextTag({ QString::number(round) });
                ExivTags r;
                if (w.saveTagsToFile(files[i]) != 0 || r.loadTagsFromData(testutil::readBytes(files[i])) != 0
                    || r.getStar() != round % 6)
                    ++failures[i];
            }
        });
    }
    pool.waitForDone();
    QCOMPARE(failures, QVector<int>(files.size(), 0));
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
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QVERIFY(QFileInfo(path).size() >= size);
        ExivTags read;
        QCOMPARE(read.loadTagsFromFile(path), 0);
        QVERIFY(read.getHasTags());
        QVERIFY(read.getTextTag().first().startsWith("round "));
        QCOMPARE(photomaker::pixels(path), image);
    }
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--write-loop") == 0)
        return writeLoop(QFile::decodeName(argv[2]));
    TestExivTags test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_exivtags.moc"
