#include "sys/fontutil.h"
#include "sys/logger.h"
#include "widgets/aboutmedlg.h"
#include "widgets/logdlg.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTextEdit>
#include <QtConcurrent>

class TestLogger : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void linesAndLimit();
    void dialogs();
    void chineseFontsFallBack();
};

void TestLogger::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName("tamrolek-test");
    QCoreApplication::setApplicationName("tst_logger");
    QSettings().clear();
}

void TestLogger::linesAndLimit()
{
    const QDateTime at(QDate(2021, 1, 2), QTime(3, 4, 5));
    QCOMPARE(Logger::formatLine(at, QtWarningMsg, QMessageLogContext(), "text"),
        QString("2021-01-02 03:04:05 w text [ 0  ]"));
    const QMessageLogContext ctx("a.cpp", 12, "void f()", "vorn.kit");
    QCOMPARE(
        Logger::formatLine(at, QtDebugMsg, ctx, "x"), QString("2021-01-02 03:04:05 d x [a.cpp 12 void f() vorn.kit]"));
    QCOMPARE(Logger::formatLine(at, QtMsgType(42), ctx, "").mid(20, 2), QString("u "));

    // Without an instance a message is dropped; the instance is made once.
    Logger::ReleaseInstance();
    Logger::log(QtWarningMsg, QMessageLogContext(), "lost");
    QCOMPARE(Logger::ReleaseInstance(), 0);
    Logger* first = Logger::CreateInstance(0);
    QCOMPARE(Logger::CreateInstance(0), first);
    const QtMessageHandler old = qInstallMessageHandler(Logger::log);
    qWarning("through the handler %d", 7);
    qInstallMessageHandler(old);
    QCOMPARE(first->getLogs().size(), 1);
    QVERIFY(first->getLogs().first().contains(" w through the handler 7 ["));

    // A fresh instance drops the lines; the newest 1000 are kept, from any thread.
    Logger* second = Logger::CreateInstance(1);
    QVERIFY(second->getLogs().isEmpty());
    for (int i = 0; i < 1001; ++i)
        second->addLog(QString("line %1").arg(i));
    QCOMPARE(second->getLogs().size(), 1000);
    QCOMPARE(second->getLogs().first(), QString("line 1"));
    QCOMPARE(second->getLogs().last(), QString("line 1000"));
    QList<int> workers { 0, 1, 2, 3 };
    QtConcurrent::blockingMap(workers, [](int w) {
        for (int i = 0; i < 400; ++i)
            Logger::log(QtDebugMsg, QMessageLogContext(), QString("w%1 %2").arg(w).arg(i));
    });
    QCOMPARE(second->getLogs().size(), 1000);
    QCOMPARE(Logger::ReleaseInstance(), 1);
}

void TestLogger::dialogs()
{
    // The log dialog shows the lines as plain text, and reloads them on request while there is a log.
    Logger* logger = Logger::CreateInstance(1);
    logger->addLog("first <b>not bold</b>");
    logger->addLog("second");
    {
        LogDlg dlg;
        auto* te = dlg.findChild<QTextEdit*>("teLog");
        dlg.show();
        QCOMPARE(te->toPlainText(), QString("first <b>not bold</b>\nsecond"));
        logger->addLog("third");
        QTest::mouseClick(dlg.findChild<QWidget*>("btLoadLog"), Qt::LeftButton);
        QCOMPARE(te->toPlainText().split('\n').size(), 3);
        Logger::ReleaseInstance();
        QTest::mouseClick(dlg.findChild<QWidget*>("btLoadLog"), Qt::LeftButton);
        QCOMPARE(te->toPlainText().split('\n').size(), 3);
        dlg.close();
        LogDlg none; // without a log
        none.show();
        QVERIFY(none.findChild<QTextEdit*>("teLog")->toPlainText().isEmpty());
    }
    QVERIFY(QSettings().contains("LogDlg/Geometry"));

    // The about dialog comes back at the size it was closed with.
    {
        AboutMeDlg dlg;
        QCOMPARE(dlg.size(), QSize(648, 448));
        dlg.show();
        dlg.resize(500, 300);
        dlg.close();
    }
    QCOMPARE(AboutMeDlg().size(), QSize(500, 300));
}

void TestLogger::chineseFontsFallBack()
{
    installFontFallbacks();
    installFontFallbacks();
    bool cjk = false;
    for (const QString& family : QFontDatabase().families())
        cjk = cjk || QFontDatabase().writingSystems(family).contains(QFontDatabase::SimplifiedChinese);
    if (!cjk)
        QSKIP("no Chinese font installed");
    // The family names stay as the forms write them; what they resolve to has the glyphs.
    for (const char* family : { "微软雅黑", "宋体" }) {
        const QFont font(QString::fromUtf8(family), 10);
        QCOMPARE(font.family(), QString::fromUtf8(family));
        QVERIFY2(QFontDatabase().writingSystems(QFontInfo(font).family()).contains(QFontDatabase::SimplifiedChinese),
            family);
        QVERIFY(QFontMetrics(font).inFont(QChar(0x8517)));
    }
}

QTEST_MAIN(TestLogger)
#include "tst_logger.moc"
