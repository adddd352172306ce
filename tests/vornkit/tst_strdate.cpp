#include "common/testutil.h"
#include "sys/datetimeutil.h"
#include "sys/strutil.h"

#include <QTest>

class TestStrDate : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testutil::useTimeZone("Asia/Shanghai"); }
    void stringHelpers();
    void fileTimes();
    void lenientParse();
};

void TestStrDate::stringHelpers()
{
    // The trims return how many characters they took off.
    std::string s = "--ab-c--";
    QCOMPARE(Trim(s, "-"), 4);
    QCOMPARE(TrimRight(s, "c-"), 2);
    QCOMPARE(s, std::string("ab"));
    QString q = "IMG_2023.jpg";
    QCOMPARE(TrimNotNumber(q), 8);
    QCOMPARE(q, QString("2023"));

    QCOMPARE(IntToStr(7, 3), QString("007"));
    QCOMPARE(IntToStr(1234, 2), QString("1234"));
    QVERIFY(IsDigit(QString()));
    QCOMPARE(indexDigit("ab1c2", -5), 2);
    QCOMPARE(StrMax(QString("B"), QString("a"), QString("A")), QString("a")); // case-sensitive

    QCOMPARE(indexNotSpace(" \t\r\nx", 0), 4);
    QCOMPARE(extrNotSpace("a  b", 'q', 1), 3);
    const QByteArray xml = "<a><b>1</b><b>2</b></a>";
    QByteArray out;
    QCOMPARE(extrXmlSection(xml, out, "<b>", "</b>", 4), 11);
    QCOMPARE(out, QByteArray("<b>2</b>"));
    QCOMPARE(extrXmlSection(xml, out, "<c>", "</c>", 0), -1);
    QCOMPARE(extrXmlSection("<x/>", out, "<x", "<x", 0), -1); // the close tag is looked for after the open one
    QCOMPARE(extrXmlAttribute("<a k = \"v 1\">", out, "k", 0), 3);
    QCOMPARE(out, QByteArray("v 1"));
    QCOMPARE(extrXmlAttribute("<a k>", out, "k", 0), -1);
}

void TestStrDate::fileTimes()
{
    // 1970-01-01 UTC is 11644473600 seconds after 1601-01-01.
    const QDateTime epoch = QDateTime::fromMSecsSinceEpoch(0, Qt::UTC);
    const FILETIME ft = DateTimeToFileTime(epoch);
    QCOMPARE(FileTimeToTicks(ft), 116444736000000000LL);
    QCOMPARE(FileTimeToStr(ft), QString("1970-01-01 08:00:00")); // local time (TZ is fixed for tests)
    QCOMPARE(FileTimeToDateTime(ft), epoch);

    const SYSTEMTIME st = DateTimeToSystemTime(QDateTime(QDate(2024, 2, 29), QTime(7, 8, 9, 500)));
    QCOMPARE(QList<int>({ st.wYear, st.wMonth, st.wDay, st.wHour, st.wDayOfWeek, st.wMilliseconds }),
        QList<int>({ 2024, 2, 28, 23, 3, 0 })); // UTC
    QCOMPARE(SystemTimeToStr(st), QString("2024-02-29 07:08:09"));

    const QString text = "2023-05-06 07:08:09";
    QCOMPARE(SystemTimeToStr(StrToSystemTime(text)), text);
    SYSTEMTIME back;
    QVERIFY(FileTimeToSystemTime(TicksToFileTime(FileTimeToTicks(StrToFileTime(text)) + 1234 * 10000LL), back));
    QCOMPARE(int(back.wMilliseconds), 234);
    QCOMPARE(int(back.wSecond), 10);

    // Failures give a zero FILETIME or an empty text, never a wrong time.
    QCOMPARE(FileTimeToTicks(DateTimeToFileTime(QDateTime())), 0LL);
    QCOMPARE(FileTimeToTicks(DateTimeToFileTime(QDateTime(QDate(1500, 1, 1), QTime(0, 0), Qt::UTC))), 0LL);
    QCOMPARE(FileTimeToStr(TicksToFileTime(-1)), QString());
    SYSTEMTIME bad {};
    bad.wYear = 2023;
    bad.wMonth = 2;
    bad.wDay = 29;
    QVERIFY(SystemTimeToStr(bad).isEmpty());
}

void TestStrDate::lenientParse()
{
    const QList<QPair<QString, QString>> cases {
        { "2023:05:06 07:08:09", "2023-05-06 07:08:09" },
        { "2023-05-06T07:08:09", "2023-05-06 07:08:09" },
        { "20230506070809", "2023-05-06 07:08:09" },
        { "IMG_20230506.jpg", "2023-05-06 00:00:00" },
        { "  2023 / 5 / 6   7:8 ", "2023-05-06 07:08:00" },
        { "2023年5月6日 7时8分9秒", "2023-05-06 07:08:09" },
        { "", "" },
        { "abc", "" },
        { "2023-13-01", "" },
        { "2023-05-06 25:00:00", "" },
        { "2023-05-06 10:00:61", "" },
    };
    for (const auto& c : cases) {
        const QDateTime dt = ParsDateTimeStr(c.first);
        QCOMPARE(c.first + " -> " + DateTimeToStr(dt), c.first + " -> " + c.second);
        QCOMPARE(dt.isValid(), !c.second.isEmpty());
        QCOMPARE(StrToDateTime(c.first), dt);
        QVERIFY(!dt.isValid() || dt.timeSpec() == Qt::LocalTime);
    }

    QCOMPARE(ParseDateStr("2023-05-06 07:08:09"), QDate(2023, 5, 6));
    QCOMPARE(ParseTimeStr("070809"), QTime(7, 8, 9));
    QVERIFY(!ParseTimeStr("24:00:00").isValid());
    QVERIFY(IsLikeDateStr("20230506"));
    QVERIFY(!IsLikeDateStr("2023056"));
    QVERIFY(IsLikeDateTimeStr("abcdefghijklmn")); // by length only
    QVERIFY(!IsLikeDateTimeStr("2023050607080"));
}

QTEST_GUILESS_MAIN(TestStrDate)
#include "tst_strdate.moc"
