// The tool window with its settings file: what it shows and stores, the size presets, and how a run is started,
// told, stopped and closed.

#include "common/photomaker.h"
#include "common/testutil.h"

#include "markstartup.h"
#include "tagsynccfg.h"
#include "tagsynctask.h"
#include "tagsyncwnd.h"

#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "meta/exivutil.h"
#include "records/filetaginfo.h"
#include "records/filetagtb.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMovie>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

#include <sys/stat.h>

using namespace testutil;

namespace {

template <class T> T* child(QWidget* w, const char* name)
{
    T* c = w->findChild<T*>(name);
    if (!c)
        qWarning("no %s", name);
    return c;
}

QLabel* status(QWidget* w)
{
    return child<QLabel>(w, "lbStatus");
}

bool waitFor(const std::function<bool()>& done, int timeoutMs = 20000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QTest::qWait(5);
    }
    return true;
}

int rowCount()
{
    PooledDb<TagDb> db(tagDbPool);
    QList<FileTagInfo*> rows;
    FileTagTb(db.get()).loadFileTag(rows);
    const int n = rows.size();
    qDeleteAll(rows);
    return n;
}

// A folder of big PNGs, slow enough to decode that a run is still busy when stopped.
QString slowFolder(const TempDir& dir, int count)
{
    const QString folder = dir.file("慢 slow");
    QDir().mkpath(folder);
    const QString first = makeImage(folder, "p0.png", 2400, 1800, Qt::blue);
    for (int i = 1; i < count; ++i)
        QFile::copy(first, folder + QString("/p%1.png").arg(i));
    return folder;
}

} // namespace

class TestTagSyncWnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void settingsRoundTrip();
    void settingsFileDefects();
    void sizePresets();
    void statusText();
    void runEndsTellingFailures();
    void stopSaysStopped();
    void closeDuringRunCancelsAndWaits();

private:
    std::unique_ptr<ProgramDir> m_program;
    std::unique_ptr<TempDir> m_photos;
};

void TestTagSyncWnd::initTestCase()
{
    initExiv2();
}

void TestTagSyncWnd::init()
{
    m_program = std::make_unique<ProgramDir>();
    m_photos = std::make_unique<TempDir>();
    TagSyncCfg::release();
    MarkStartup::start();
}

void TestTagSyncWnd::cleanup()
{
    MarkStartup::stop();
    m_photos.reset();
    m_program.reset();
}

void TestTagSyncWnd::settingsRoundTrip()
{
    {
        TagSyncWnd wnd;
        for (QCheckBox* box : wnd.findChildren<QCheckBox*>())
            QVERIFY(!box->isChecked());
        QVERIFY(!child<QGroupBox>(&wnd, "gbRebuildThumb")->isChecked());
        QCOMPARE(child<QSpinBox>(&wnd, "sbNewThumbWidth")->value(), 192);
        QCOMPARE(child<QComboBox>(&wnd, "cbRecommendThumbSize")->currentText(), QString("192x108"));
        QVERIFY(!child<QComboBox>(&wnd, "cbColorSyncTactics")->isEnabled());
        child<QCheckBox>(&wnd, "cbStarSync")->setChecked(true);
        child<QComboBox>(&wnd, "cbStarConflictTactics")->setCurrentIndex(3);
        QVERIFY(wnd.addPath(m_photos->path()));
        // The refusal's message box is answered.
        int boxes = 0;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                ++boxes;
                box->close();
            }
        });
        answer.start(20);
        QVERIFY(!wnd.addPath(m_photos->path() + "/"));
        QCOMPARE(boxes, 1);
        // Paths compare exactly.
        QVERIFY(wnd.addPath(m_photos->path().toUpper()));
        wnd.close();
    }
    QCOMPARE(TagSyncCfg::get()->build.paths.size(), 2);
    MarkStartup::stop();
    const QJsonObject root = QJsonDocument::fromJson(readBytes(TagSyncCfg::filePath())).object();
    QCOMPARE(root.keys(), (QStringList { "LastPath", "build", "fav", "tag", "thumb" }));
    QCOMPARE(root["tag"].toObject().size(), 11);
    QCOMPARE(root["tag"].toObject()["StarConflictTactics"].toInt(), 3);
    QCOMPARE(root["thumb"].toObject()["ThumbHeight"].toInt(), 108);
    QCOMPARE(root["build"].toObject().size(), 5);

    MarkStartup::start();
    TagSyncWnd wnd;
    QVERIFY(child<QCheckBox>(&wnd, "cbStarSync")->isChecked());
    QVERIFY(child<QComboBox>(&wnd, "cbStarConflictTactics")->isEnabled());
    QCOMPARE(child<QListWidget>(&wnd, "lwPaths")->count(), 2);
}

void TestTagSyncWnd::settingsFileDefects()
{
    MarkStartup::stop();
    writeBytes(
        TagSyncCfg::filePath(), R"({"build": {"paths": ["/a", 7], "ThumbHeight": 72}, "thumb": {"ThumbWidth": 0}})");
    MarkStartup::start();
    const TagSyncCfg* cfg = TagSyncCfg::get();
    QCOMPARE(cfg->build.paths, (QStringList { "/a", "" }));
    QCOMPARE(cfg->build.ThumbWidth, 192);
    QCOMPARE(cfg->build.ThumbHeight, 72);
    {
        // A size that makes no thumbnail is not offered.
        TagSyncWnd wnd;
        QCOMPARE(child<QSpinBox>(&wnd, "sbThumbWidth")->value(), TagSyncCfg::MinThumbSide);
        wnd.close();
    }
    QCOMPARE(TagSyncCfg::get()->thumb.ThumbWidth, TagSyncCfg::MinThumbSide);

    writeBytes(TagSyncCfg::filePath(), "not json");
    QCOMPARE(TagSyncCfg::instance(1)->load(), -1);
    QCOMPARE(TagSyncCfg::get()->build.ThumbWidth, 192);
    QCOMPARE(TagSyncCfg::get()->save(), 0);
    QVERIFY(QJsonDocument::fromJson(readBytes(TagSyncCfg::filePath())).isObject());
}

void TestTagSyncWnd::sizePresets()
{
    TagSyncWnd wnd;
    auto* combo = child<QComboBox>(&wnd, "cbRecommendThumbSize");
    auto* width = child<QSpinBox>(&wnd, "sbThumbWidth");
    auto* height = child<QSpinBox>(&wnd, "sbThumbHeight");
    QCOMPARE(combo->count(), 17);
    QCOMPARE(child<QComboBox>(&wnd, "cbNewRecommendThumbSize")->count(), 16);
    combo->setCurrentText("160x90");
    QCOMPARE(width->value(), 160);
    QCOMPARE(height->value(), 90);
    QCOMPARE(combo->currentText(), QString("160x90"));
    width->setValue(200);
    height->setValue(100);
    QCOMPARE(combo->currentIndex(), -1);
    width->setValue(128);
    height->setValue(72);
    QCOMPARE(combo->currentIndex(), 12);
    width->setValue(0);
    QCOMPARE(width->value(), 16);

    auto* newCombo = child<QComboBox>(&wnd, "cbNewRecommendThumbSize");
    newCombo->setCurrentText("32x18");
    QCOMPARE(child<QSpinBox>(&wnd, "sbNewThumbWidth")->value(), 32);
    QCOMPARE(child<QSpinBox>(&wnd, "sbNewThumbHeight")->value(), 18);
}

void TestTagSyncWnd::statusText()
{
    TagSyncWnd wnd;
    TaskObject info;
    info.setTaskId(wnd.currentTaskId());
    info.setSignType(TaskObject::TaskStep);
    const QString thirty = QString(30, QChar(0x5f20));
    info.setInfo(thirty);
    wnd.slot_task(info);
    QCOMPARE(status(&wnd)->text(), thirty);
    info.setInfo(thirty + "x");
    wnd.slot_task(info);
    QCOMPARE(status(&wnd)->text(), thirty + "...");
    info.setTaskId(wnd.currentTaskId() + 1);
    info.setInfo("other run");
    wnd.slot_task(info);
    QCOMPARE(status(&wnd)->text(), thirty + "...");
}

void TestTagSyncWnd::runEndsTellingFailures()
{
    const QString locked = photomaker::makePhoto(m_photos->path(), "只读.jpg");
    FileTagInfo row;
    row.setFile(locked);
    row.setFileFacts(QFileInfo(locked));
    row.setStar(5);
    {
        PooledDb<TagDb> db(tagDbPool);
        QVERIFY(FileTagTb(db.get()).addFileTag(row));
    }
    QVERIFY(::chmod(QFile::encodeName(locked).constData(), 0444) == 0);
    TagSyncCfg* cfg = TagSyncCfg::get();
    cfg->tag.StarSync = true;
    cfg->tag.StarSyncTactics = 1;

    TagSyncWnd wnd;
    auto* start = child<QPushButton>(&wnd, "btStart");
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(waitFor([&] { return start->isEnabled(); }));
    QVERIFY(status(&wnd)->text().startsWith("结束，1 "));
    QCOMPARE(status(&wnd)->toolTip(), TagSyncTask::logFile());

    QVERIFY(::chmod(QFile::encodeName(locked).constData(), 0644) == 0);
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(waitFor([&] { return start->isEnabled(); }));
    QCOMPARE(status(&wnd)->text(), QString("结束"));
}

void TestTagSyncWnd::stopSaysStopped()
{
    const QString folder = slowFolder(*m_photos, 200);
    TagSyncCfg* cfg = TagSyncCfg::get();
    cfg->build.BuildThumb = true;
    cfg->build.paths = QStringList { folder };

    TagSyncWnd wnd;
    wnd.show();
    auto* gif = child<QLabel>(&wnd, "lbGif");
    QTest::mouseClick(child<QPushButton>(&wnd, "btStart"), Qt::LeftButton);
    QVERIFY(waitFor([&] { return gif->isVisible(); }));
    QVERIFY(gif->movie()->state() == QMovie::Running);
    QTest::mouseClick(child<QPushButton>(&wnd, "btStop"), Qt::LeftButton);
    QCOMPARE(QThreadPool::globalInstance()->activeThreadCount(), 0);
    QVERIFY(rowCount() < 200);
    QVERIFY(gif->movie()->state() != QMovie::Running);
    QVERIFY(!gif->isVisible());
    QCOMPARE(status(&wnd)->text(), QString("已停止"));
    QVERIFY(child<QPushButton>(&wnd, "btStart")->isEnabled());
    // Late events of the stopped run change nothing.
    QTest::qWait(100);
    QCOMPARE(status(&wnd)->text(), QString("已停止"));
}

void TestTagSyncWnd::closeDuringRunCancelsAndWaits()
{
    const QString folder = slowFolder(*m_photos, 200);
    TagSyncCfg* cfg = TagSyncCfg::get();
    cfg->build.BuildThumb = true;
    cfg->build.paths = QStringList { folder };

    QPointer<TagSyncWnd> wnd = new TagSyncWnd();
    wnd->setAttribute(Qt::WA_DeleteOnClose);
    wnd->show();
    QTest::mouseClick(child<QPushButton>(wnd, "btStart"), Qt::LeftButton);
    QVERIFY(waitFor([&] { return child<QLabel>(wnd, "lbGif")->isVisible(); }));
    QElapsedTimer t;
    t.start();
    wnd->close();
    QVERIFY(t.elapsed() < 3000);
    QCOMPARE(QThreadPool::globalInstance()->activeThreadCount(), 0);
    QVERIFY(rowCount() < 200);
    QVERIFY(waitFor([&] { return wnd.isNull(); }));
    // Pools go only now, after every job holding a connection has ended.
    MarkStartup::stop();
    QVERIFY(!tagDbPool);
    MarkStartup::start();
}

QTEST_MAIN(TestTagSyncWnd)
#include "tst_tagsyncwnd.moc"
