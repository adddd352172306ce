#include "sys/datetimeutil.h"

namespace {

const qint64 ticksPerSecond = 10000000LL;
const qint64 ticksPerDay = 86400LL * ticksPerSecond;

qint64 julian1601()
{
    return QDate(1601, 1, 1).toJulianDay();
}

const QString dateTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

// Cuts the leading run of at most maxLen number characters off t, then the non-numbers after it.
int takeField(QString& t, int maxLen)
{
    int n = 0;
    while (n < maxLen && n < t.size() && t.at(n).isNumber())
        ++n;
    const QString field = t.left(n);
    t.remove(0, n);
    int i = 0;
    while (i < t.size() && !t.at(i).isNumber())
        ++i;
    t.remove(0, i);
    return field.toInt(); // empty or not decimal: 0
}

// The text with its leading non-numbers removed and an end mark appended.
QString prepared(const QString& s)
{
    QString t = s.simplified();
    int i = 0;
    while (i < t.size() && !t.at(i).isNumber())
        ++i;
    t.remove(0, i);
    t += QLatin1Char('@');
    return t;
}

} // namespace

qint64 FileTimeToTicks(const FILETIME& ft)
{
    return qint64((quint64(ft.dwHighDateTime) << 32) | quint64(ft.dwLowDateTime));
}

FILETIME TicksToFileTime(qint64 ticks)
{
    FILETIME ft;
    ft.dwLowDateTime = uint32_t(quint64(ticks) & 0xFFFFFFFFu);
    ft.dwHighDateTime = uint32_t(quint64(ticks) >> 32);
    return ft;
}

bool SystemTimeToFileTime(const SYSTEMTIME& st, FILETIME& ft)
{
    if (st.wYear < 1601 || st.wYear > 30827 || !QDate::isValid(st.wYear, st.wMonth, st.wDay) || st.wHour > 23
        || st.wMinute > 59 || st.wSecond > 59 || st.wMilliseconds > 999)
        return false;
    const qint64 days = QDate(st.wYear, st.wMonth, st.wDay).toJulianDay() - julian1601();
    const qint64 secs = st.wHour * 3600LL + st.wMinute * 60LL + st.wSecond;
    ft = TicksToFileTime(days * ticksPerDay + secs * ticksPerSecond + st.wMilliseconds * 10000LL);
    return true;
}

bool FileTimeToSystemTime(const FILETIME& ft, SYSTEMTIME& st)
{
    const qint64 ticks = FileTimeToTicks(ft);
    if (ticks < 0)
        return false;
    const QDate date = QDate::fromJulianDay(julian1601() + ticks / ticksPerDay);
    qint64 rest = ticks % ticksPerDay;
    st.wYear = uint16_t(date.year());
    st.wMonth = uint16_t(date.month());
    st.wDay = uint16_t(date.day());
    st.wDayOfWeek = uint16_t(date.dayOfWeek() % 7); // 0 is Sunday
    st.wHour = uint16_t(rest / (3600 * ticksPerSecond));
    rest %= 3600 * ticksPerSecond;
    st.wMinute = uint16_t(rest / (60 * ticksPerSecond));
    rest %= 60 * ticksPerSecond;
    st.wSecond = uint16_t(rest / ticksPerSecond);
    st.wMilliseconds = uint16_t((rest % ticksPerSecond) / 10000);
    return true;
}

QString CurrentDate()
{
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
}

QString CurrentTime()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
}

QString CurrentDateTime()
{
    return DateTimeToStr(QDateTime::currentDateTime());
}

QString DateTimeToStr(const QDateTime& dt)
{
    return dt.toString(dateTimeFormat);
}

SYSTEMTIME DateTimeToSystemTime(const QDateTime& dt)
{
    SYSTEMTIME st;
    const QDateTime u = dt.toUTC();
    if (!u.isValid() || u.date().year() < 0 || u.date().year() > 65535)
        return st;
    st.wYear = uint16_t(u.date().year());
    st.wMonth = uint16_t(u.date().month());
    st.wDayOfWeek = uint16_t(u.date().dayOfWeek());
    st.wDay = uint16_t(u.date().day());
    st.wHour = uint16_t(u.time().hour());
    st.wMinute = uint16_t(u.time().minute());
    st.wSecond = uint16_t(u.time().second());
    return st;
}

FILETIME DateTimeToFileTime(const QDateTime& dt)
{
    FILETIME ft;
    if (!SystemTimeToFileTime(DateTimeToSystemTime(dt), ft))
        return FILETIME();
    return ft;
}

QDateTime SystemTimeToDateTime(const SYSTEMTIME& st)
{
    const QDate date(st.wYear, st.wMonth, st.wDay);
    const QTime time(st.wHour, st.wMinute, st.wSecond);
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC).toLocalTime();
}

QString SystemTimeToStr(const SYSTEMTIME& st)
{
    return DateTimeToStr(SystemTimeToDateTime(st));
}

QDateTime FileTimeToDateTime(const FILETIME& ft)
{
    SYSTEMTIME st;
    if (!FileTimeToSystemTime(ft, st))
        return QDateTime();
    return SystemTimeToDateTime(st);
}

QString FileTimeToStr(const FILETIME& ft)
{
    SYSTEMTIME st;
    if (!FileTimeToSystemTime(ft, st))
        return QString();
    return SystemTimeToStr(st);
}

QDateTime ParsDateTimeStr(const QString& s)
{
    QString t = prepared(s);
    const int year = takeField(t, 4);
    const int month = takeField(t, 2);
    const int day = takeField(t, 2);
    const int hour = takeField(t, 2);
    const int minute = takeField(t, 2);
    const int second = takeField(t, 2);
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    // QDateTime would turn an invalid time into midnight.
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::LocalTime);
}

QDateTime StrToDateTime(const QString& s)
{
    return ParsDateTimeStr(s);
}

QDate ParseDateStr(const QString& s)
{
    QString t = prepared(s);
    const int year = takeField(t, 4);
    const int month = takeField(t, 2);
    const int day = takeField(t, 2);
    return QDate(year, month, day);
}

QTime ParseTimeStr(const QString& s)
{
    QString t = prepared(s);
    const int hour = takeField(t, 2);
    const int minute = takeField(t, 2);
    const int second = takeField(t, 2);
    return QTime(hour, minute, second);
}

SYSTEMTIME StrToSystemTime(const QString& s)
{
    return DateTimeToSystemTime(ParsDateTimeStr(s));
}

FILETIME StrToFileTime(const QString& s)
{
    return DateTimeToFileTime(ParsDateTimeStr(s));
}

bool IsLikeDateStr(const QString& s)
{
    return s.size() >= 8;
}

bool IsLikeTimeStr(const QString& s)
{
    return s.size() >= 6;
}

bool IsLikeDateTimeStr(const QString& s)
{
    return s.size() >= 14;
}
