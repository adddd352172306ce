#include "common/testutil.h"
#include "sys/filecopier.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTest>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

using namespace testutil;

namespace {

// Gives the file an old modified time, so that any write now shows in it.
bool ageFile(const QString& path)
{
    const struct timespec times[2] = { { 1000000000, 0 }, { 1000000000, 0 } };
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

// Another program's save of the source: "inPlace" (same size, same file), "append", or "rename" (a new file put
// over the name); saved becomes what the source holds afterwards.
bool saveSource(const QString& source, const QString& save, QByteArray& saved)
{
    if (save == QLatin1String("inPlace")) {
        QFile f(source);
        if (!f.open(QIODevice::ReadWrite) || !f.seek(100) || f.write("saved") != 5)
            return false;
        saved.replace(100, 5, "saved");
    } else if (save == QLatin1String("append")) {
        QFile f(source);
        if (!f.open(QIODevice::Append) || f.write("saved") != 5)
            return false;
        saved += "saved";
    } else if (save == QLatin1String("rename")) {
        saved = QByteArray(saved.size(), 'b');
        const QString scratch = source + QStringLiteral(".new");
        if (!writeBytes(scratch, saved)
            || ::rename(QFile::encodeName(scratch).constData(), QFile::encodeName(source).constData()) != 0)
            return false;
    }
    return true;
}

} // namespace

class TestFileCopier : public QObject {
    Q_OBJECT
private slots:
    void sourceChangedAfterCopy_data();
    void sourceChangedAfterCopy();
};

void TestFileCopier::sourceChangedAfterCopy_data()
{
    QTest::addColumn<QString>("save");
    QTest::newRow("nothing") << QString();
    QTest::newRow("in place, same size") << QStringLiteral("inPlace");
    QTest::newRow("appended") << QStringLiteral("append");
    QTest::newRow("renamed over") << QStringLiteral("rename");
}

// A move takes the source away only while it is the file copied, as it was copied: a save by another program after
// the copy was checked (in place keeps the file's identity) leaves the source, which holds the only copy of it.
void TestFileCopier::sourceChangedAfterCopy()
{
    QFETCH(QString, save);
    TempDir from;
    TempDir to;
    const QString source = from.file(QStringLiteral("照片 1.jpg"));
    const QByteArray bytes(70000, 'a');
    QVERIFY(writeBytes(source, bytes));
    QVERIFY(ageFile(source));

    // The steps of a move: a copy checked byte for byte, on the disk, under its name.
    FileCopier copier;
    QVERIFY(copier.openSource(source));
    QVERIFY(copier.copyTo(to.path()));
    QVERIFY(copier.keepSourceTimes());
    QVERIFY(copier.verify(true));
    QVERIFY(copier.syncData());
    QCOMPARE(copier.publish(to.file(QStringLiteral("照片 1.jpg"))), FileCopier::Published);

    QByteArray saved = bytes;
    QVERIFY(saveSource(source, save, saved));
    FileCopier::FileId now;
    QVERIFY(FileCopier::fileId(source, now));
    if (save != QLatin1String("rename"))
        QCOMPARE(now, copier.sourceId()); // the same file: its identity alone tells nothing
    QCOMPARE(copier.sourceUnchanged(source), save.isEmpty());
    QCOMPARE(readBytes(source), saved);
    QVERIFY(!copier.sourceUnchanged(from.file(QStringLiteral("missing.jpg"))));

    // The same save through a move onto another file system, made once the copy has its name and just before the
    // source would go: the source stays with the save, and nothing is left at the target.
    TempDir other(QStringLiteral("/dev/shm"));
    if (sameFileSystem(other.path(), from.path()))
        QSKIP("no second file system at /dev/shm");
    QVERIFY(writeBytes(source, bytes));
    QVERIFY(ageFile(source));
    saved = bytes;
    bool saveMade = false;
    FileCopier::setSourceRemovalHook([&](const QString& path) {
        saveMade = path == source && readBytes(other.file(QStringLiteral("照片 1.jpg"))) == bytes
            && saveSource(path, save, saved);
    });
    const auto noHook = qScopeGuard([] { FileCopier::setSourceRemovalHook({}); });
    const FileCopier::Publish moved = FileCopier::moveFile(source, other.file(QStringLiteral("照片 1.jpg")));
    QVERIFY(saveMade);
    if (save.isEmpty()) {
        QCOMPARE(moved, FileCopier::Published);
        QVERIFY(!QFileInfo::exists(source));
        QCOMPARE(readBytes(other.file(QStringLiteral("照片 1.jpg"))), bytes);
    } else {
        QCOMPARE(moved, FileCopier::PublishFailed);
        QCOMPARE(readBytes(source), saved);
        QCOMPARE(QDir(other.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }
}

QTEST_MAIN(TestFileCopier)
#include "tst_filecopier.moc"
