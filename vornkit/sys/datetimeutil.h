#pragma once

#include "sys/vornkit_global.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <cstdint>

// 100-ns ticks since 1601-01-01 UTC, split in two halves.
struct FILETIME {
    uint32_t dwLowDateTime = 0;
    uint32_t dwHighDateTime = 0;
};

// Broken-down UTC time.
struct SYSTEMTIME {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;
    uint16_t wDayOfWeek = 0;
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;
};

VORNKIT_EXPORT bool SystemTimeToFileTime(const SYSTEMTIME& st, FILETIME& ft);
VORNKIT_EXPORT bool FileTimeToSystemTime(const FILETIME& ft, SYSTEMTIME& st);
VORNKIT_EXPORT qint64 FileTimeToTicks(const FILETIME& ft);
VORNKIT_EXPORT FILETIME TicksToFileTime(qint64 ticks);

VORNKIT_EXPORT QString CurrentDate();
VORNKIT_EXPORT QString CurrentTime();
VORNKIT_EXPORT QString CurrentDateTime();
VORNKIT_EXPORT QString DateTimeToStr(const QDateTime& dt);
VORNKIT_EXPORT SYSTEMTIME DateTimeToSystemTime(const QDateTime& dt);
VORNKIT_EXPORT FILETIME DateTimeToFileTime(const QDateTime& dt);
VORNKIT_EXPORT QDateTime SystemTimeToDateTime(const SYSTEMTIME& st);
VORNKIT_EXPORT QString SystemTimeToStr(const SYSTEMTIME& st);
VORNKIT_EXPORT QDateTime FileTimeToDateTime(const FILETIME& ft);
VORNKIT_EXPORT QString FileTimeToStr(const FILETIME& ft);
VORNKIT_EXPORT QDateTime ParsDateTimeStr(const QString& s);
VORNKIT_EXPORT QDateTime StrToDateTime(const QString& s);
VORNKIT_EXPORT QDate ParseDateStr(const QString& s);
VORNKIT_EXPORT QTime ParseTimeStr(const QString& s);
VORNKIT_EXPORT SYSTEMTIME StrToSystemTime(const QString& s);
VORNKIT_EXPORT FILETIME StrToFileTime(const QString& s);
VORNKIT_EXPORT bool IsLikeDateStr(const QString& s);
VORNKIT_EXPORT bool IsLikeTimeStr(const QString& s);
VORNKIT_EXPORT bool IsLikeDateTimeStr(const QString& s);
