#include "appcfg.h"
#include "colormenuwdg.h"
#include "colorstat.h"
#include "exivtags.h"
#include "exivutil.h"
#include "filetaginfo.h"
#include "filetagtb.h"
#include "histaglist.h"
#include "iteminfo.h"
#include "mediaitem.h"
#include "medialistview.h"
#include "mediamodel.h"
#include "pooljob.h"
#include "sqlitedbpool.h"
#include "tagdb.h"
#include "testutil.h"
#include "threadpools.h"
#include "xtaglabel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSemaphore>
#include <QTest>

using namespace testutil;

class TestMediaListView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void colorMenu();
    void listingOddFolder();
    void stoppedListingLeavesNothing();
    void filterByStarColourText();
    void editsOnlyLoadedVisibleSelected();
    void cutCopyDeleteVisibleOnly();
    void cellEditorsByHitTest();
    void clearNeverBlocks();
    void takenOverItemsRepaint();

private:
    bool waitLoaded(MediaListView& view, int rows);
    QModelIndex rowOf(MediaListView& view, const QString& name);
    ItemInfoPtr infoOf(MediaListView& view, const QString& name);
    void selectNames(MediaListView& view, const QStringList& names);
    QPoint partCentre(MediaListView& view, const QModelIndex& index, const QRect& part);

    std::unique_ptr<ProgramDir> m_prog;
};

void TestMediaListView::initTestCase()
{
    m_prog = std::make_unique<ProgramDir>();
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_prog->file("xdg")));
    initExiv2();
    AppCfg::instance(1);
    createDbPools();
    createThreadPools();
}

void TestMediaListView::cleanupTestCase()
{
    destroyThreadPools();
    destroyDbPools();
    AppCfg::release();
    m_prog.reset();
}

void TestMediaListView::init()
{
    CfgItem& item = AppCfg::instance()->item;
    item = CfgItem();
    item.showFileName = 1;
    item.updateRects();
    AppCfg::instance()->tag.tagSaveToFile = 0;
}

bool TestMediaListView::waitLoaded(MediaListView& view, int rows)
{
    return QTest::qWaitFor(
        [&] {
            if (view.mediaModel()->rowCount() != rows)
                return false;
            for (int row = 0; row < rows; ++row) {
                MediaItem* item = view.mediaModel()->itemFromIndex(view.mediaModel()->index(row, 0));
                if (!item || !item->getInfo() || item->getInfo()->tagReady != 1)
                    return false;
            }
            return true;
        },
        20000);
}

QModelIndex TestMediaListView::rowOf(MediaListView& view, const QString& name)
{
    MediaModel* model = view.mediaModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (QFileInfo(model->filePath(index)).fileName() == name)
            return index;
    }
    return QModelIndex();
}

ItemInfoPtr TestMediaListView::infoOf(MediaListView& view, const QString& name)
{
    MediaItem* item = view.mediaModel()->itemFromIndex(rowOf(view, name));
    return item ? item->getInfo() : ItemInfoPtr();
}

void TestMediaListView::selectNames(MediaListView& view, const QStringList& names)
{
    view.selectionModel()->clearSelection();
    for (const QString& name : names)
        view.selectionModel()->select(rowOf(view, name), QItemSelectionModel::Select);
}

QPoint TestMediaListView::partCentre(MediaListView& view, const QModelIndex& index, const QRect& part)
{
    return part.translated(view.visualRect(index).topLeft()).center();
}

void TestMediaListView::colorMenu()
{
    qRegisterMetaType<XTagLabel*>();
    ColorMenuWdg wdg;
    const QList<XTagLabel*> labels = wdg.labels();
    QCOMPARE(labels.size(), 13);
    const QList<uint> palette = ColorStat::getPalette();
    for (int i = 0; i < 12; ++i) {
        QVERIFY(labels[i]->isRgb());
        QCOMPARE(labels[i]->getRgb(), palette[i]);
    }
    QVERIFY(!labels[12]->isRgb());
    QCOMPARE(labels[12]->getRgb(), 0u);
    QCOMPARE(labels[12]->text(), QStringLiteral("清除标签"));
    wdg.show();
    QSignalSpy spy(&wdg, &ColorMenuWdg::sign_color_selected);
    QTest::mouseClick(labels[12], Qt::LeftButton);
    QTest::mouseClick(labels[4], Qt::LeftButton);
    QTest::mouseClick(labels[4], Qt::RightButton);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy[0][0].value<XTagLabel*>(), labels[12]);
    QCOMPARE(spy[1][0].value<XTagLabel*>(), labels[4]);
}

void TestMediaListView::listingOddFolder()
{
    TempDir dir;
    QVERIFY(!makeImage(dir.path(), "a.jpg", 300, 200).isEmpty());
    QVERIFY(!makeImage(dir.path(), "中文 名字.png", 120, 90, Qt::green).isEmpty());
    QVERIFY(!makeImage(dir.path(), "with blank.jpg", 90, 120, Qt::blue).isEmpty());
    QVERIFY(writeBytes(dir.file("zero.jpg"), QByteArray()));
    QVERIFY(writeBytes(dir.file("fake.png"), "not an image"));
    QVERIFY(writeBytes(dir.file("notes.txt"), "text"));
    const QByteArray jpeg = readBytes(dir.file("a.jpg"));
    QVERIFY(writeBytes(dir.file("cut.jpg"), jpeg.left(jpeg.size() / 3)));
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    QVERIFY(!makeImage(dir.file("sub"), "inner.jpg").isEmpty());
    QFile::setPermissions(dir.file("with blank.jpg"), QFile::ReadOwner | QFile::ReadUser);

    MediaListView view;
    view.resize(800, 600);
    view.show();
    QSignalSpy selected(&view, &MediaListView::selectItemChanged);
    view.listFolder(dir.path(), dir.file("中文 名字.png"));
    QVERIFY(waitLoaded(view, 6));
    QCOMPARE(view.currentPath(), dir.path());
    QVERIFY(!rowOf(view, "inner.jpg").isValid());
    QVERIFY(!rowOf(view, "notes.txt").isValid());
    QCOMPARE(view.currentIndex(), rowOf(view, "中文 名字.png"));
    QVERIFY(selected.count() >= 1);
    QCOMPARE(selected.last()[0].value<ItemInfoPtr>()->fileName(), QStringLiteral("中文 名字.png"));
    QVERIFY(QTest::qWaitFor([&] { return infoOf(view, "a.jpg")->thumbReady == 1; }, 10000));
    QCOMPARE(infoOf(view, "a.jpg")->imageSizeText().isEmpty(), false);
    // Broken files stay as empty cells and paint without trouble.
    for (const char* broken : { "zero.jpg", "fake.png", "cut.jpg" }) {
        const ItemInfoPtr info = infoOf(view, broken);
        QVERIFY2(info, broken);
        QVERIFY(info->thumbReady != 1 || !info->thumbnail().isNull());
    }
    view.viewport()->repaint();
    QVERIFY(view.isCurrentPath(dir.file("a.jpg")));
    QVERIFY(!view.isCurrentPath(dir.file("sub/inner.jpg")));
    QCOMPARE(view.selectFile(dir.file("with blank.jpg")), 0);
    QCOMPARE(view.currentIndex(), rowOf(view, "with blank.jpg"));
    QCOMPARE(view.selectFile(dir.file("gone.jpg")), -1);
    // Another folder is listed for a file outside this one.
    QCOMPARE(view.selectFile(dir.file("sub/inner.jpg")), 1);
    QVERIFY(waitLoaded(view, 1));
    QCOMPARE(view.currentIndex(), rowOf(view, "inner.jpg"));

    // A single file, then a refresh shows that file again.
    view.onLoadFile(dir.file("a.jpg"));
    QCOMPARE(view.mediaModel()->rowCount(), 1);
    view.onRefresh();
    QVERIFY(waitLoaded(view, 1));
    QCOMPARE(view.mediaModel()->filePath(view.currentIndex()), dir.file("a.jpg"));
    QFile::setPermissions(dir.file("with blank.jpg"), QFile::ReadOwner | QFile::WriteOwner);
}

void TestMediaListView::stoppedListingLeavesNothing()
{
    TempDir big, small;
    const QString seed = makeImage(big.path(), "p0000.png", 8, 8);
    QVERIFY(!seed.isEmpty());
    for (int i = 1; i < 3000; ++i)
        QVERIFY(QFile::copy(seed, big.file(QString("p%1.png").arg(i, 4, 10, QChar('0')))));
    QVERIFY(!makeImage(small.path(), "only.jpg").isEmpty());

    MediaListView view;
    QSignalSpy cleared(&view, &MediaListView::itemCleared);
    for (int round = 0; round < 5; ++round) {
        view.listFolder(big.path(), QString());
        QTest::qWait(round); // let some of it be found and queued
        view.listFolder(small.path(), small.file("only.jpg"));
    }
    QVERIFY(view.listFuture().isFinished() || QTest::qWaitFor([&] { return view.listFuture().isFinished(); }));
    QTest::qWait(200);
    QCOMPARE(view.mediaModel()->rowCount(), 1);
    QCOMPARE(view.mediaModel()->filePath(view.currentIndex()), small.file("only.jpg"));
    QCOMPARE(cleared.count(), 10);

    // The whole big folder still lists in full.
    view.listFolder(big.path(), big.file("p2999.png"));
    QVERIFY(
        QTest::qWaitFor([&] { return view.mediaModel()->rowCount() == 3000 && view.currentIndex().isValid(); }, 20000));
    QCOMPARE(view.mediaModel()->filePath(view.currentIndex()), big.file("p2999.png"));
    view.clear();
    QCOMPARE(view.mediaModel()->rowCount(), 0);
}

void TestMediaListView::filterByStarColourText()
{
    TempDir dir;
    for (const char* name : { "one.png", "two.png", "three.png", "four.png" })
        QVERIFY(!makeImage(dir.path(), name).isEmpty());
    MediaListView view;
    view.resize(900, 600);
    view.show();
    view.listFolder(dir.path(), QString());
    QVERIFY(waitLoaded(view, 4));
    QVERIFY(QTest::qWaitFor([&] {
        for (const char* n : { "one.png", "two.png", "three.png", "four.png" })
            if (infoOf(view, n)->thumbReady != 1)
                return false;
        return true;
    }));
    const uint red = 0xFFFF0000u, blue = 0xFF0000FFu;
    for (const char* n : { "one.png", "two.png", "three.png", "four.png" }) {
        QVERIFY(infoOf(view, n)->setStar(0));
        QVERIFY(infoOf(view, n)->setRgbs({}));
    }
    infoOf(view, "one.png")->setStar(3);
    infoOf(view, "one.png")->setRgbs({ red });
    infoOf(view, "two.png")->setStar(5);
    infoOf(view, "two.png")->setTextTags({ "Holiday", "海边" });
    infoOf(view, "three.png")->setRgbs({ blue, red });
    infoOf(view, "four.png")->setStar(0);
    infoOf(view, "four.png")->setRgbs({});

    auto shown = [&] {
        QStringList names;
        for (int row = 0; row < view.mediaModel()->rowCount(); ++row)
            if (!view.isRowHidden(row))
                names << QFileInfo(view.mediaModel()->filePath(view.mediaModel()->index(row, 0))).fileName();
        names.sort();
        return names;
    };
    view.onFilterItem({ 3 }, {}, {});
    QCOMPARE(shown(), QStringList({ "one.png" }));
    view.onFilterItem({ 0 }, {}, {});
    QCOMPARE(shown(), QStringList({ "four.png", "three.png" }));
    view.onFilterItem({}, { red }, {});
    QCOMPARE(shown(), QStringList({ "one.png", "three.png" }));
    view.onFilterItem({}, { 0 }, {});
    QCOMPARE(shown(), QStringList({ "four.png", "two.png" }));
    view.onFilterItem({}, {}, { "holi" });
    QCOMPARE(shown(), QStringList({ "two.png" }));
    view.onFilterItem({}, {}, { "海" });
    QCOMPARE(shown(), QStringList({ "two.png" }));
    view.onFilterItem({ 5 }, { blue }, {});
    QCOMPARE(shown(), QStringList({ "three.png", "two.png" }));
    view.onFilterItem({}, {}, {});
    QCOMPARE(shown(), QStringList());
    view.onShowAllItem();
    QCOMPARE(shown().size(), 4);

    // A row still loading stays visible, and is judged once it has loaded.
    view.onFilterItem({ 5 }, {}, {});
    QVERIFY(!makeImage(dir.path(), "late.png").isEmpty());
    view.onFindFile(dir.file("late.png"));
    QVERIFY(!view.isRowHidden(rowOf(view, "late.png").row()));
    infoOf(view, "late.png")->load();
    QVERIFY(QTest::qWaitFor([&] { return view.isRowHidden(rowOf(view, "late.png").row()); }, 10000));
}

void TestMediaListView::editsOnlyLoadedVisibleSelected()
{
    TempDir dir;
    for (const char* name : { "a.jpg", "b.jpg", "c.jpg", "d.jpg" })
        QVERIFY(!makeImage(dir.path(), name, 160, 120).isEmpty());
    AppCfg::instance()->tag.tagSaveToFile = 1;
    MediaListView view;
    view.resize(900, 600);
    view.show();
    view.listFolder(dir.path(), QString());
    QVERIFY(waitLoaded(view, 4));
    QVERIFY(QTest::qWaitFor([&] { return infoOf(view, "c.jpg")->thumbReady == 1; }));
    // d.jpg was never loaded: its tags are unknown.
    QVERIFY(!makeImage(dir.path(), "e.jpg", 160, 120).isEmpty());
    const QByteArray eBefore = readBytes(dir.file("e.jpg"));
    view.onFindFile(dir.file("e.jpg"));
    QVERIFY(infoOf(view, "e.jpg")->tagReady != 1);

    infoOf(view, "c.jpg")->setStar(2);
    view.onFilterItem({ 0 }, {}, {}); // hides c.jpg
    QVERIFY(view.isRowHidden(rowOf(view, "c.jpg").row()));
    view.selectAll();
    selectNames(view, { "a.jpg", "b.jpg", "c.jpg", "e.jpg" });
    QCOMPARE(view.visibleSelection().size(), 3);

    view.onSaveStar(4);
    QCOMPARE(infoOf(view, "a.jpg")->starText(), QStringLiteral("4"));
    QCOMPARE(infoOf(view, "b.jpg")->starText(), QStringLiteral("4"));
    QCOMPARE(infoOf(view, "c.jpg")->starText(), QStringLiteral("2"));
    QCOMPARE(infoOf(view, "d.jpg")->starText(), QStringLiteral("0"));
    QCOMPARE(readBytes(dir.file("e.jpg")), eBefore);
    ExivTags tags;
    QCOMPARE(tags.loadTagsFromFile(dir.file("a.jpg")), 0);
    QCOMPARE(tags.getStar(), 4);
    // The database rows follow, by row id or through the new row still being stored.
    auto rowStar = [&](const char* name) {
        PooledDb<TagDb> db(tagDbPool);
        FileTagTb tb(db.get());
        FileTagInfo row;
        return tb.readFileTag(dir.file(name), row) ? row.getStar() : -1;
    };
    QVERIFY(QTest::qWaitFor([&] { return rowStar("a.jpg") == 4 && rowStar("b.jpg") == 4; }, 10000));
    QCOMPARE(rowStar("c.jpg"), 2);
    QCOMPARE(rowStar("e.jpg"), -1);
    ExivTags tagsC;
    tagsC.loadTagsFromFile(dir.file("c.jpg"));
    QVERIFY(!tagsC.getHasTags());

    view.onSaveTags(1, { 0xFF00FF00u }, { "x", "y" });
    QCOMPARE(infoOf(view, "b.jpg")->tagText(), QStringLiteral("x y "));
    QCOMPARE(infoOf(view, "b.jpg")->rgb(0), 0xFF00FF00u);
    QCOMPARE(infoOf(view, "c.jpg")->tagText(), QString());
    view.onSaveRgbs({});
    QCOMPARE(infoOf(view, "a.jpg")->rgb(0), 0u);
    view.onSaveTextTags({ "z" });
    QCOMPARE(infoOf(view, "a.jpg")->tagText(), QStringLiteral("z "));
    QCOMPARE(readBytes(dir.file("e.jpg")), eBefore);
    QCOMPARE(tags.loadTagsFromFile(dir.file("b.jpg")), 0);
    QCOMPARE(tags.getStar(), 1);
    QCOMPARE(tags.getTextTag(), QStringList({ "z" }));
    AppCfg::instance()->tag.tagSaveToFile = 0;
}

void TestMediaListView::cutCopyDeleteVisibleOnly()
{
    TempDir dir;
    QStringList names;
    for (int i = 0; i < 10; ++i) {
        names << QString("f%1.png").arg(i);
        QVERIFY(!makeImage(dir.path(), names.last()).isEmpty());
    }
    MediaListView view;
    view.listFolder(dir.path(), QString());
    QVERIFY(waitLoaded(view, 10));
    QVERIFY(QTest::qWaitFor([&] { return infoOf(view, "f3.png")->thumbReady == 1; }));
    infoOf(view, "f3.png")->setStar(5);
    view.onFilterItem({ 0 }, {}, {});
    selectNames(view, { "f1.png", "f3.png", "f5.png", "f7.png" });

    auto clipboardFiles = [] {
        QStringList files;
        if (const QMimeData* data = QApplication::clipboard()->mimeData())
            for (const QUrl& url : data->urls())
                files << QFileInfo(url.toLocalFile()).fileName();
        return files;
    };
    view.onCopy();
    QCOMPARE(clipboardFiles(), QStringList({ "f1.png", "f5.png", "f7.png" }));
    view.onCut();
    QCOMPARE(clipboardFiles(), QStringList({ "f1.png", "f5.png", "f7.png" }));

    view.onDelete();
    QCOMPARE(view.mediaModel()->rowCount(), 7);
    for (const char* gone : { "f1.png", "f5.png", "f7.png" }) {
        QVERIFY(!QFile::exists(dir.file(gone)));
        QVERIFY(!rowOf(view, gone).isValid());
    }
    QVERIFY(QFile::exists(dir.file("f3.png")));
    QVERIFY(rowOf(view, "f3.png").isValid());
    QVERIFY(!QDir(m_prog->file("xdg")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

void TestMediaListView::cellEditorsByHitTest()
{
    TempDir dir;
    QVERIFY(!makeImage(dir.path(), "photo.one.jpg", 200, 150).isEmpty());
    QVERIFY(!makeImage(dir.path(), "other.jpg", 200, 150).isEmpty());
    HisTagList::m_hisTags.clear();
    for (int i = 0; i < 30; ++i)
        HisTagList::m_hisTags << QString("tag%1").arg(i);
    MediaListView view;
    view.onRefreshHisTextTag();
    QCOMPARE(view.tagMenu()->actions().size(), 20);
    view.resize(900, 600);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.listFolder(dir.path(), QString());
    QVERIFY(waitLoaded(view, 2));
    QVERIFY(QTest::qWaitFor([&] { return infoOf(view, "photo.one.jpg")->thumbReady == 1; }));
    const ItemInfoPtr info = infoOf(view, "photo.one.jpg");
    const QModelIndex index = rowOf(view, "photo.one.jpg");
    QVERIFY(info->setRgbs({}));
    const CfgItem& cfg = AppCfg::instance()->item;

    // Hover marks the part under the pointer.
    QTest::mouseMove(view.viewport(), partCentre(view, index, cfg.rcStarButton));
    QCOMPARE(info->hoverPart.load(), int(PartStarButton));
    QCOMPARE(view.hitTest(partCentre(view, index, cfg.rcColor[2])), int(PartColor1 + 2));

    // Star button: the star menu; its third entry sets three stars.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, partCentre(view, index, cfg.rcStarButton));
    QVERIFY(view.starMenu()->isVisible());
    QCOMPARE(view.starMenu()->actions().at(2)->text(), QStringLiteral("3 星"));
    QSignalSpy changed(&view, &MediaListView::itemDataChanged);
    view.starMenu()->actions().at(2)->trigger();
    view.starMenu()->close();
    QCOMPARE(info->starText(), QStringLiteral("3"));
    QCOMPARE(changed.count(), 1);

    // Swatch 1: the colour menu; a swatch sets that slot, the clearing label empties it.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, partCentre(view, index, cfg.rcColor[0]));
    QVERIFY(view.colorMenu()->isVisible());
    XTagLabel* swatch = view.colorMenuWidget()->labels().at(3);
    QTest::mouseClick(swatch, Qt::LeftButton);
    QVERIFY(!view.colorMenu()->isVisible());
    QCOMPARE(info->rgb(0), QRgb(swatch->getRgb()));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, partCentre(view, index, cfg.rcColor[0]));
    QTest::mouseClick(view.colorMenuWidget()->labels().last(), Qt::LeftButton);
    QCOMPARE(info->rgb(0), 0u);

    // Tag button: history menu; tag row: in-place editor.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, partCentre(view, index, cfg.rcTagButton));
    QVERIFY(view.tagMenu()->isVisible());
    view.tagMenu()->actions().at(1)->trigger();
    view.tagMenu()->close();
    QCOMPARE(info->tagText(), QStringLiteral("tag1 "));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, partCentre(view, index, cfg.rcTag));
    QVERIFY(view.tagEditor()->isVisible());
    QCOMPARE(view.tagEditor()->text(), QStringLiteral("tag1 "));
    view.tagEditor()->setText(QStringLiteral("红，蓝;绿"));
    QTest::keyClick(view.tagEditor(), Qt::Key_Return);
    QVERIFY(!view.tagEditor()->isVisible());
    QCOMPARE(info->tagText(), QStringLiteral("红 蓝 绿 "));

    // A click elsewhere closes the editor without an edit.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, partCentre(view, index, cfg.rcTag));
    view.tagEditor()->setText(QStringLiteral("dropped"));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, partCentre(view, index, cfg.rcImage));
    QVERIFY(!view.tagEditor()->isVisible());
    QCOMPARE(info->tagText(), QStringLiteral("红 蓝 绿 "));

    // File name: in-place rename with the base name selected; a taken name is refused.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, partCentre(view, index, cfg.rcFileName));
    QLineEdit* name = view.nameEditor();
    QVERIFY(name->isVisible());
    QCOMPARE(name->selectedText(), QStringLiteral("photo"));
    name->setText(QStringLiteral("other.jpg"));
    QTest::keyClick(name, Qt::Key_Return);
    QVERIFY(QFile::exists(dir.file("photo.one.jpg")));
    QVERIFY(QFile::exists(dir.file("other.jpg")));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, partCentre(view, index, cfg.rcFileName));
    name->setText(QStringLiteral("  新 名.jpg "));
    QTest::keyClick(name, Qt::Key_Return);
    QVERIFY(QFile::exists(dir.file("新 名.jpg")));
    QCOMPARE(info->fileName(), QStringLiteral("新 名.jpg"));

    // The context menu's rename opens the editor on the current cell.
    view.setCurrentIndex(rowOf(view, "other.jpg"));
    view.onFilterItem({ 5 }, {}, {});
    view.onRename();
    QVERIFY(!name->isVisible()); // hidden by the filter
    view.onShowAllItem();
    view.selectionModel()->setCurrentIndex(rowOf(view, "other.jpg"), QItemSelectionModel::NoUpdate);
    view.selectionModel()->clearSelection();
    view.onRename();
    QVERIFY(!name->isVisible()); // not selected
    view.setCurrentIndex(rowOf(view, "other.jpg"));
    view.onRename();
    QVERIFY(name->isVisible());
    QCOMPARE(name->text(), QStringLiteral("other.jpg"));
    QCOMPARE(name->selectedText(), QStringLiteral("other"));
}

void TestMediaListView::clearNeverBlocks()
{
    TempDir dir;
    const QString seed = makeImage(dir.path(), "s000.png", 32, 32);
    for (int i = 1; i < 300; ++i)
        QVERIFY(QFile::copy(seed, dir.file(QString("s%1.png").arg(i, 3, 10, QChar('0')))));
    auto* view = new MediaListView();
    view->listFolder(dir.path(), QString());
    QVERIFY(QTest::qWaitFor([&] { return view->mediaModel()->rowCount() == 300 && view->currentIndex().isValid(); }));
    QWeakPointer<ItemInfo> first = view->mediaModel()->itemFromIndex(view->mediaModel()->index(0, 0))->getInfo();

    // The release thread held: the items can only go once it is free again, never on this thread.
    QSemaphore gate;
    struct Opener {
        QSemaphore& gate;
        ~Opener() { gate.release(); }
    } opener { gate };
    runJob(itemReleasePool, [&gate] { gate.acquire(); });
    QElapsedTimer timer;
    timer.start();
    view->clear(); // while loads are queued and running
    QVERIFY(timer.elapsed() < 1000);
    QCOMPARE(view->mediaModel()->rowCount(), 0);
    QTest::qWait(50);
    QVERIFY(!view->mediaModel()->releaseFuture().isFinished());
    QVERIFY(first.toStrongRef());
    gate.release();
    QVERIFY(QTest::qWaitFor([&] { return view->mediaModel()->releaseFuture().isFinished(); }, 20000));
    QVERIFY(QTest::qWaitFor([&] { return !first.toStrongRef(); }, 20000));

    // Deleting the grid waits for its last release job.
    view->listFolder(dir.path(), QString());
    QVERIFY(QTest::qWaitFor([&] { return view->mediaModel()->rowCount() == 300; }));
    first = view->mediaModel()->itemFromIndex(view->mediaModel()->index(0, 0))->getInfo();
    delete view;
    QVERIFY(!first.toStrongRef());
}

void TestMediaListView::takenOverItemsRepaint()
{
    TempDir dir;
    QLinkedList<ItemInfoPtr> items;
    for (const char* name : { "x.png", "y.png" }) {
        const QString path = makeImage(dir.path(), name);
        ItemInfoPtr info(new ItemInfo());
        info->setFile(path);
        items.append(info);
    }
    MediaListView view;
    view.resize(600, 400);
    view.show();
    QCOMPARE(view.loadItems(items, dir.file("y.png")), 0);
    QCOMPARE(view.currentPath(), dir.path());
    QCOMPARE(view.currentIndex(), rowOf(view, "y.png"));
    for (int row = 0; row < 2; ++row) {
        MediaItem* item = view.mediaModel()->itemFromIndex(view.mediaModel()->index(row, 0));
        QCOMPARE(item->view(), &view);
        QCOMPARE(item->mediaModel(), view.mediaModel());
        QCOMPARE(item->delegate(), view.mediaDelegate());
    }
    // The rows' own items fill in and reach the filter through the view.
    view.onFilterItem({ 5 }, {}, {});
    QVERIFY(QTest::qWaitFor([&] { return view.isRowHidden(0) && view.isRowHidden(1); }, 10000));
    QLinkedList<ItemInfoPtr> back;
    view.mediaModel()->items(back);
    QCOMPARE(back, items);
    items.clear();
    back.clear();
}

QTEST_MAIN(TestMediaListView)
#include "tst_medialistview.moc"
