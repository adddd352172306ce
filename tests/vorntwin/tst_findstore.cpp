#include "common/testutil.h"
#include "search/filedb.h"
#include "search/filemd5reader.h"
#include "search/findfileinfo.h"
#include "search/findfiletb.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTest>

#include <sys/stat.h>

using namespace testutil;

class TestFindStore : public QObject {
    Q_OBJECT
private slots:
    void rowsRoundTrip()
    {
        TempDir tmp;
        QVERIFY(writeBytes(tmp.file("noext"), "") && writeBytes(tmp.file("a b 照片.JPG"), "abc"));
        FileDb db;
        QVERIFY(db.openDb(":memory:", "storetest", true));
        QCOMPARE(schemaNames(db, "table"), QStringList({ "FindFile", "ResultFile" }));
        QVERIFY(db.initTable());

        FindFileInfo empty, photo;
        empty.loadFromFileInfo(QFileInfo(tmp.file("noext")));
        photo.loadFromFileInfo(QFileInfo(tmp.file("a b 照片.JPG")));
        QVERIFY(empty.FileType.isEmpty());
        QCOMPARE(empty.fieldText("FileSize"), QString("0"));
        QVERIFY(empty.fieldText("filesize").isEmpty());
        QCOMPARE(photo.FileType, QString("JPG"));
        QCOMPARE(photo.fullPath(), tmp.file("a b 照片.JPG"));
        QCOMPARE(photo.CreationTime.size(), 19);

        FindFileTb tb(&db);
        QVERIFY(tb.addFindFile(photo));
        QCOMPARE(tb.addFindFiles({ empty, photo }), 2);
        QSqlQuery q(db.db());
        QVERIFY(q.exec(QString::fromLatin1(FindFileTb::selectSql) + " ORDER BY [FileSize] ASC"));
        QVERIFY(q.next());
        FindFileInfo back;
        back.loadFromQuery(q);
        QCOMPARE(back.FileName, QString("noext"));
        QVERIFY(q.next());
        back.loadFromQuery(q);
        QCOMPARE(back.FileSize, qint64(3));
        QCOMPARE(back.LastWriteTime, photo.LastWriteTime);
        QCOMPARE(back.PartMD5, QString(""));
        QVERIFY(q.next() && !q.next());

        db.clearTables();
        QCOMPARE(queryRows(db, "SELECT count(*) FROM [FindFile]"), QStringList({ "0" }));
    }

    // The running digest: block by block, the rest at once, and never a negative read or a special file.
    void md5Reader()
    {
        TempDir tmp;
        const QByteArray exact(2048, 'q');
        QByteArray big(3 * 1024 * 1024 + 5, '\0');
        for (int i = 0; i < big.size(); ++i)
            big[i] = char(i * 31 + i / 7);
        QVERIFY(writeBytes(tmp.file("exact"), exact) && writeBytes(tmp.file("big"), big));
        auto md5
            = [](const QByteArray& b) { return QString(QCryptographicHash::hash(b, QCryptographicHash::Md5).toHex()); };

        FileMd5Reader r;
        QVERIFY(!r.open(tmp.file("missing")));
        QVERIFY(r.open(tmp.file("exact")));
        QVERIFY(r.readNext());
        QCOMPARE(r.lastBlockSize(), qint64(2048));
        QCOMPARE(r.digest(), md5(exact));
        QVERIFY(r.readNext());
        QCOMPARE(r.lastBlockSize(), qint64(0));
        QCOMPARE(r.digest(), md5(exact));

        QVERIFY(r.open(tmp.file("big")));
        QVERIFY(r.readNext());
        QCOMPARE(r.digest(), md5(big.left(2048)));
        QVERIFY(r.readRest());
        QVERIFY(r.atEnd() && !r.failed());
        QCOMPARE(r.digest(), md5(big));

        QVERIFY(::mkfifo(QFile::encodeName(tmp.file("fifo.jpg")).constData(), 0600) == 0);
        QVERIFY(!r.open(tmp.file("fifo.jpg")));
        QVERIFY(!r.open(tmp.path()));
    }
};

QTEST_MAIN(TestFindStore)
#include "tst_findstore.moc"
