#include "app/appcfg.h"
#include "common/testutil.h"

#include <QDir>
#include <QJsonObject>
#include <QTest>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TestAppCfg : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { AppCfg::release(); }
    void loadSaveAndFixUps();
    void cellLayoutAndHits();
    void stripLayout();
};

static void writeCfg(const testutil::ProgramDir& dir, const QByteArray& json)
{
    QDir().mkpath(dir.file("profile"));
    QVERIFY(testutil::writeBytes(dir.file("profile/vornel.cfg"), json));
}

void TestAppCfg::loadSaveAndFixUps()
{
    testutil::ProgramDir dir;
    AppCfg* cfg = AppCfg::instance(0);
    QCOMPARE(AppCfg::instance(0), cfg);
    QCOMPARE(cfg->item.showFileName, 1); // a fresh object shows everything

    // No file: the profile folder is made and the file's defaults apply.
    QCOMPARE(cfg->load(), 0);
    QVERIFY(QDir(dir.file("profile")).exists());
    QCOMPARE(QList<int>({ cfg->item.showFileName, cfg->item.showColor, cfg->list.borderSpace, cfg->cache.thumbHeight,
                 cfg->tag.tagSaveToFile }),
        QList<int>({ 0, 1, 1, 108, 1 }));

    cfg->lastPath = "/照片/新 文件夹";
    cfg->item.itemWidth = 256;
    cfg->tag.tagAutoSave = 0;
    cfg->list.loadThumbCount = 20;
    QCOMPARE(cfg->save(), 0);
    cfg = AppCfg::instance(1);
    QCOMPARE(cfg->item.itemWidth, 192);
    cfg->load();
    QCOMPARE(cfg->lastPath, QString("/照片/新 文件夹"));
    QCOMPARE(QList<int>({ cfg->item.rcItem.width(), cfg->tag.tagAutoSave, cfg->list.loadThumbCount }),
        QList<int>({ 256, 0, 20 }));

    // A file that cannot be replaced is reported and left alone.
    QVERIFY(QFile::remove(dir.file("profile/vornel.cfg")));
    QVERIFY(QDir().mkdir(dir.file("profile/vornel.cfg")));
    QCOMPARE(cfg->save(), -1);
    QVERIFY(QFileInfo(dir.file("profile/vornel.cfg")).isDir());
    QVERIFY(QDir().rmdir(dir.file("profile/vornel.cfg")));

    // A FIFO under the name is no settings file: loading never waits for a writer.
    const QByteArray fifo = QFile::encodeName(dir.file("profile/vornel.cfg"));
    QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
    std::atomic<bool> loaded { false };
    std::thread loader([&] {
        cfg->load();
        loaded = true;
    });
    const bool quick = QTest::qWaitFor([&] { return loaded.load(); }, 3000);
    if (!quick) // sets the waiting reader free, so that the test ends
        ::close(::open(fifo.constData(), O_WRONLY));
    loader.join();
    QVERIFY(quick);
    QVERIFY(cfg->lastPath.isEmpty());
    QVERIFY(QFile::remove(dir.file("profile/vornel.cfg")));

    // Values out of range, of the wrong type or missing fall back to their defaults.
    writeCfg(dir,
        R"({"LastPath": 5, "item": {"ItemWidth": 5, "ItemHeight": 300, "ItemSpace": -1, "TextHeight": 2.5,
                 "ButtonWidth": "30", "ColorHeight": 1, "ShowFileName": 1},
                 "cache": {"ThumbWidth": 9, "ThumbHeight": 400},
                 "list": {"BorderSpace": 0, "ThumbWidth": 513, "CacheImageCount": 512}})");
    cfg->load();
    QCOMPARE(cfg->lastPath, QString());
    const CfgItem& i = cfg->item;
    QCOMPARE(QList<int>({ i.itemWidth, i.itemHeight, i.itemSpace, i.textHeight, i.buttonWidth, i.colorHeight,
                 i.showFileName, cfg->cache.thumbWidth, cfg->cache.thumbHeight, cfg->list.borderSpace,
                 cfg->list.thumbWidth, cfg->list.cacheImageCount }),
        QList<int>({ 192, 300, 2, 20, 16, 8, 1, 192, 400, 4, 96, 512 }));

    writeCfg(dir, R"({"list": {"BorderSpace": 9}})");
    cfg->load();
    QCOMPARE(cfg->list.borderSpace, 4);
    writeCfg(dir, "{ not json");
    cfg->load();
    QCOMPARE(cfg->list.borderSpace, 1);
    QCOMPARE(cfg->item.itemWidth, 192);
}

void TestAppCfg::cellLayoutAndHits()
{
    CfgItem item;
    item.fromJson(QJsonObject());
    // W=H=192, b=2, v=2, h=2, t=20, w=16, bh=20, c=8
    QCOMPARE(item.rcImage, QRect(2, 2, 188, 188 - 10 - 22));
    QCOMPARE(item.rcFileSize, QRect(96, 2, 94, 20));
    QCOMPARE(item.rcFileName, QRect(2, item.rcImage.bottom() - 20, 188, 20));
    QCOMPARE(item.rcColor[0], QRect(2, 192 - 8 - 2 - 22, 47, 8));
    QCOMPARE(item.rcColor[3], QRect(2 + 3 * 47, 160, 47, 8));
    QCOMPARE(item.rcTag, QRect(2, 170, 192 - 40, 20));
    QCOMPARE(item.rcTagButton, QRect(192 - 32 - 4, 170, 16, 20));
    QCOMPARE(item.rcStarButton, QRect(174, 170, 16, 20));

    const int imageHeight = item.rcImage.height();
    item.showTag = 0;
    item.updateRects();
    QCOMPARE(item.rcColor[0].y(), 192 - 8 - 2);
    QCOMPARE(item.rcImage.height(), imageHeight + 22);

    item.setZoom(7);
    QCOMPARE(item.rcItem, QRect(0, 0, 224, 224));
    item.itemWidth = 200;
    QCOMPARE(item.zoomValue(), 6);

    item.fromJson(QJsonObject());
    QRect rc;
    QCOMPARE(item.hitTest(item.rcFileName.center(), rc), int(PartImage)); // file name hidden by default
    QCOMPARE(rc, item.rcImage);
    item.showFileName = 1;
    QCOMPARE(item.hitTest(item.rcFileName.center(), rc), int(PartFileName));
    QCOMPARE(rc, item.rcFileName);
    QCOMPARE(item.hitTest(item.rcColor[2].center()), 8);
    QCOMPARE(colorSlotOfPart(8), 2);
    QCOMPARE(colorSlotOfPart(PartTagRow), -1);

    // With swatches shown, the tag row and its buttons are still reachable.
    QCOMPARE(item.hitTest(item.rcTag.center(), rc), int(PartTagRow));
    QCOMPARE(rc, item.rcTag);
    QCOMPARE(item.hitTest(item.rcTagButton.center()), int(PartTagButton));
    QCOMPARE(item.hitTest(item.rcStarButton.center()), int(PartStarButton));
    QCOMPARE(item.hitTest(QPoint(191, 191), rc), int(PartNone)); // the margin
    QVERIFY(rc.isNull());
    QCOMPARE(item.hitTest(QPoint(item.rcTag.right() + 1, item.rcTag.center().y())), int(PartNone));

    item.showTag = 0;
    item.showColor = 0;
    QCOMPARE(item.hitTest(item.rcTag.center()), int(PartNone));
    QCOMPARE(item.hitTest(item.rcColor[0].center()), int(PartNone));

    // A copy moved to a cell's place answers in view coordinates; the original stays.
    CfgItem moved = item;
    moved.translate(400, 1000);
    QCOMPARE(moved.hitTest(QPoint(410, 1010)), int(PartImage));
    QCOMPARE(moved.rcStarButton, item.rcStarButton.translated(400, 1000));
    QCOMPARE(item.rcItem.topLeft(), QPoint(0, 0));
}

void TestAppCfg::stripLayout()
{
    CfgList list;
    QJsonObject obj { { "ShowFileName", 0 }, { "ShowFileSize", 1 } };
    list.fromJson(obj); // b=1, tw=96, th=54
    QCOMPARE(list.rowHeight, 56);
    QCOMPARE(QList<QRect>({ list.rcRow, list.rcFileSize, list.rcFileName }),
        QList<QRect>({ QRect(0, 0, 4 + 192, 2 + 54), QRect(96 + 4, 1, 96, 54), QRect() }));

    obj["ShowImageSize"] = 1;
    list.fromJson(obj);
    QCOMPARE(QList<QRect>({ list.rcImageSize, list.rcFileSize }),
        QList<QRect>({ QRect(100, 1, 96, 26), QRect(100, 28, 96, 26) }));

    obj["ShowFileName"] = 1;
    obj["BorderSpace"] = 2;
    list.fromJson(obj);
    const int a = (54 - 4) / 3;
    QCOMPARE(list.rcFileName, QRect(104, 2, 96, a));
    QCOMPARE(QList<int>({ list.rcImageSize.y(), list.rcFileSize.y() }), QList<int>({ a + 4, 2 * a + 6 }));

    CfgList wide = list;
    wide.fitWidth(500);
    QCOMPARE(QList<int>({ wide.rcRow.width(), wide.rcFileName.left(), wide.rcFileName.right() }),
        QList<int>({ 500, 104, 498 }));
    wide.fitWidth(100); // never narrower
    QCOMPARE(wide.rcRow.width(), 500);
}

QTEST_GUILESS_MAIN(TestAppCfg)
#include "tst_appcfg.moc"
