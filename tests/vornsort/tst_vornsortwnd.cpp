#include "filetreeitem.h"
#include "vornsort/sorttest.h"
#include "vornsortwnd.h"

#include "sys/datetimeutil.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

using sorttest::filesBelow;
using sorttest::photo;

class TestVornsortWnd : public QObject {
    Q_OBJECT
private slots:
    void formAndSettings();
    void previewThenExecute();
    void directRunAndChecks();
    void closeDuringRun();
    void programStartsAndSaves();
};

template <class T> static T* child(QWidget& wnd, const char* name)
{
    T* w = wnd.findChild<T*>(name);
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

static QTreeWidget* tree(QWidget& wnd)
{
    return child<QTreeWidget>(wnd, "twFile");
}

static QStringList column(QWidget& wnd, int col)
{
    QStringList texts;
    for (int i = 0; i < tree(wnd)->topLevelItemCount(); ++i)
        texts << tree(wnd)->topLevelItem(i)->text(col);
    return texts;
}

// Clicks a button and waits for the run it starts to end.
static bool runBy(VornsortWnd& wnd, const char* button)
{
    QTest::mouseClick(child<QPushButton>(wnd, button), Qt::LeftButton);
    QElapsedTimer timer;
    timer.start();
    while (wnd.isRunning() && timer.elapsed() < 30000)
        QTest::qWait(10);
    if (wnd.isRunning() || child<QLabel>(wnd, "lbStatus")->text() != "完成")
        qWarning() << "run" << wnd.isRunning() << child<QLabel>(wnd, "lbStatus")->text();
    return !wnd.isRunning() && child<QLabel>(wnd, "lbStatus")->text() == "完成";
}

// Clicks a button that should answer with an information box; returns the box's text after closing it.
static QString boxBy(VornsortWnd& wnd, const char* button)
{
    QString text;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->windowTitle() + ":" + box->text();
            box->buttons().first()->click();
        }
    });
    poll.start(20);
    QTest::mouseClick(child<QPushButton>(wnd, button), Qt::LeftButton);
    return text;
}

void TestVornsortWnd::formAndSettings()
{
    sorttest::SortEnv env;
    VornsortWnd wnd;
    auto* rule = child<QComboBox>(wnd, "cbPathRuleTime");
    auto* format = child<QLineEdit>(wnd, "lePathRuleTimeStr");
    auto* range = child<QCheckBox>(wnd, "cbLimitDateRange");

    // First start: the defaults.
    QVERIFY(range->isChecked() && child<QCheckBox>(wnd, "cbKeepSrcFile")->isChecked());
    QCOMPARE(child<QDateEdit>(wnd, "dtStartDate")->date(), QDate(2000, 1, 1));
    QCOMPARE(child<QDateEdit>(wnd, "dtEndDate")->date(), QDate::currentDate());
    QCOMPARE(child<QComboBox>(wnd, "cbFileModTimeSrc")->currentIndex(), 1);
    QCOMPARE(child<QComboBox>(wnd, "cbFileCreateTimeSrc")->currentIndex(), 2);
    QCOMPARE(rule->count(), 15);
    QCOMPARE(format->text(), QString("yyyy年/MM月dd日"));
    QVERIFY(format->isReadOnly());
    QVERIFY(!child<QPushButton>(wnd, "btExecPreview")->isEnabled());

    // The custom format keeps the text and takes typing; a fixed one replaces it.
    rule->setCurrentIndex(14);
    QVERIFY(!format->isReadOnly());
    QCOMPARE(format->text(), QString("yyyy年/MM月dd日"));
    rule->setCurrentIndex(8);
    QCOMPARE(format->text(), QString("yyyy/MM"));
    QVERIFY(format->isReadOnly());
    rule->setCurrentIndex(14);
    format->setText("yyyy-MM");
    range->setChecked(false);
    QVERIFY(!child<QDateEdit>(wnd, "dtEndDate")->isEnabled());
    auto* hide = child<QPushButton>(wnd, "btHideSetting");
    wnd.show();
    QTest::mouseClick(hide, Qt::LeftButton);
    QVERIFY(!child<QWidget>(wnd, "wgCentral")->isVisible());
    QCOMPARE(hide->text(), QString("显示条件"));

    // The title text moves the window, its buttons do not.
    QWidget* title = child<QWidget>(wnd, "lbTitle");
    QVERIFY(wnd.hitCaption(title->mapTo(&wnd, title->rect().center())));
    QWidget* close = child<QWidget>(wnd, "btClose");
    QVERIFY(!wnd.hitCaption(close->mapTo(&wnd, close->rect().center())));

    // Closing keeps the form in the settings and the geometry in the settings store.
    wnd.close();
    const TidyCfg& cfg = *TidyCfg::get();
    QCOMPARE(QList<int>({ cfg.PathRuleTime, cfg.LimitDateRange }), QList<int>({ 14, 0 }));
    QCOMPARE(cfg.PathRuleTimeStr, QString("yyyy-MM"));
    QVERIFY(!QSettings().value("VornsortWnd/Geometry").toByteArray().isEmpty());
}

void TestVornsortWnd::previewThenExecute()
{
    sorttest::SortEnv env;
    testutil::TempDir dir;
    const QStringList sources = { photo(dir.file("src"), "a.jpg", "2021:02:03 04:05:06"),
        photo(dir.file("src/卡 2"), "b.jpg", "2022:12:31 23:59:59"), photo(dir.file("src/卡 2"), "no date.png") };
    TidyCfg& cfg = *TidyCfg::get();
    cfg = sorttest::cfgFor(dir.file("src"), dir.file("dst"), "yyyy/MM");
    cfg.KeepSrcFile = false; // as a settings file may have left it
    VornsortWnd wnd;
    auto* exec = child<QPushButton>(wnd, "btExecPreview");
    QVERIFY(runBy(wnd, "btPreview"));
    QCOMPARE(column(wnd, 1), QStringList({ "a.jpg", "b.jpg", "no date.png" }));
    QCOMPARE(column(wnd, 3), QStringList({ "2021/02/a.jpg", "2022/12/b.jpg", "" }));
    QCOMPARE(column(wnd, 4), QStringList({ "2021-02-03 04:05:06", "2022-12-31 23:59:59", "" }));
    QVERIFY(exec->isEnabled());
    QVERIFY(!QFileInfo::exists(dir.file("dst")));

    // A change that moves the files drops the preview until the form plans as it did.
    auto* rule = child<QComboBox>(wnd, "cbPathRuleTime");
    rule->setCurrentIndex(11);
    QVERIFY(!exec->isEnabled());
    rule->setCurrentIndex(14);
    child<QLineEdit>(wnd, "lePathRuleTimeStr")->setText("yyyy/MM");
    QVERIFY(exec->isEnabled());

    // Ticking "keep the sources" after the preview keeps them.
    child<QCheckBox>(wnd, "cbKeepSrcFile")->setChecked(true);
    QVERIFY(runBy(wnd, "btExecPreview"));
    QCOMPARE(column(wnd, 9), QStringList({ "复制源文件成功", "复制源文件成功", "跳过" }));
    for (const QString& source : sources)
        QVERIFY2(QFileInfo::exists(source), qPrintable(source));
    QCOMPARE(filesBelow(dir.file("dst")), QStringList({ "2021/02/a.jpg", "2022/12/b.jpg" }));
    QVERIFY(!exec->isEnabled());

    // Rows sorted by the user are carried out in that order: the first takes the name.
    QVERIFY(testutil::writeBytes(dir.file("src/卡 2/a.jpg"), testutil::readBytes(sources.at(1))));
    child<QComboBox>(wnd, "cbFileExistsOpt")->setCurrentIndex(1);
    QVERIFY(runBy(wnd, "btPreview"));
    tree(wnd)->sortItems(0, Qt::DescendingOrder);
    QVERIFY(runBy(wnd, "btExecPreview"));
    QCOMPARE(column(wnd, 3).first(), QString("2022/12/a.jpg"));
    QVERIFY(column(wnd, 3).contains("2021/02/a-1.jpg"));
}

void TestVornsortWnd::directRunAndChecks()
{
    sorttest::SortEnv env;
    testutil::TempDir dir;
    const QString a = photo(dir.file("src"), "a.jpg", "2021:02:03 04:05:06");
    TidyCfg& cfg = *TidyCfg::get();
    cfg = sorttest::cfgFor(dir.file("src"), dir.file("dst"));
    cfg.KeepSrcFile = false;
    VornsortWnd wnd;

    QVERIFY(runBy(wnd, "btStart"));
    QCOMPARE(column(wnd, 9), QStringList({ "删除源文件成功" }));
    QVERIFY(!QFileInfo::exists(a));
    QCOMPARE(filesBelow(dir.file("dst")), QStringList({ "2021/02/03/a.jpg" }));
    QVERIFY(!child<QPushButton>(wnd, "btExecPreview")->isEnabled());

    // The checks before a run: a box, and the rows stay.
    child<QCheckBox>(wnd, "cbLimitDateRange")->setChecked(true);
    child<QDateEdit>(wnd, "dtEndDate")->setDate(QDate(1999, 1, 1));
    QCOMPARE(boxBy(wnd, "btPreview"), QString("提示:请设置好照片拍摄时间范围。"));
    QCOMPARE(tree(wnd)->topLevelItemCount(), 1);
    child<QCheckBox>(wnd, "cbLimitDateRange")->setChecked(false);
    child<QLineEdit>(wnd, "leSrcPath")->setText(dir.file("missing"));
    QCOMPARE(boxBy(wnd, "btStart"), QString("提示:要整理的目录不存在。"));
    child<QLineEdit>(wnd, "leSrcPath")->setText("  ");
    QCOMPARE(boxBy(wnd, "btStart"), QString("提示:请选择要整理的目录。"));

    // A tree without photos: done, nothing shown, and the empty preview can be carried out.
    QVERIFY(QDir().mkpath(dir.file("empty/sub")));
    child<QLineEdit>(wnd, "leSrcPath")->setText(dir.file("empty"));
    QVERIFY(runBy(wnd, "btPreview"));
    QCOMPARE(tree(wnd)->topLevelItemCount(), 0);
    QVERIFY(runBy(wnd, "btExecPreview"));
}

void TestVornsortWnd::closeDuringRun()
{
    sorttest::SortEnv env;
    testutil::TempDir dir;
    QVERIFY(QDir().mkpath(dir.file("src")));
    QMap<QString, QByteArray> originals;
    for (int i = 0; i < 48; ++i) {
        const QString name = QString("IMG_%1.jpg").arg(i, 4, 10, QChar('0'));
        QByteArray bytes(6 << 20, char(i));
        QVERIFY(testutil::writeBytes(dir.file("src/" + name), bytes));
        originals.insert(name, bytes);
    }
    TidyCfg& cfg = *TidyCfg::get();
    cfg = sorttest::cfgFor(dir.file("src"), dir.file("dst"), "yyyy");
    cfg.PathRuleTimeSrc = TidyCfg::SrcModTime;
    cfg.FileModTimeSrc = TidyCfg::SrcModTime;
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
    const QString year = QString::number(QDate::currentDate().year());
    int moved = 0;
    for (auto it = originals.begin(); it != originals.end(); ++it) {
        const QString target = dir.file("dst/" + year + "/" + it.key());
        const bool copied = QFileInfo::exists(target);
        moved += copied;
        QVERIFY(copied ? testutil::readBytes(target) == it.value()
                       : testutil::readBytes(dir.file("src/" + it.key())) == it.value());
    }
    QVERIFY(moved < originals.size());
    for (const QString& file : filesBelow(dir.file("dst")))
        QVERIFY2(originals.contains(QFileInfo(file).fileName()), qPrintable(file));
}

void TestVornsortWnd::programStartsAndSaves()
{
    testutil::ProgramDir program;
    testutil::TempDir home;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VORN_PROGRAM_DIR", program.path());
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.file("config"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("VORN_QUIT_AFTER_MS", "300");
    process.setProcessEnvironment(environment);
    process.start(qEnvironmentVariable("VORN_BIN_DIR") + "/vornsort", QStringList());
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    // The first exit writes the settings file with the form's defaults.
    const QJsonObject tidy = QJsonDocument::fromJson(testutil::readBytes(program.file("profile/vornsort.cfg")))
                                 .object()
                                 .value("tidy")
                                 .toObject();
    QCOMPARE(tidy.value("KeepSrcFile").toBool(false), true);
    QCOMPARE(tidy.value("EndDate").toString(), CurrentDate());
    QVERIFY(QFileInfo::exists(program.file("data/tag.db")));
}

QTEST_MAIN(TestVornsortWnd)
#include "tst_vornsortwnd.moc"
