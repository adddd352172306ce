#include "vornsort/sorttest.h"

#include "sys/datetimeutil.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

class TestTidyCfg : public QObject {
    Q_OBJECT
private slots:
    void loadAndSave();
    void samePlan();
};

void TestTidyCfg::loadAndSave()
{
    testutil::ProgramDir dir;
    TidyCfg* cfg = TidyCfg::instance(0);
    QCOMPARE(TidyCfg::get(), cfg);
    // No file: -1, the defaults stay, the profile folder is made.
    QCOMPARE(cfg->load(), -1);
    QVERIFY(QDir(dir.file("profile")).exists());
    QCOMPARE(cfg->EndDate, CurrentDate());

    cfg->SrcPath = "/照片/新 文件夹";
    cfg->PathRuleTime = 14;
    cfg->PathRuleTimeStr = "yyyy-MM";
    cfg->KeepSrcFile = false;
    cfg->LimitDateRange = false;
    cfg->EndDate = "2020-05-06";
    QCOMPARE(cfg->save(), 0);
    const QJsonObject root = QJsonDocument::fromJson(testutil::readBytes(dir.file("profile/vornsort.cfg"))).object();
    QCOMPARE(root.value("tidy").toObject().size(), 12);
    QVERIFY(root.value("tidy").toObject().value("KeepSrcFile").isBool());
    cfg = TidyCfg::instance(1);
    QCOMPARE(cfg->load(), 0);
    // The saved end date wins over today's.
    QCOMPARE(QStringList({ cfg->SrcPath, cfg->PathRuleTimeStr, cfg->EndDate }),
        QStringList({ "/照片/新 文件夹", "yyyy-MM", "2020-05-06" }));
    QCOMPARE(QList<int>({ cfg->PathRuleTime, cfg->KeepSrcFile, cfg->LimitDateRange }), QList<int>({ 14, 0, 0 }));

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
    QVERIFY(TidyCfg::release());
    QVERIFY(!TidyCfg::release());
}

void TestTidyCfg::samePlan()
{
    const TidyCfg a = sorttest::cfgFor("/src", "/dst");
    // What only the execution reads does not change the plan; anything that places or times a file does.
    TidyCfg b = a;
    b.KeepSrcFile = !a.KeepSrcFile;
    b.FileExistsOpt = TidyCfg::ExistsReplace;
    b.PathRuleTime = 3;
    b.StartDate = "1999-01-01"; // the range is off
    QVERIFY(a.samePlan(b));
    QList<std::function<void(TidyCfg&)>> changes = {
        [](TidyCfg& c) { c.DstPath = "/other"; },
        [](TidyCfg& c) { c.PathRuleTimeStr = "yyyy"; },
        [](TidyCfg& c) { c.PathRuleTimeSrc = TidyCfg::NowTime; },
        [](TidyCfg& c) { c.FileCreateTimeSrc = TidyCfg::TakeTime; },
        [](TidyCfg& c) { c.LimitDateRange = true; },
    };
    for (const auto& change : changes) {
        TidyCfg c = a;
        change(c);
        QVERIFY(!a.samePlan(c));
    }
}

QTEST_GUILESS_MAIN(TestTidyCfg)
#include "tst_tidycfg.moc"
