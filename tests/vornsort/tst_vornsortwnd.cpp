#include "vornsort/sorttest.h"
#include "vornsortwnd.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using sorttest::filesBelow;
using sorttest::photo;

class TestVornsortWnd : public QObject {
    Q_OBJECT
private slots:
    void formRules();
    void previewThenExecute();
    void closeDuringRun();
    void linkedFoldersFollowedOnce();
    void linksAboveSourceOrToTarget_data();
    void linksAboveSourceOrToTarget();
    void programStartsAndSaves();
    void runUnderFileSizeLimit();
    void programUnderFileSizeLimit();
};

template <class T = QWidget> static T* child(QWidget& wnd, const char* name)
{
    T* w = wnd.findChild<T*>(name);
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

static QStringList column(QWidget& wnd, int col)
{
    QStringList texts;
    auto* tree = child<QTreeWidget>(wnd, "twFile");
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        texts << tree->topLevelItem(i)->text(col);
    return texts;
}

// Each row as "<folder relative to base>/<file> <note>".
static QStringList rowsBelow(QWidget& wnd, const QString& base)
{
    QStringList rows;
    const QStringList folders = column(wnd, 0), names = column(wnd, 1), notes = column(wnd, 9);
    for (int i = 0; i < names.size(); ++i)
        rows << QDir(base).relativeFilePath(folders.at(i)) + "/" + names.at(i) + " " + notes.at(i);
    return rows;
}

// Clicks a button and waits for the run it starts to end; true when it ended with "完成".
static bool runBy(VornsortWnd& wnd, const char* button)
{
    QTest::mouseClick(child<QPushButton>(wnd, button), Qt::LeftButton);
    QElapsedTimer timer;
    timer.start();
    while (wnd.isRunning() && timer.elapsed() < 30000)
        QTest::qWait(10);
    return !wnd.isRunning() && child<QLabel>(wnd, "lbStatus")->text() == "完成";
}

// Clicks a button that should answer with a message box; returns its text after closing it.
static QString boxBy(VornsortWnd& wnd, const char* button)
{
    const auto box = testutil::answerMessageBox();
    QTest::mouseClick(child<QPushButton>(wnd, button), Qt::LeftButton);
    return box->text;
}

void TestVornsortWnd::formRules()
{
    sorttest::SortEnv env;
    VornsortWnd wnd;
    auto* rule = child<QComboBox>(wnd, "cbPathRuleTime");
    auto* format = child<QLineEdit>(wnd, "lePathRuleTimeStr");

    // Only the custom format takes typing.
    rule->setCurrentIndex(8);
    QVERIFY(format->isReadOnly());
    rule->setCurrentIndex(14);
    QVERIFY(!format->isReadOnly());
    format->setText("yyyy-MM");

    // The checks before a run: a box, and the rows stay.
    child<QDateEdit>(wnd, "dtEndDate")->setDate(QDate(1999, 1, 1));
    child<QLineEdit>(wnd, "leSrcPath")->setText("  ");
    QCOMPARE(boxBy(wnd, "btStart"), QString("请选择要整理的目录。"));
    child<QLineEdit>(wnd, "leSrcPath")->setText(env.home.path());
    child<QLineEdit>(wnd, "leDstPath")->setText(env.home.path() + "/dst");
    QCOMPARE(boxBy(wnd, "btPreview"), QString("请设置好照片拍摄时间范围。"));
    child<QCheckBox>(wnd, "cbLimitDateRange")->setChecked(false);
    child<QLineEdit>(wnd, "leSrcPath")->setText(env.home.path() + "/missing");
    QCOMPARE(boxBy(wnd, "btPreview"), QString("要整理的目录不存在。"));

    // A tree without photos: done, nothing shown, and the empty preview can be carried out.
    QVERIFY(QDir().mkpath(env.home.path() + "/empty/sub"));
    child<QLineEdit>(wnd, "leSrcPath")->setText(env.home.path() + "/empty");
    QVERIFY(runBy(wnd, "btPreview"));
    QCOMPARE(column(wnd, 0), QStringList());
    QVERIFY(runBy(wnd, "btExecPreview"));

    // Closing keeps the form in the settings.
    wnd.close();
    QCOMPARE(QList<int>({ TidyCfg::get()->PathRuleTime, TidyCfg::get()->LimitDateRange }), QList<int>({ 14, 0 }));
    QCOMPARE(TidyCfg::get()->PathRuleTimeStr, QString("yyyy-MM"));
}

void TestVornsortWnd::previewThenExecute()
{
    sorttest::SortEnv env;
    testutil::TempDir dir;
    QVERIFY(!photo(dir.file("src"), "a.jpg", "2021:02:03 04:05:06").isEmpty());
    QVERIFY(!photo(dir.file("src/卡 2"), "b.jpg", "2022:12:31 23:59:59").isEmpty());
    QVERIFY(!photo(dir.file("src/卡 2"), "no date.png").isEmpty());
    TidyCfg& cfg = *TidyCfg::get();
    cfg = sorttest::cfgFor(dir.file("src"), dir.file("dst"), "yyyy/MM");
    cfg.KeepSrcFile = false; // as a settings file may have left it
    VornsortWnd wnd;
    auto* exec = child<QPushButton>(wnd, "btExecPreview");
    QVERIFY(runBy(wnd, "btPreview"));
    QCOMPARE(column(wnd, 3), QStringList({ "2021/02/a.jpg", "2022/12/b.jpg", "" }));
    QVERIFY(exec->isEnabled());
    QVERIFY(!QFileInfo::exists(dir.file("dst")));

    // A change that would move the files drops the preview until the form plans as it did.
    auto* rule = child<QComboBox>(wnd, "cbPathRuleTime");
    rule->setCurrentIndex(11);
    QVERIFY(!exec->isEnabled());
    rule->setCurrentIndex(8);
    QVERIFY(exec->isEnabled());

    // Ticking "keep the sources" after the preview keeps them.
    child<QCheckBox>(wnd, "cbKeepSrcFile")->setChecked(true);
    QVERIFY(runBy(wnd, "btExecPreview"));
    QCOMPARE(column(wnd, 9), QStringList({ "复制源文件成功", "复制源文件成功", "跳过" }));
    QCOMPARE(filesBelow(dir.file("src")).size(), 3);
    QCOMPARE(filesBelow(dir.file("dst")), QStringList({ "2021/02/a.jpg", "2022/12/b.jpg" }));
    QVERIFY(!exec->isEnabled());

    // A direct run plans and carries out in one go.
    child<QCheckBox>(wnd, "cbKeepSrcFile")->setChecked(false);
    child<QLineEdit>(wnd, "leDstPath")->setText(dir.file("moved"));
    QVERIFY(runBy(wnd, "btStart"));
    QCOMPARE(column(wnd, 9), QStringList({ "删除源文件成功", "删除源文件成功", "跳过" }));
    QCOMPARE(filesBelow(dir.file("src")), QStringList({ "卡 2/no date.png" }));
}

void TestVornsortWnd::closeDuringRun()
{
    sorttest::SortEnv env;
    testutil::TempDir dir;
    QVERIFY(QDir().mkpath(dir.file("src")));
    QMap<QString, QByteArray> originals;
    for (int i = 0; i < 48; ++i) {
        const QString name = QString("IMG_%1.jpg").arg(i, 4, 10, QChar('0'));
        originals.insert(name, QByteArray(6 << 20, char(i)));
        QVERIFY(testutil::writeBytes(dir.file("src/" + name), originals.value(name)));
    }
    TidyCfg& cfg = *TidyCfg::get();
    cfg = sorttest::cfgFor(dir.file("src"), dir.file("dst"), "yyyy");
    cfg.PathRuleTimeSrc = cfg.FileModTimeSrc = TidyCfg::SrcModTime;
    cfg.KeepSrcFile = false;
    auto* wnd = new VornsortWnd();
    wnd->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<VornsortWnd> alive(wnd);
    wnd->show();

    // Closed while it copies: the window goes at once, and every photo is whole in one place or the other.
    QTest::mouseClick(child<QPushButton>(*wnd, "btStart"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!filesBelow(dir.file("dst")).isEmpty(), 20000);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(wnd->close());
    QVERIFY(timer.elapsed() < 5000);
    QTRY_VERIFY(alive.isNull());
    const QStringList moved = filesBelow(dir.file("dst"));
    QVERIFY(moved.size() < originals.size());
    for (auto it = originals.begin(); it != originals.end(); ++it) {
        const QString target = QString::number(QDate::currentDate().year()) + "/" + it.key();
        const QString whole = dir.file(moved.contains(target) ? "dst/" + target : "src/" + it.key());
        QVERIFY2(testutil::readBytes(whole) == it.value(), qPrintable(whole));
    }
}

void TestVornsortWnd::linkedFoldersFollowedOnce()
{
    sorttest::SortEnv env;
    testutil::TempDir dir;
    const QString src = dir.file("src");
    const QString card = dir.file("卡 card");
    QVERIFY(!photo(src, "a.jpg", "2021:02:03 04:05:06").isEmpty());
    QVERIFY(!photo(card, "L1.jpg", "2022:05:06 07:08:09").isEmpty());
    QVERIFY(!photo(dir.file("elsewhere"), "o.jpg", "2023:01:01 10:00:00").isEmpty());
    QVERIFY(QDir().mkpath(src + "/sub"));
    // A folder outside linked in twice, a link from it back into the source, a loop inside, a link to a photo
    // of the tree and one to a photo outside.
    QVERIFY(QFile::link(card, src + "/lnk"));
    QVERIFY(QFile::link(card, src + "/lnk 2"));
    QVERIFY(QFile::link(src + "/sub", card + "/back"));
    QVERIFY(QFile::link(src, src + "/sub/loop"));
    QVERIFY(QFile::link(src + "/a.jpg", src + "/sub/alias.jpg"));
    QVERIFY(QFile::link(dir.file("elsewhere/o.jpg"), src + "/sub/out.jpg"));
    TidyCfg& cfg = *TidyCfg::get();
    cfg = sorttest::cfgFor(src, dir.file("dst"), "yyyy/MM");
    cfg.KeepSrcFile = true;
    VornsortWnd wnd;

    // Every entry is a row: each photo once, the links not followed with the reason.
    QVERIFY(runBy(wnd, "btPreview"));
    const QStringList notes = column(wnd, 9);
    QCOMPARE(rowsBelow(wnd, dir.path()),
        QStringList({ "src/a.jpg ", "src/lnk/L1.jpg ", "src/lnk/back 跳过：目录链接指向要整理的目录之内",
            "src/lnk 2 跳过：目录链接指向的目录已经列出",
            "src/sub/alias.jpg 跳过：与“" + QDir::toNativeSeparators(src + "/a.jpg") + "”是同一个文件",
            "src/sub/out.jpg ", "src/sub/loop 跳过：目录链接指向要整理的目录之内" }));

    // Carried out: one copy of each photo, the photo behind a link with its content; the skipped keep saying why.
    QVERIFY(runBy(wnd, "btExecPreview"));
    QCOMPARE(column(wnd, 9).mid(0, 3), QStringList({ "复制源文件成功", "复制源文件成功", notes.at(2) }));
    QCOMPARE(column(wnd, 9).at(5), QString("复制源文件成功"));
    QCOMPARE(filesBelow(dir.file("dst")), QStringList({ "2021/02/a.jpg", "2022/05/L1.jpg", "2023/01/out.jpg" }));
    QVERIFY(!QFileInfo(dir.file("dst/2023/01/out.jpg")).isSymLink());
    QCOMPARE(testutil::readBytes(dir.file("dst/2022/05/L1.jpg")), testutil::readBytes(card + "/L1.jpg"));
}

void TestVornsortWnd::linksAboveSourceOrToTarget_data()
{
    // Where the source's link points, the destination as typed, a photo that only the link reaches, and why
    // the link is left alone (empty: followed). Paths are below the test folder, where "别 名" links to it.
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("dst");
    QTest::addColumn<QString>("photo");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char* name, const char* target, const char* dst, const char* photo, const char* reason) {
        QTest::newRow(name) << QString(target) << QString(dst) << QString(photo) << QString(reason);
    };
    row("source's parent", "..", "dst", "other/notmine.jpg", "目录链接指向要整理的目录的上级目录");
    row("destination, typed through a link", "../dst", "别 名/dst", "dst/old.jpg", "目录链接指向整理后的目录");
    row("inside the destination", "../整理 后/收件 箱", "整理 后", "整理 后/收件 箱/old.jpg",
        "目录链接指向整理后的目录之内");
    row("holding a destination still to be made", "../lib", "lib/整理 后", "lib/lib.jpg",
        "目录链接指向整理后的目录的上级目录");
    row("a folder elsewhere", "../other", "dst", "other/notmine.jpg", "");
    row("the destination's name in other letters", "../DST", "dst", "DST/big.jpg", "");
}

void TestVornsortWnd::linksAboveSourceOrToTarget()
{
    QFETCH(QString, target);
    QFETCH(QString, dst);
    QFETCH(QString, photo);
    QFETCH(QString, reason);
    sorttest::SortEnv env;
    testutil::TempDir dir;
    const QString src = dir.file("src");
    QVERIFY(!sorttest::photo(src, "a.jpg", "2021:02:03 04:05:06").isEmpty());
    const QFileInfo planted(dir.file(photo));
    QVERIFY(!sorttest::photo(planted.path(), planted.fileName(), "2020:01:02 03:04:05").isEmpty());
    QVERIFY(QDir().mkpath(dir.file("dst")));
    QVERIFY(QFile::link(dir.path(), dir.file("别 名")));
    QVERIFY(QFile::link(target, src + "/链 接"));
    TidyCfg& cfg = *TidyCfg::get();
    cfg = sorttest::cfgFor(src, dir.file(dst), "yyyy/MM");
    cfg.KeepSrcFile = false;
    VornsortWnd wnd;

    // Moved from the source only what the user chose; a link that leads above it or to the target says why.
    QVERIFY(runBy(wnd, "btStart"));
    const QString linkRow
        = reason.isEmpty() ? "src/链 接/" + planted.fileName() + " 删除源文件成功" : "src/链 接 跳过：" + reason;
    QCOMPARE(rowsBelow(wnd, dir.path()), QStringList({ "src/a.jpg 删除源文件成功", linkRow }));
    QCOMPARE(QFileInfo::exists(planted.filePath()), !reason.isEmpty());
}

void TestVornsortWnd::programStartsAndSaves()
{
    testutil::ProgramDir program;
    testutil::TempDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VORN_PROGRAM_DIR", program.path());
    environment.insert("XDG_CONFIG_HOME", home.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("VORN_QUIT_AFTER_MS", "300");
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(testutil::programPath("vornsort"), QStringList());
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    // The first exit writes the settings file; the form keeps the sources unless told otherwise.
    const QJsonObject saved
        = QJsonDocument::fromJson(testutil::readBytes(program.file("profile/vornsort.cfg"))).object();
    QVERIFY(saved.value("tidy").toObject().value("KeepSrcFile").toBool());
}

void TestVornsortWnd::runUnderFileSizeLimit()
{
    // Under a file-size limit (or on a full disk) the photo too large to be copied is told on its row and stays
    // where it was, with nothing of it left in the target; the run goes on to the others.
    sorttest::SortEnv env;
    testutil::TempDir dir;
    const QString small = photo(dir.file("src"), "a small.jpg", "2021:02:03 04:05:06");
    const QString big = photomaker::makePhoto(dir.file("src"), "大 big.jpg", true, 1600, 1200);
    QVERIFY(!small.isEmpty() && !big.isEmpty());
    const QByteArray bigBytes = testutil::readBytes(big);
    TidyCfg& cfg = *TidyCfg::get();
    cfg = sorttest::cfgFor(dir.file("src"), dir.file("dst"), "yyyy/MM/dd");
    cfg.KeepSrcFile = false;
    VornsortWnd wnd;
    {
        testutil::FileSizeLimit limit(bigBytes.size() / 2);
        QVERIFY(runBy(wnd, "btStart"));
    }
    QCOMPARE(column(wnd, 9), QStringList({ "删除源文件成功", "复制源文件失败" }));
    QCOMPARE(testutil::readBytes(big), bigBytes);
    QCOMPARE(filesBelow(dir.file("dst")), QStringList({ "2021/02/03/a small.jpg" }));
}

void TestVornsortWnd::programUnderFileSizeLimit()
{
    // The program under a limit that its settings file cannot be written within: it ends normally (the write
    // fails) instead of being killed by the signal, and the settings file of the run before stays whole.
    testutil::ProgramDir program;
    testutil::TempDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VORN_PROGRAM_DIR", program.path());
    environment.insert("XDG_CONFIG_HOME", home.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("VORN_QUIT_AFTER_MS", "300");
    const QString binary = testutil::programPath("vornsort");
    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(binary, QStringList());
    QVERIFY(first.waitForFinished(30000) && first.exitCode() == 0);
    const QByteArray saved = testutil::readBytes(program.file("profile/vornsort.cfg"));
    QVERIFY(!saved.isEmpty());

    QProcess limited;
    limited.setProcessEnvironment(environment);
    QVERIFY(testutil::startUnderFileSizeLimit(limited, binary, QStringList(), 16));
    QVERIFY(limited.waitForFinished(30000));
    QCOMPARE(limited.exitStatus(), QProcess::NormalExit);
    QCOMPARE(limited.exitCode(), 0);
    QCOMPARE(testutil::readBytes(program.file("profile/vornsort.cfg")), saved);
}

QTEST_MAIN(TestVornsortWnd)
#include "tst_vornsortwnd.moc"
