#include "common/testutil.h"
#include "search/filedbholder.h"
#include "search/findfileinfo.h"
#include "search/imageinfo.h"
#include "search/likefindcfg.h"
#include "sys/filecopier.h"
#include "sys/platform.h"
#include "window/imagelistwidget.h"
#include "window/imagelistwidgetitem.h"
#include "window/imagetreewidget.h"
#include "window/likefindwnd.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidgetItemIterator>

#include <csignal>
#include <optional>

using namespace testutil;

namespace {

void setModified(const QString& path, const QDateTime& when)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
}

QStringList filesOf(const QTreeWidgetItem* group)
{
    QStringList names;
    for (int i = 0; i < group->childCount(); ++i)
        names << group->child(i)->text(1);
    return names;
}

QList<QTreeWidgetItem*> fileRows(QTreeWidget* tree)
{
    QList<QTreeWidgetItem*> rows;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if (!ImageTreeWidget::filePathOf(*it).isEmpty())
            rows << *it;
    }
    return rows;
}

QTreeWidgetItem* rowNamed(QTreeWidget* tree, const QString& name)
{
    for (QTreeWidgetItem* row : fileRows(tree)) {
        if (row->text(1) == name)
            return row;
    }
    return nullptr;
}

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

// Every name in a folder, hidden ones too.
QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

class TestLikeFindWnd : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<ProgramDir> m_program;
    std::unique_ptr<TempDir> m_xdg;
    QPointer<LikeFindWnd> m_wnd;

    // Runs a search over the folders with the window's conditions; the tree once it is filled.
    ImageTreeWidget* search(const QStringList& folders)
    {
        w<QListWidget>("lwPaths")->clear();
        for (const QString& f : folders)
            w<QListWidget>("lwPaths")->addItem(QDir::toNativeSeparators(f));
        QSignalSpy end(m_wnd->dupImage(), &ImageTreeWidget::findEnd);
        w<QPushButton>("btStartFind")->click();
        if (!waitForSignal(end, 1, 30000))
            return nullptr;
        return m_wnd->dupImage();
    }

    template <class T> T* w(const char* name) const
    {
        T* widget = m_wnd->findChild<T*>(QLatin1String(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }

private slots:
    void programIgnoresFileSizeSignal()
    {
        // A write over the file-size limit fails and is reported instead of ending the program.
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("VORN_PROGRAM_DIR", m_program->path());
        environment.insert("XDG_CONFIG_HOME", m_xdg->file("config"));
        program.setProcessEnvironment(environment);
        QVERIFY(testutil::startUnderFileSizeLimit(program, programPath("vorntwin"), {}, 1 << 30));
        const bool ignores = testutil::ignoresSignal(program.processId(), SIGXFSZ);
        program.kill();
        program.waitForFinished();
        QVERIFY(ignores);
    }

    void initTestCase()
    {
        m_xdg = std::make_unique<TempDir>();
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_xdg->file("data")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_xdg->file("config")));
        m_program = std::make_unique<ProgramDir>();
        LikeFindCfg::instance(1);
        FileDbHolder::create();
    }

    void init()
    {
        LikeFindCfg::instance(1)->find.FindSimilarImage = false;
        m_wnd = LikeFindWnd::instance();
        m_wnd->show();
    }

    void cleanup()
    {
        if (m_wnd)
            m_wnd->close();
        QTRY_VERIFY(m_wnd.isNull());
    }

    void cleanupTestCase()
    {
        FileDbHolder::destroy();
        LikeFindCfg::release();
    }

    void conditionsAndRefusals()
    {
        QVERIFY(w<QCheckBox>("cbFullContentIsSame")->isChecked() && w<QCheckBox>("cbFileSizeIsSame")->isChecked());
        QVERIFY(!w<QCheckBox>("cbFileSizeIsSame")->isEnabled());
        w<QCheckBox>("cbFullContentIsSame")->setChecked(false);
        QVERIFY(w<QCheckBox>("cbFileSizeIsSame")->isEnabled() && w<QCheckBox>("cbFileSizeIsSame")->isChecked());
        QVERIFY(!w<QCheckBox>("cbNoDiff")->isEnabled() && !w<QSpinBox>("sbMediumDiff")->isEnabled());
        w<QCheckBox>("cbFindSimilarImage")->setChecked(true);
        QVERIFY(w<QCheckBox>("cbNoDiff")->isEnabled() && !w<QSpinBox>("sbLittleDiff")->isEnabled());
        w<QCheckBox>("cbLittleDiff")->setChecked(true);
        QVERIFY(w<QSpinBox>("sbLittleDiff")->isEnabled());
        // The cell rectangles exist from the start.
        QCOMPARE(LikeFindCfg::get()->layout.imageRect.width(), w<QSpinBox>("sbPreviewImageSize")->value() - 4);

        ModalAnswerer ok("确定");
        w<QPushButton>("btStartFind")->click();
        QVERIFY(m_wnd->addFindPath("/Photos/a"));
        QVERIFY(!m_wnd->addFindPath("/Photos/a"));
        QVERIFY(m_wnd->addFindPath("/photos/a"));
        QVERIFY(!m_wnd->addFindPath(QString()));
        for (QCheckBox* box : { w<QCheckBox>("cbFileSizeIsSame"), w<QCheckBox>("cbFileTypeIsSame"),
                 w<QCheckBox>("cbNoDiff"), w<QCheckBox>("cbLittleDiff") })
            box->setChecked(false);
        w<QPushButton>("btStartFind")->click();
        w<QCheckBox>("cbFindSimilarImage")->setChecked(false);
        w<QPushButton>("btStartFind")->click();
        QCOMPARE(ok.texts,
            QStringList({ "请先添加要查找的目录", "请不要重复添加目录", "请选择一个要添加的目录",
                "请至少选择一个相似照片的判断的条件", "请至少选择一个比较的条件" }));
        QVERIFY(w<QPushButton>("btStartFind")->isEnabled());
    }

    // With similar photos asked for, a picture too large to decode whole is hashed from a reduced decode and found
    // with its copy; copies that give no hash at all stay as their attributes and content grouped them, and the
    // end text counts them.
    void everyPictureTakesPart()
    {
        TempDir tmp;
        const QString big = makeLargeGreyJpeg(tmp.path(), "大 big.jpg", 16000, 8500);
        QVERIFY(!big.isEmpty());
        QVERIFY(QFile::copy(big, tmp.file("big copy.jpg")));
        for (const char* name : { "broken.jpg", "broken copy.jpg" })
            QVERIFY(writeBytes(tmp.file(name), "not a picture at all"));
        for (const char* name : { "huge.png", "huge copy.png" })
            QVERIFY(writeBytes(tmp.file(name), pngDeclaring(16000, 8500)));
        w<QCheckBox>("cbFindSimilarImage")->setChecked(true);

        ImageTreeWidget* tree = search({ tmp.path() });
        QVERIFY(tree);
        QStringList names;
        for (QTreeWidgetItem* row : fileRows(tree)) {
            names << row->text(1);
            if (row->text(1).endsWith("big.jpg"))
                QCOMPARE(row->parent()->text(0), QString("无明显差异"));
        }
        names.sort();
        QCOMPARE(names,
            QStringList(
                { "big copy.jpg", "broken copy.jpg", "broken.jpg", "huge copy.png", "huge.png", "大 big.jpg" }));
        QCOMPARE(w<QLabel>("lbStatus")->text(), QString("完成。4 个文件无法解码，未比较相似，只按属性和内容分组。"));
    }

    // Select by time keeps one file of each group; a move never overwrites and reports what failed.
    void selectAndMove()
    {
        TempDir tmp;
        const QString d = QFileInfo(tmp.path()).canonicalFilePath();
        QVERIFY(QDir().mkpath(d + "/src/sub") && QDir().mkpath(d + "/target"));
        const QDateTime t0 = QDateTime::fromString("2021-03-04 05:06:07", "yyyy-MM-dd hh:mm:ss");
        const QStringList three { d + "/src/one.jpg", d + "/src/sub/two.jpg", d + "/src/sub/three.jpg" };
        for (int i = 0; i < 3; ++i) {
            QVERIFY(writeBytes(three[i], QByteArray(3000, 'a')));
            setModified(three[i], t0.addSecs(60 * (i == 0 ? 2 : i == 1 ? 0 : 1)));
        }
        QVERIFY(writeBytes(d + "/src/p.png", "pair") && writeBytes(d + "/src/sub/q.png", "pair"));
        QVERIFY(writeBytes(d + "/target/three.jpg", "already here"));

        ImageTreeWidget* tree = search({ d + "/src", d + "/src/sub" });
        QVERIFY(tree);
        QCOMPARE(w<QLabel>("lbStatus")->text(), QString("完成。"));
        QCOMPARE(fileRows(tree).size(), 5);
        const QList<QTreeWidgetItem*> groups = tree->fileGroupItems();
        QCOMPARE(groups.size(), 2);
        QTreeWidgetItem* jpgs = groups[0]->childCount() == 3 ? groups[0] : groups[1];
        auto checkedNames = [jpgs] {
            QStringList names;
            for (int i = 0; i < jpgs->childCount(); ++i) {
                if (jpgs->child(i)->checkState(0) == Qt::Checked)
                    names << jpgs->child(i)->text(1);
            }
            names.sort();
            return names;
        };
        m_wnd->onSelNewWriteFile();
        QCOMPARE(checkedNames(), QStringList({ "one.jpg", "three.jpg" }));
        QCOMPARE(jpgs->checkState(0), Qt::PartiallyChecked);
        m_wnd->onSelNoneFile();
        m_wnd->onSelOldWriteFile();
        QCOMPARE(checkedNames(), QStringList({ "three.jpg", "two.jpg" }));
        QTreeWidgetItem* pngs = jpgs == groups[0] ? groups[1] : groups[0];
        QCOMPARE(pngs->checkState(0), Qt::PartiallyChecked);

        ModalAnswerer ok("确定");
        QCOMPARE(m_wnd->processChecked(1, QDir::toNativeSeparators(d + "/target")), 1);
        // The groups' marks follow the rows left: the pair keeps only its unchecked file.
        QCOMPARE(pngs->childCount(), 1);
        QCOMPARE(pngs->checkState(0), Qt::Unchecked);
        QCOMPARE(jpgs->checkState(0), Qt::PartiallyChecked);
        QCOMPARE(ok.texts.size(), 1);
        QVERIFY(ok.texts.first().startsWith("有 1 个文件移动失败"));
        QCOMPARE(readBytes(d + "/target/three.jpg"), QByteArray("already here"));
        QVERIFY(QFile::exists(d + "/src/sub/three.jpg") && QFile::exists(d + "/target/two.jpg"));
        QStringList left = filesOf(jpgs);
        left.sort();
        QCOMPARE(left, QStringList({ "one.jpg", "three.jpg" }));
        QCOMPARE(checkedNames(), QStringList({ "three.jpg" }));

        // A copy removes no row, and leaves the file already there as it was.
        m_wnd->onSelAllFile();
        QCOMPARE(m_wnd->processChecked(2, d + "/target"), 1);
        QCOMPARE(readBytes(d + "/target/three.jpg"), QByteArray("already here"));
        QVERIFY(QFile::exists(d + "/target/one.jpg") && QFile::exists(d + "/src/one.jpg"));
        QCOMPARE(fileRows(tree).size(), 3);
    }

    // Removing every copy of a photo asks first; "否" leaves every file.
    void keepsACopy()
    {
        TempDir tmp;
        const QString d = tmp.path();
        QVERIFY(writeBytes(d + "/a.jpg", "same") && writeBytes(d + "/b.jpg", "same"));
        QVERIFY(writeBytes(d + "/c.png", "other") && writeBytes(d + "/e.png", "other"));
        ImageTreeWidget* tree = search({ d });
        QVERIFY(tree);
        m_wnd->onSelAllFile();
        {
            ModalAnswerer no("否");
            QCOMPARE(m_wnd->processChecked(4, QString()), -1);
            QCOMPARE(no.texts.size(), 1);
            QVERIFY(no.texts.first().contains("2 组照片的全部副本"));
        }
        QVERIFY(QFile::exists(d + "/a.jpg") && QFile::exists(d + "/b.jpg") && QFile::exists(d + "/e.png"));
        // One file of each group left unchecked: no question, the checked ones go to the trash.
        m_wnd->onSelNewWriteFile();
        tree->setCurrentItem(fileRows(tree).first());
        QCOMPARE(m_wnd->viewImage()->count(), 2);
        {
            ModalAnswerer no("否");
            QCOMPARE(m_wnd->processChecked(3, QString()), 0);
            QVERIFY(no.texts.isEmpty());
        }
        QCOMPARE(fileRows(tree).size(), 2);
        // The thumbnails show what is left of the group, not the recycled file.
        QCOMPARE(m_wnd->viewImage()->count(), 1);
        QVERIFY(QFile::exists(static_cast<ImageListWidgetItem*>(m_wnd->viewImage()->item(0))->path));
        QCOMPARE(int(QFile::exists(d + "/a.jpg")) + int(QFile::exists(d + "/b.jpg")), 1);
        // The one copy left on disk is not deleted without asking either, even when its row remains.
        m_wnd->onSelAllFile();
        ModalAnswerer no("否");
        QCOMPARE(m_wnd->processChecked(4, QString()), -1);
        QCOMPARE(int(QFile::exists(d + "/a.jpg")) + int(QFile::exists(d + "/b.jpg")), 1);
    }

    void moveAcrossFileSystems_data()
    {
        QTest::addColumn<bool>("mountSmall");
        QTest::newRow("nearly full file system") << true;
        QTest::newRow("file size limit") << false;
    }

    // A move onto another file system that cannot take the photo reports it and leaves the photo whole where it
    // was, with nothing at the target; one that can takes every byte and the photo's times before the source goes.
    void moveAcrossFileSystems()
    {
        QFETCH(bool, mountSmall);
        TempDir tmp;
        const QString d = tmp.path();
        const QByteArray photo = randomBytes(178511);
        QVERIFY(writeBytes(d + "/a.jpg", photo) && writeBytes(d + "/b.jpg", photo));
        TempDir other(QStringLiteral("/dev/shm"));
        if (sameFileSystem(other.path(), d))
            QSKIP("no second file system at /dev/shm");
        std::optional<SmallFileSystem> small;
        QString full = other.path();
        if (mountSmall) {
            small.emplace(160 * 1024);
            if (!small->mounted())
                QSKIP("a file system can be mounted only by root");
            full = small->path();
        }
        ImageTreeWidget* tree = search({ d });
        QVERIFY(tree);
        rowNamed(tree, "b.jpg")->setCheckState(0, Qt::Checked);
        {
            std::optional<FileSizeLimit> limit;
            if (!mountSmall)
                limit.emplace(100000);
            ModalAnswerer ok("确定");
            QCOMPARE(m_wnd->processChecked(1, full), 1);
            QCOMPARE(ok.texts.size(), 1);
            QVERIFY(ok.texts.first().startsWith("有 1 个文件移动失败"));
        }
        QCOMPARE(readBytes(d + "/b.jpg"), photo);
        QCOMPARE(entriesOf(full), QStringList());
        QVERIFY(rowNamed(tree, "b.jpg"));

        const qint64 modifiedNs = platform::readFileTimes(d + "/b.jpg").modifiedNs;
        QCOMPARE(m_wnd->processChecked(1, other.path()), 0);
        QVERIFY(!QFileInfo::exists(d + "/b.jpg"));
        QCOMPARE(readBytes(other.file("b.jpg")), photo);
        QCOMPARE(platform::readFileTimes(other.file("b.jpg")).modifiedNs, modifiedNs);
        QCOMPARE(fileRows(tree).size(), 1);
    }

    // A kept copy that no longer holds what the search found does not count: moving or removing the checked one asks
    // as for the last copy. A kept copy only written again with the same bytes still counts.
    void keptCopyChanged()
    {
        TempDir tmp;
        const QString d = tmp.path();
        const QByteArray photo = randomBytes(5000);
        QVERIFY(writeBytes(d + "/a.jpg", photo) && writeBytes(d + "/b.jpg", photo));
        QVERIFY(QDir().mkpath(d + "/target"));
        ImageTreeWidget* tree = search({ d });
        QVERIFY(tree);
        rowNamed(tree, "b.jpg")->setCheckState(0, Qt::Checked);
        // Another picture of the same size, its modified time put back to the second.
        const QDateTime modified = QFileInfo(d + "/a.jpg").lastModified();
        QVERIFY(writeBytes(d + "/a.jpg", randomBytes(5000)));
        setModified(d + "/a.jpg", modified);
        for (int code : { 4, 3, 1 }) {
            ModalAnswerer no("否");
            QCOMPARE(m_wnd->processChecked(code, d + "/target"), -1);
            QCOMPARE(no.texts.size(), 1);
            QVERIFY(no.texts.first().contains("1 组照片的全部副本"));
        }
        QCOMPARE(readBytes(d + "/b.jpg"), photo);
        QCOMPARE(entriesOf(d + "/target"), QStringList());

        QVERIFY(writeBytes(d + "/a.jpg", photo));
        ModalAnswerer no("否");
        QCOMPARE(m_wnd->processChecked(4, QString()), 0);
        QVERIFY(no.texts.isEmpty());
        QVERIFY(!QFileInfo::exists(d + "/b.jpg") && QFileInfo::exists(d + "/a.jpg"));
    }

    // Only what the search saw is moved or removed. A checked file written since, with its size and modified time
    // put back, is left by every action of the menu and by the thumbnail list's "删除(&D)", and the window says so;
    // one removed by another program leaves the list; a set of copies whose kept copy is written while an earlier
    // set is moved is left too.
    void changedSinceSearch()
    {
        TempDir tmp;
        const QString d = tmp.path();
        for (const char* folder : { "/a", "/b", "/target" })
            QVERIFY(QDir().mkpath(d + folder));
        const QByteArray photo = randomBytes(5000);
        QVERIFY(writeBytes(d + "/a/p.jpg", photo) && writeBytes(d + "/b/p.jpg", photo));
        const QDateTime modified = QDateTime::currentDateTime().addDays(-2);
        setModified(d + "/a/p.jpg", modified);
        ImageTreeWidget* tree = search({ d + "/a", d + "/b" });
        QVERIFY(tree);
        m_wnd->onSelOldWriteFile();
        auto rowOf = [tree](const QString& path) {
            const QList<QTreeWidgetItem*> rows = tree->fileRowsOf({ path });
            return rows.isEmpty() ? nullptr : rows.first();
        };
        QCOMPARE(rowOf(d + "/a/p.jpg")->checkState(0), Qt::Checked);

        QTest::qWait(20); // so that the change time moves on from the one the search saw
        const QByteArray saved = randomBytes(5000);
        QVERIFY(writeBytes(d + "/a/p.jpg", saved));
        setModified(d + "/a/p.jpg", modified);
        const QString said = "有 1 个文件在查找后已改变，未处理，它们仍留在列表中。";
        ModalAnswerer ok("确定");
        for (int code : { 4, 3, 1 })
            QCOMPARE(m_wnd->processChecked(code, d + "/target"), 1);
        tree->setCurrentItem(rowOf(d + "/a/p.jpg"));
        ImageListWidget* list = m_wnd->viewImage();
        QCOMPARE(list->count(), 2);
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setSelected(static_cast<ImageListWidgetItem*>(list->item(i))->path == d + "/a/p.jpg");
        list->onDelete();
        QCOMPARE(ok.texts, QStringList({ said, said, said, said }));
        QCOMPARE(readBytes(d + "/a/p.jpg"), saved);
        QCOMPARE(readBytes(d + "/b/p.jpg"), photo);
        QCOMPARE(entriesOf(d + "/target"), QStringList());
        QCOMPARE(rowOf(d + "/a/p.jpg")->checkState(0), Qt::Checked);

        // Removed by another program, it is named as gone and its row leaves the list.
        QVERIFY(writeBytes(d + "/a/note.txt", "its folder holds something else"));
        QVERIFY(QFile::remove(d + "/a/p.jpg"));
        QCOMPARE(m_wnd->processChecked(3, QString()), 0);
        QCOMPARE(ok.texts.last(), QString("有 1 个文件已不在原处（已被删除或移走），已从列表中去掉。"));
        QVERIFY(!rowOf(d + "/a/p.jpg"));

        // Two sets moved onto another file system; while the first one's file is on its way, the kept copy of the
        // other is written.
        TempDir other(QStringLiteral("/dev/shm"));
        if (sameFileSystem(other.path(), d))
            QSKIP("no second file system at /dev/shm");
        const QByteArray second = randomBytes(7000);
        QVERIFY(writeBytes(d + "/a/q.jpg", second) && writeBytes(d + "/b/q.jpg", second));
        QVERIFY(writeBytes(d + "/a/p.jpg", photo));
        QVERIFY(search({ d + "/a", d + "/b" }));
        rowOf(d + "/a/p.jpg")->setCheckState(0, Qt::Checked);
        rowOf(d + "/a/q.jpg")->setCheckState(0, Qt::Checked);
        QString first;
        FileCopier::setSourceRemovalHook([&](const QString& path) {
            if (first.isEmpty()) {
                first = path;
                writeBytes(d + (path.endsWith("p.jpg") ? "/b/q.jpg" : "/b/p.jpg"),
                    randomBytes(path.endsWith("p.jpg") ? 7000 : 5000));
            }
        });
        const auto noHook = qScopeGuard([] { FileCopier::setSourceRemovalHook({}); });
        QCOMPARE(m_wnd->processChecked(1, other.path()), 1);
        QCOMPARE(ok.texts.last(), QString("有 1 个文件要保留的副本在查找后已改变，未处理，它们仍留在列表中。"));
        const QString left = d + (first.endsWith("p.jpg") ? "/a/q.jpg" : "/a/p.jpg");
        QVERIFY(!first.isEmpty() && !QFileInfo::exists(first) && QFileInfo::exists(left));
    }

    // The thumbnail list's "删除(&D)" asks exactly as the tree's does before the last copy goes.
    void listDeleteAsksForLastCopy()
    {
        TempDir tmp;
        const QString d = tmp.path();
        for (const char* name : { "/a.jpg", "/b.jpg", "/c.jpg" })
            QVERIFY(writeBytes(d + name, "same"));
        ImageTreeWidget* tree = search({ d });
        QVERIFY(tree);
        tree->setCurrentItem(rowNamed(tree, "a.jpg"));
        ImageListWidget* list = m_wnd->viewImage();
        QCOMPARE(list->count(), 3);
        auto selectOnly = [list](const QString& path) {
            list->clearSelection();
            for (int i = 0; i < list->count(); ++i) {
                if (static_cast<ImageListWidgetItem*>(list->item(i))->path == path)
                    list->item(i)->setSelected(true);
            }
        };
        ModalAnswerer no("否");
        for (const char* name : { "/a.jpg", "/b.jpg" }) {
            selectOnly(d + name);
            list->onDelete();
            QVERIFY(!QFileInfo::exists(d + name));
        }
        QVERIFY(no.texts.isEmpty());
        selectOnly(d + "/c.jpg");
        list->onDelete();
        QCOMPARE(no.texts.size(), 1);
        QVERIFY(no.texts.first().contains("1 组照片的全部副本"));
        QVERIFY(QFileInfo::exists(d + "/c.jpg"));
        // The tree's own "删除(&D)" asks the same.
        tree->clearSelection();
        rowNamed(tree, "c.jpg")->setSelected(true);
        tree->onDelete();
        QCOMPARE(no.texts.size(), 2);
        QVERIFY(QFileInfo::exists(d + "/c.jpg"));
    }

    // A file reached through a link is listed and acted on under the link's own name: its row removes or moves the
    // link, never the photo it points at outside the searched folder. A link to a file inside is that same file.
    void linkOutsideFolder()
    {
        TempDir tmp;
        const QString d = tmp.path() + "/照片 D", e = tmp.path() + "/elsewhere", t = tmp.path() + "/target";
        QVERIFY(QDir().mkpath(d) && QDir().mkpath(e) && QDir().mkpath(t));
        const QByteArray photo = randomBytes(3000);
        QVERIFY(writeBytes(d + "/q.jpg", photo) && writeBytes(e + "/p.jpg", photo) && writeBytes(e + "/r.jpg", photo));
        QVERIFY(QFile::link(e + "/p.jpg", d + "/link.jpg"));
        QVERIFY(QFile::link("../elsewhere/r.jpg", d + "/rel.jpg"));
        QVERIFY(QFile::link("q.jpg", d + "/inner.jpg"));
        ImageTreeWidget* tree = search({ d });
        QVERIFY(tree);
        QStringList names;
        for (QTreeWidgetItem* row : fileRows(tree))
            names << row->text(1);
        names.sort();
        QCOMPARE(names, QStringList({ "link.jpg", "q.jpg", "rel.jpg" }));
        QCOMPARE(rowNamed(tree, "link.jpg")->text(0), QDir::toNativeSeparators(d));

        rowNamed(tree, "link.jpg")->setCheckState(0, Qt::Checked);
        QCOMPARE(m_wnd->processChecked(4, QString()), 0);
        QVERIFY(!QFileInfo(d + "/link.jpg").isSymLink());
        QCOMPARE(readBytes(e + "/p.jpg"), photo);

        rowNamed(tree, "rel.jpg")->setCheckState(0, Qt::Checked);
        QCOMPARE(m_wnd->processChecked(1, t), 0);
        QVERIFY(!QFileInfo(d + "/rel.jpg").isSymLink());
        QVERIFY(QFileInfo(t + "/rel.jpg").isSymLink());
        QCOMPARE(QFileInfo(t + "/rel.jpg").canonicalFilePath(), QFileInfo(e + "/r.jpg").canonicalFilePath());
        QCOMPARE(readBytes(e + "/r.jpg"), photo);
    }

    void exportRows()
    {
        TempDir tmp;
        const QString d = tmp.path();
        QVERIFY(writeBytes(d + "/a.jpg", "same") && writeBytes(d + "/b.jpg", "same"));
        QVERIFY(search({ d }));
        QVERIFY(m_wnd->writeList(tmp.file("all.txt"), -1));
        const QList<QByteArray> lines = readBytes(tmp.file("all.txt")).split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QByteArray("文件路径\t文件名称\t文件大小\t文件类型\t创建时间\t修改时间\t\r"));
        QVERIFY(lines[1].startsWith("文件大小 : 4    文件类型 : jpg    \t\t\t\t\t\t"));
        QVERIFY(lines[3].endsWith("\t") && (lines[2] + lines[3]).contains("\ta.jpg\t4\tjpg\t"));
        QVERIFY(m_wnd->writeList(tmp.file("checked.txt"), 2));
        QCOMPARE(readBytes(tmp.file("checked.txt")).count('\n'), 0);
        QVERIFY(!m_wnd->writeList(tmp.file("no/such/folder.txt"), -1));
    }

    // The thumbnails come from the pool at the cell's size; the list's actions use the real paths.
    void thumbnailsAndListActions()
    {
        TempDir tmp;
        QImage big(2400, 1600, QImage::Format_RGB32);
        big.fill(Qt::darkCyan);
        QPainter(&big).fillRect(QRect(200, 200, 800, 600), Qt::yellow);
        QVERIFY(big.save(tmp.file("big.jpg")) && big.save(tmp.file("big copy.png")));
        QVERIFY(writeBytes(tmp.file("broken.jpg"), "not a picture"));
        w<QSpinBox>("sbPreviewImageSize")->setValue(200);
        ImageListWidget* list = m_wnd->viewImage();
        QSignalSpy loaded(list, &ImageListWidget::imagesLoaded);
        list->onLoadFiles({ tmp.file("big.jpg"), tmp.file("big copy.png"), tmp.file("broken.jpg") });
        QCOMPARE(list->count(), 3);
        QVERIFY(waitForSignal(loaded));
        const QRect box = LikeFindCfg::get()->layout.imageRect;
        for (int i = 0; i < 2; ++i) {
            auto* cell = static_cast<ImageListWidgetItem*>(list->item(i));
            QCOMPARE(cell->loaded, 1);
            QVERIFY(cell->image.width() <= box.width() && cell->image.height() <= box.height());
            QCOMPARE(cell->preview.width(), box.width());
        }
        QCOMPARE(static_cast<ImageListWidgetItem*>(list->item(2))->loaded, 0);

        list->onSelectItem(tmp.file("big copy.png"));
        QCOMPARE(list->currentRow(), 1);
        list->onSelectItem(tmp.file("BIG.jpg"));
        QCOMPARE(list->currentRow(), 1);
        list->clearSelection();
        list->item(0)->setSelected(true);
        list->item(1)->setSelected(true);
        list->onCopy();
        const QList<QUrl> urls = QApplication::clipboard()->mimeData()->urls();
        QCOMPARE(urls,
            QList<QUrl>({ QUrl::fromLocalFile(tmp.file("big.jpg")), QUrl::fromLocalFile(tmp.file("big copy.png")) }));

        // A larger cell decodes again, larger.
        w<QSpinBox>("sbPreviewImageSize")->setValue(500);
        QVERIFY(waitForSignal(loaded, 2));
        QVERIFY(static_cast<ImageListWidgetItem*>(list->item(0))->image.width() > box.width());
    }

    // Closing during a search stops it and waits for its job.
    void closeDuringSearch()
    {
        TempDir tmp;
        QImage img(800, 600, QImage::Format_RGB32);
        for (int i = 0; i < 150; ++i) {
            img.fill(QColor::fromHsv(i * 2, 200, 200));
            QPainter(&img).fillRect(QRect(i * 4, i * 3, 200, 150), Qt::black);
            QVERIFY(img.save(tmp.file(QString("p%1.png").arg(i))));
        }
        LikeFindCfg::get()->find.FindSimilarImage = true;
        m_wnd->close();
        QTRY_VERIFY(m_wnd.isNull());
        LikeFindCfg::get()->find.FindPath = QStringList { tmp.path() };
        m_wnd = LikeFindWnd::instance();
        m_wnd->show();
        // Every picture compared with every other, so the search outlasts the checks below.
        for (const char* box : { "cbFullContentIsSame", "cbFileTypeIsSame", "cbFileNameIsSame", "cbFileSizeIsSame",
                 "cbCreationTimeIsSame", "cbLastWriteTimeIsSame" })
            w<QCheckBox>(box)->setChecked(false);
        for (const char* box : { "cbFindSimilarImage", "cbNoDiff", "cbLittleDiff", "cbMediumDiff" })
            w<QCheckBox>(box)->setChecked(true);
        w<QPushButton>("btStartFind")->click();
        QVERIFY(m_wnd->dupImage()->isFinding());
        QPointer<ImageTreeWidget> tree = m_wnd->dupImage();
        QElapsedTimer clock;
        clock.start();
        m_wnd->close();
        QVERIFY(!tree->isFinding());
        QVERIFY(clock.elapsed() < 5000);
    }
};

QTEST_MAIN(TestLikeFindWnd)
#include "tst_likefindwnd.moc"
