#include "common/testutil.h"
#include "sys/filecopier.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    if (save == QLatin1String("inPlace")) {
        QFile f(source);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek(100) && f.write("saved") == 5);
        saved.replace(100, 5, "saved");
    } else if (save == QLatin1String("append")) {
        QFile f(source);
        QVERIFY(f.open(QIODevice::Append));
        QVERIFY(f.write("saved") == 5);
        saved += "saved";
    } else if (save == QLatin1String("rename")) {
        saved = QByteArray(70000, 'b');
        QVERIFY(writeBytes(from.file(QStringLiteral("new")), saved));
        QVERIFY(::rename(QFile::encodeName(from.file(QStringLiteral("new"))).constData(),
                    QFile::encodeName(source).constData())
            == 0);
    }
    FileCopier::FileId now;
    QVERIFY(FileCopier::fileId(source, now));
    if (save != QLatin1String("rename"))
        QCOMPARE(now, copier.sourceId()); // the same file: its identity alone tells nothing
    QCOMPARE(copier.sourceUnchanged(source), save.isEmpty());
    QCOMPARE(readBytes(source), saved);
    QVERIFY(!copier.sourceUnchanged(from.file(QStringLiteral("missing.jpg"))));
}

QTEST_MAIN(TestFileCopier)
#include "tst_filecopier.moc"
