#include "vornsort/sorttest.h"

#include "sys/datetimeutil.h"

#include <QTest>

class TestTidyCfg : public QObject {
    Q_OBJECT
private slots:
    void loadAndSave();
};

void TestTidyCfg::loadAndSave()
{
    testutil::ProgramDir dir;
    TidyCfg* cfg = TidyCfg::instance(0);
    QCOMPARE(cfg->load(), -1); // no file: the defaults stay
    cfg->SrcPath = "/照片/新 文件夹";
    cfg->KeepSrcFile = false;
    cfg->EndDate = "2020-05-06";
    QCOMPARE(cfg->save(), 0);
    cfg = TidyCfg::instance(1);
    QCOMPARE(cfg->EndDate, CurrentDate());
    QCOMPARE(cfg->load(), 0);
    // The saved end date wins over today's.
    QCOMPARE(QStringList({ cfg->SrcPath, cfg->EndDate }), QStringList({ "/照片/新 文件夹", "2020-05-06" }));
    QVERIFY(!cfg->KeepSrcFile);

    // Keys that are missing or of the wrong type take the defaults: above all, the sources are kept.
    QVERIFY(testutil::writeBytes(dir.file("profile/vornsort.cfg"),
        R"({"LastPath": "/x", "tidy": {"SrcPath": "/a", "PathRuleTimeSrc": 2, "FileModTimeSrc": "3"}})"));
    QCOMPARE(cfg->load(), 0);
    QCOMPARE(QStringList({ cfg->LastPath, cfg->SrcPath, cfg->StartDate, cfg->EndDate }),
        QStringList({ "/x", "/a", "2000-01-01", CurrentDate() }));
    QCOMPARE(QList<int>({ cfg->PathRuleTimeSrc, cfg->FileModTimeSrc, cfg->FileCreateTimeSrc, cfg->KeepSrcFile,
                 cfg->LimitDateRange }),
        QList<int>({ 2, 1, 2, 1, 1 }));

    // A file that does not parse leaves the values as they were.
    QVERIFY(testutil::writeBytes(dir.file("profile/vornsort.cfg"), "{ not json"));
    QCOMPARE(cfg->load(), -1);
    QCOMPARE(cfg->SrcPath, QString("/a"));

    // A save the disk refuses (a full disk) leaves the last file whole, leaves nothing beside it, and says so.
    QCOMPARE(cfg->save(), 0);
    const QByteArray saved = testutil::readBytes(dir.file("profile/vornsort.cfg"));
    cfg->SrcPath = "/b";
    {
        testutil::FileSizeLimit full(64);
        QCOMPARE(cfg->save(), -1);
    }
    QCOMPARE(testutil::readBytes(dir.file("profile/vornsort.cfg")), saved);
    QCOMPARE(QDir(dir.file("profile")).entryList(QDir::Files | QDir::Hidden), QStringList { "vornsort.cfg" });
    QVERIFY(TidyCfg::release());
}

QTEST_GUILESS_MAIN(TestTidyCfg)
#include "tst_tidycfg.moc"
