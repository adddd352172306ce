#include "aboutmedlg.h"
#include "fontutil.h"
#include "logdlg.h"
#include "logger.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTextEdit>
#include <QtConcurrent>

class TestLogger : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void lineFormat();
    void instancesAndLimit();
    void concurrentLogging();
    void logDialogShowsPlainLines();
    void aboutDialogFormAndGeometry();
    void chineseFontsFallBack();
};

void TestLogger::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName("tamrolek-test");
    QCoreApplication::setApplicationName("tst_logger");
    QSettings().clear();
}

void TestLogger::lineFormat()
{
    const QDateTime at(QDate(2021, 1, 2), QTime(3, 4, 5));
    const QMessageLogContext none;
    QCOMPARE(Logger::formatLine(at, QtWarningMsg, none, "text"), QString("2021-01-02 03:04:05 w text [ 0  ]"));

    const QMessageLogContext ctx("a.cpp", 12, "void f()", "vorn.kit");
    QCOMPARE(
        Logger::formatLine(at, QtDebugMsg, ctx, "x"), QString("2021-01-02 03:04:05 d x [a.cpp 12 void f() vorn.kit]"));
    QCOMPARE(Logger::formatLine(at, QtCriticalMsg, none, "").left(22), QString("2021-01-02 03:04:05 c "));
    QCOMPARE(Logger::formatLine(at, QtFatalMsg, none, "").mid(20, 2), QString("f "));
    QCOMPARE(Logger::formatLine(at, QtInfoMsg, none, "").mid(20, 2), QString("i "));
    QCOMPARE(Logger::formatLine(at, QtMsgType(42), none, "").mid(20, 2), QString("u "));
}

void TestLogger::instancesAndLimit()
{
    Logger::ReleaseInstance();
    QCOMPARE(Logger::GetInstance(), nullptr);
    // Without an instance a message is dropped.
    Logger::log(QtWarningMsg, QMessageLogContext(), "lost");
    QCOMPARE(Logger::ReleaseInstance(), 0);

    Logger* first = Logger::CreateInstance(0);
    QVERIFY(first);
    QCOMPARE(Logger::CreateInstance(0), first);
    QCOMPARE(Logger::CreateInstance(-3), first);
    QCOMPARE(Logger::GetInstance(), first);

    const QtMessageHandler old = qInstallMessageHandler(Logger::log);
    qWarning("through the handler %d", 7);
    qInstallMessageHandler(old);
    QStringList logs = first->getLogs();
    QCOMPARE(logs.size(), 1);
    QVERIFY(logs.first().contains(" w through the handler 7 ["));
    QVERIFY(QDateTime::fromString(logs.first().left(19), "yyyy-MM-dd hh:mm:ss").isValid());

    // A fresh instance drops the lines.
    Logger* second = Logger::CreateInstance(1);
    QVERIFY(second->getLogs().isEmpty());

    for (int i = 0; i < 1001; ++i)
        second->addLog(QString("line %1").arg(i));
    logs = second->getLogs();
    QCOMPARE(logs.size(), 1000);
    QCOMPARE(logs.first(), QString("line 1"));
    QCOMPARE(logs.last(), QString("line 1000"));

    QCOMPARE(Logger::ReleaseInstance(), 1);
    QCOMPARE(Logger::ReleaseInstance(), 0);
}

void TestLogger::concurrentLogging()
{
    Logger* logger = Logger::CreateInstance(1);
    QList<int> workers { 0, 1, 2, 3 };
    QtConcurrent::blockingMap(workers, [](int w) {
        for (int i = 0; i < 400; ++i)
            Logger::log(QtDebugMsg, QMessageLogContext(), QString("w%1 %2").arg(w).arg(i));
    });
    QCOMPARE(logger->getLogs().size(), 1000);
    Logger::ReleaseInstance();
}

void TestLogger::logDialogShowsPlainLines()
{
    Logger::ReleaseInstance();
    {
        LogDlg dlg;
        auto* te = dlg.findChild<QTextEdit*>("teLog");
        QVERIFY(te);
        QVERIFY(te->isReadOnly());
        QCOMPARE(te->lineWrapMode(), QTextEdit::NoWrap);
        QCOMPARE(dlg.windowTitle(), QString("查看日志"));
        dlg.show();
        QVERIFY(te->toPlainText().isEmpty());
    }
    Logger* logger = Logger::CreateInstance(1);
    logger->addLog("first <b>not bold</b>");
    logger->addLog("second");
    LogDlg dlg;
    auto* te = dlg.findChild<QTextEdit*>("teLog");
    dlg.show();
    QCOMPARE(te->toPlainText(), QString("first <b>not bold</b>\nsecond"));
    logger->addLog("third");
    QTest::mouseClick(dlg.findChild<QWidget*>("btLoadLog"), Qt::LeftButton);
    QCOMPARE(te->toPlainText().split('\n').size(), 3);
    // Without an instance the text stays as it is.
    Logger::ReleaseInstance();
    QTest::mouseClick(dlg.findChild<QWidget*>("btLoadLog"), Qt::LeftButton);
    QCOMPARE(te->toPlainText().split('\n').size(), 3);
    dlg.close();
    QVERIFY(QSettings().contains("LogDlg/Geometry"));
}

void TestLogger::aboutDialogFormAndGeometry()
{
    QSettings().remove("AboutMeDlg/Geometry");
    {
        AboutMeDlg dlg;
        QCOMPARE(dlg.windowTitle(), QString("蔚禾照片管理 - 关于本软件"));
        QCOMPARE(dlg.size(), QSize(648, 448));
        QCOMPARE(dlg.font().pointSize(), 10);
        QVERIFY(!dlg.windowIcon().isNull());
        QVERIFY(dlg.windowFlags() & Qt::WindowCloseButtonHint);
        auto* lb1 = dlg.findChild<QLabel*>("lb1");
        auto* lb2 = dlg.findChild<QLabel*>("lb2");
        QVERIFY(lb1 && lb2);
        QVERIFY(!lb1->pixmap(Qt::ReturnByValue).isNull());
        QCOMPARE(lb2->text(), QString("蔚禾照片管理 v1.3"));
        QVERIFY(lb2->textInteractionFlags() & Qt::TextSelectableByMouse);
        dlg.show();
        dlg.resize(500, 300);
        dlg.close();
    }
    QVERIFY(QSettings().contains("AboutMeDlg/Geometry"));
    AboutMeDlg again;
    QCOMPARE(again.size(), QSize(500, 300));
}

void TestLogger::chineseFontsFallBack()
{
    installFontFallbacks();
    installFontFallbacks();
    const QStringList families = QFontDatabase().families();
    bool cjk = false;
    for (const QString& family : families)
        cjk = cjk || QFontDatabase().writingSystems(family).contains(QFontDatabase::SimplifiedChinese);
    if (!cjk)
        QSKIP("no Chinese font installed");
    // The family names stay as the forms write them; what they resolve to has the glyphs.
    for (const char* family : { "微软雅黑", "宋体" }) {
        const QFont font(QString::fromUtf8(family), 10);
        QCOMPARE(font.family(), QString::fromUtf8(family));
        const QFontInfo info(font);
        QVERIFY2(QFontDatabase().writingSystems(info.family()).contains(QFontDatabase::SimplifiedChinese),
            qPrintable(info.family()));
        QVERIFY(QFontMetrics(font).inFont(QChar(0x8517)));
    }
}

QTEST_MAIN(TestLogger)
#include "tst_logger.moc"
