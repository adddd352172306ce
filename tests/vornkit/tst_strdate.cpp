#include "datetimeutil.h"
#include "strutil.h"

#include <QTest>

class TestStrDate : public QObject {
    Q_OBJECT
private slots:
    void trimming();
    void numbersAndCompare();
    void byteScans();
    void fileTimes();
    void lenientParse_data();
    void lenientParse();
    void partialParses();
};

void TestStrDate::trimming()
{
    std::string s = "--ab-c--";
    QCOMPARE(Trim(s, "-"), 4);
    QCOMPARE(s, std::string("ab-c"));
    QCOMPARE(TrimLeft(s, ""), 0);
    QCOMPARE(TrimRight(s, "c-"), 2);
    QCOMPARE(s, std::string("ab"));
    std::string all = "xxx";
    QCOMPARE(Trim(all, "x"), 3);
    QVERIFY(all.empty());

    QString q = "  照片 ";
    QCOMPARE(Trim(q, " "), 3);
    QCOMPARE(q, QString("照片"));
    q = "IMG_2023.jpg";
    QCOMPARE(TrimNotNumber(q), 8);
    QCOMPARE(q, QString("2023"));
    q = "ab";
    QCOMPARE(TrimLeftNotNumber(q), 2);
    QVERIFY(q.isEmpty());
    std::string n = "v12b";
    QCOMPARE(TrimRightNotNumber(n), 1);
    QCOMPARE(TrimLeftNotNumber(n), 1);
    QCOMPARE(n, std::string("12"));
}

void TestStrDate::numbersAndCompare()
{
    QCOMPARE(IntToStr(7, 3), QString("007"));
    QCOMPARE(IntToStr(7, 0), QString("7"));
    QCOMPARE(IntToStr(1234, 2), QString("1234"));
    QVERIFY(IsDigit(QString()));
    QVERIFY(IsDigit(QString("0123")));
    QVERIFY(!IsDigit(QString("12a")));
    QVERIFY(IsDigit('5'));
    QVERIFY(!IsDigit('x'));
    QCOMPARE(indexDigit("ab1c2", 0), 2);
    QCOMPARE(indexDigit("ab1c2", 3), 4);
    QCOMPARE(indexDigit("ab1c2", -5), 2);
    QCOMPARE(indexDigit("abc", 0), -1);

    QCOMPARE(StrMax(std::string("a"), std::string("c"), std::string("b")), std::string("c"));
    QCOMPARE(StrMin(std::string("b"), std::string("a"), std::string("c")), std::string("a"));
    QCOMPARE(StrMax(QString("B"), QString("a"), QString("A")), QString("a")); // case-sensitive
    QCOMPARE(StrMin(QString("b"), QString("B"), QString("c")), QString("B"));
}

void TestStrDate::byteScans()
{
    QCOMPARE(indexNotSpace(" \t\r\nx", 0), 4);
    QCOMPARE(indexNotSpace("  ", 0), -1);
    QCOMPARE(extrNotSpace("a  b", 'q', 1), 3);

    const QByteArray xml = "<a><b>1</b><b>2</b></a>";
    QByteArray out;
    QCOMPARE(extrXmlSection(xml, out, "<b>", "</b>", 0), 3);
    QCOMPARE(out, QByteArray("<b>1</b>"));
    QCOMPARE(extrXmlSection(xml, out, "<b>", "</b>", 4), 11);
    QCOMPARE(out, QByteArray("<b>2</b>"));
    QCOMPARE(extrXmlSection(xml, out, "<c>", "</c>", 0), -1);
    QCOMPARE(extrXmlSection(xml, out, nullptr, "</b>", 0), -1);
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
    QCOMPARE(int(st.wYear), 2024);
    QCOMPARE(int(st.wMonth), 2);
    QCOMPARE(int(st.wDay), 28); // converted to UTC
    QCOMPARE(int(st.wHour), 23);
    QCOMPARE(int(st.wDayOfWeek), 3);
    QCOMPARE(int(st.wMilliseconds), 0);
    QCOMPARE(SystemTimeToStr(st), QString("2024-02-29 07:08:09"));

    const QString text = "2023-05-06 07:08:09";
    QCOMPARE(FileTimeToStr(StrToFileTime(text)), text);
    QCOMPARE(SystemTimeToStr(StrToSystemTime(text)), text);
    SYSTEMTIME back;
    QVERIFY(FileTimeToSystemTime(TicksToFileTime(FileTimeToTicks(StrToFileTime(text)) + 1234 * 10000LL), back));
    QCOMPARE(int(back.wMilliseconds), 234);
    QCOMPARE(int(back.wSecond), 10);

    // Failures give a zero FILETIME or an empty text, never a wrong time.
    QCOMPARE(FileTimeToTicks(DateTimeToFileTime(QDateTime())), 0LL);
    QCOMPARE(FileTimeToTicks(DateTimeToFileTime(QDateTime(QDate(1500, 1, 1), QTime(0, 0), Qt::UTC))), 0LL);
    QCOMPARE(FileTimeToStr(TicksToFileTime(-1)), QString());
    QVERIFY(!FileTimeToDateTime(TicksToFileTime(-1)).isValid());
    FILETIME out;
    SYSTEMTIME bad;
    bad.wYear = 2023;
    bad.wMonth = 2;
    bad.wDay = 29;
    QVERIFY(!SystemTimeToFileTime(bad, out));
    QVERIFY(!SystemTimeToDateTime(bad).isValid());
    QVERIFY(SystemTimeToStr(bad).isEmpty());
}

void TestStrDate::lenientParse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("exif") << "2023:05:06 07:08:09"
                          << "2023-05-06 07:08:09";
    QTest::newRow("iso") << "2023-05-06T07:08:09"
                         << "2023-05-06 07:08:09";
    QTest::newRow("digits") << "20230506070809"
                            << "2023-05-06 07:08:09";
    QTest::newRow("file name") << "IMG_20230506.jpg"
                               << "2023-05-06 00:00:00";
    QTest::newRow("blanks") << "  2023 / 5 / 6   7:8 "
                            << "2023-05-06 07:08:00";
    QTest::newRow("chinese") << "2023年5月6日 7时8分9秒"
                             << "2023-05-06 07:08:09";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("no digits") << "abc"
                               << "";
    QTest::newRow("bad month") << "2023-13-01"
                               << "";
    QTest::newRow("bad hour") << "2023-05-06 25:00:00"
                              << "";
    QTest::newRow("bad second") << "2023-05-06 10:00:61"
                                << "";
}

void TestStrDate::lenientParse()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QDateTime dt = ParsDateTimeStr(text);
    QCOMPARE(dt.isValid(), !expected.isEmpty());
    QCOMPARE(DateTimeToStr(dt), expected);
    QCOMPARE(StrToDateTime(text), dt);
    if (dt.isValid())
        QCOMPARE(dt.timeSpec(), Qt::LocalTime);
}

void TestStrDate::partialParses()
{
    QCOMPARE(ParseDateStr("2023-05-06 07:08:09"), QDate(2023, 5, 6));
    QVERIFY(!ParseDateStr("").isValid());
    QCOMPARE(ParseTimeStr("07:08:09"), QTime(7, 8, 9));
    QCOMPARE(ParseTimeStr("070809"), QTime(7, 8, 9));
    QVERIFY(!ParseTimeStr("24:00:00").isValid());
    QVERIFY(IsLikeDateStr("20230506"));
    QVERIFY(!IsLikeDateStr("2023056"));
    QVERIFY(IsLikeTimeStr("abcdef"));
    QVERIFY(IsLikeDateTimeStr("abcdefghijklmn"));
    QVERIFY(!IsLikeDateTimeStr("2023050607080"));
    QCOMPARE(CurrentDateTime().size(), 19);
    QVERIFY(CurrentDateTime().startsWith(CurrentDate()) || CurrentTime() < "00:00:02");
}

QTEST_GUILESS_MAIN(TestStrDate)
#include "tst_strdate.moc"
