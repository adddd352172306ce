#include "common/testutil.h"
#include "search/likefindcfg.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace testutil;

class TestLikeFindCfg : public QObject {
    Q_OBJECT
private slots:
    void init() { LikeFindCfg::instance(1); }
    void cleanup() { LikeFindCfg::release(); }

    // Missing keys take their defaults one by one; a file that does not parse keeps what the object holds.
    void loadKeepsDefaultsPerKey()
    {
        ProgramDir program;
        LikeFindCfg* cfg = LikeFindCfg::get();
        QCOMPARE(cfg->load("vorntwin.cfg"), -1);
        QVERIFY(writeBytes(program.file("profile/vorntwin.cfg"),
            R"({"LastPath":"/p","find":{"FileNameIsSame":true,"LittleDiff":"x","MediumDiff":35,)"
            R"("FindPath":["/a","/b 照片"]},"layout":{"ItemWidth":150}})"));
        cfg->find.FullContentIsSame = false;
        QCOMPARE(cfg->load("vorntwin.cfg"), 0);
        QCOMPARE(cfg->LastPath, QString("/p"));
        QVERIFY(cfg->find.FileNameIsSame && cfg->find.FullContentIsSame);
        QCOMPARE(cfg->find.LittleDiff, 10);
        QCOMPARE(cfg->find.MediumDiff, 35);
        QCOMPARE(cfg->find.FindPath, QStringList({ "/a", "/b 照片" }));
        QCOMPARE(cfg->layout.ItemWidth, 150);
        QCOMPARE(cfg->layout.ItemHeight, 300);
        // Loading computes no rectangle.
        QVERIFY(cfg->layout.imageRect.isNull());

        QVERIFY(writeBytes(program.file("profile/vorntwin.cfg"), "{broken"));
        QCOMPARE(cfg->load("vorntwin.cfg"), -1);
        QCOMPARE(cfg->find.MediumDiff, 35);
        QVERIFY(writeBytes(program.file("profile/vorntwin.cfg"), "[1, 2]"));
        QCOMPARE(cfg->load("vorntwin.cfg"), 0);
        QCOMPARE(cfg->find.MediumDiff, 20);
        QVERIFY(cfg->find.FindPath.isEmpty() && !cfg->find.FileNameIsSame);

        cfg->find.FindPath = QStringList { "/x" };
        cfg->find.NoDiff = 3;
        cfg->layout.TextHeight = 30;
        QCOMPARE(cfg->save("vorntwin.cfg"), 0);
        const QJsonObject saved = QJsonDocument::fromJson(readBytes(program.file("profile/vorntwin.cfg"))).object();
        QCOMPARE(saved.value("find").toObject().size(), 16);
        QCOMPARE(saved.value("layout").toObject().size(), 4);
        LikeFindCfg* fresh = LikeFindCfg::instance(1);
        QCOMPARE(fresh->load("vorntwin.cfg"), 0);
        QCOMPARE(fresh->find.FindPath, QStringList({ "/x" }));
        QCOMPARE(fresh->find.NoDiff, 3);
        QCOMPARE(fresh->layout.TextHeight, 30);
    }

    void keysOrderAndRects()
    {
        FindSettings f;
        f.FullContentIsSame = false;
        QCOMPARE(f.selectedFields(), QStringList({ "FileSize", "FileType" }));
        QCOMPARE(f.orderByText(), QString("[FileSize] ASC,  [FileType] ASC"));
        f.FileSizeIsSame = f.FileTypeIsSame = false;
        QVERIFY(f.selectedFields().isEmpty() && f.orderByText().isEmpty());
        f.LastAccessTimeIsSame = f.FullContentIsSame = true;
        QCOMPARE(f.selectedFields(), QStringList({ "FullMD5", "LastAccessTime" }));
        QCOMPARE(LikeFindCfg::fieldTitle("PartMD5"), QString("文件MD5"));
        QVERIFY(LikeFindCfg::fieldTitle("filesize").isEmpty());

        FindLayout l;
        l.updateRects();
        QCOMPARE(l.imageRect, QRect(2, 2, 296, 274));
        QCOMPARE(l.textRect, QRect(2, 278, 296, 20));
        l.translateRects(10, 20);
        QCOMPARE(l.itemRect, QRect(10, 20, 300, 300));
        QCOMPARE(l.textRect.topLeft(), QPoint(12, 298));
    }
};

QTEST_MAIN(TestLikeFindCfg)
#include "tst_likefindcfg.moc"
