#include "common/testutil.h"
#include "search/likefindcfg.h"

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
        LikeFindCfg* fresh = LikeFindCfg::instance(1);
        QCOMPARE(fresh->load("vorntwin.cfg"), 0);
        QCOMPARE(fresh->find.FindPath, QStringList({ "/x" }));
        QCOMPARE(fresh->find.NoDiff, 3);
        QCOMPARE(fresh->layout.TextHeight, 30);
    }

    // The ticked conditions, in the table's order, make the comparison; none makes no ordering at all.
    void selectedConditions()
    {
        FindSettings f;
        f.FullContentIsSame = false;
        QCOMPARE(f.selectedFields(), QStringList({ "FileSize", "FileType" }));
        f.FileSizeIsSame = f.FileTypeIsSame = false;
        QVERIFY(f.selectedFields().isEmpty() && f.orderByText().isEmpty());
        f.LastAccessTimeIsSame = f.FullContentIsSame = true;
        QCOMPARE(f.selectedFields(), QStringList({ "FullMD5", "LastAccessTime" }));
    }
};

QTEST_MAIN(TestLikeFindCfg)
#include "tst_likefindcfg.moc"
