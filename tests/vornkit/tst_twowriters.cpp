// Two processes writing tag rows into one database at once lose no row. The test starts its own
// executable twice as the writers ("--writer <db> <name> <rows> <go-file> <peer>").

#include "common/testutil.h"
#include "db/sqlitedb.h"
#include "db/tagdb.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <cstring>

static int runWriter(int argc, char** argv)
{
    if (argc < 7)
        return 2;
    QCoreApplication app(argc, argv);
    const QString dbFile = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
    const int rows = atoi(argv[4]);
    const QString go = QString::fromLocal8Bit(argv[5]);
    const QString peer = QString::fromLocal8Bit(argv[6]);
    TagDb db;
    if (!db.openDb(dbFile, name, false))
        return 3;
    auto waitFor = [](const QString& file) {
        QElapsedTimer wait;
        wait.start();
        while (!QFile::exists(file)) {
            if (wait.elapsed() > 30000)
                return false;
            QThread::usleep(500);
        }
        return true;
    };
    // Start together with the other writer.
    if (!waitFor(go))
        return 4;
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    const QString sql = "insert into [filetag] ([path], [file], [star]) values ('/照片/%1', '/照片/%1/%2.jpg', %3)";
    for (int i = 0; i < rows; ++i) {
        // Halfway, meet the other writer, so both are surely at work at once however the machine schedules them.
        if (i == rows / 2) {
            testutil::writeBytes(go + "." + name, "1");
            if (!waitFor(go + "." + peer))
                return 6;
        }
        if (!db.execNoQuery(sql.arg(name).arg(i).arg(i % 6)))
            return 5;
    }
    // When this writer began and ended, for the overlap check.
    printf("%lld %lld\n", start, QDateTime::currentMSecsSinceEpoch());
    return 0;
}

class TestTwoWriters : public QObject {
    Q_OBJECT
private slots:
    void noRowLost();
};

void TestTwoWriters::noRowLost()
{
    testutil::TempDir dir;
    const QString dbFile = dir.file("data/tag.db");
    {
        TagDb db; // schema made before the writers start
        QVERIFY(db.openDb(dbFile, "setup", false));
    }
    const QString go = dir.file("go");
    const int rows = 400;
    QProcess writers[2];
    for (int i = 0; i < 2; ++i) {
        writers[i].setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writers[i].start(QCoreApplication::applicationFilePath(),
            { "--writer", dbFile, QString(QChar('A' + i)), QString::number(rows), go, QString(QChar('B' - i)) });
        QVERIFY(writers[i].waitForStarted(10000));
    }
    QVERIFY(testutil::writeBytes(go, "1"));
    QPair<qint64, qint64> spans[2];
    for (int i = 0; i < 2; ++i) {
        QVERIFY(writers[i].waitForFinished(120000));
        QCOMPARE(writers[i].exitStatus(), QProcess::NormalExit);
        QCOMPARE(writers[i].exitCode(), 0);
        const QList<QByteArray> span = writers[i].readAllStandardOutput().trimmed().split(' ');
        QCOMPARE(span.size(), 2);
        spans[i] = { span[0].toLongLong(), span[1].toLongLong() };
    }
    TagDb db;
    QVERIFY(db.openDb(dbFile, "check", false));
    QCOMPARE(testutil::queryRows(db, "select [path], count(*) from [filetag] group by [path] order by [path]"),
        QStringList({ "/照片/A|400", "/照片/B|400" }));
    // The writers were at work at the same time.
    QVERIFY2(spans[0].first < spans[1].second && spans[1].first < spans[0].second, "the writers did not overlap");
}

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--writer") == 0)
        return runWriter(argc, argv);
    QCoreApplication app(argc, argv);
    TestTwoWriters test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_twowriters.moc"
