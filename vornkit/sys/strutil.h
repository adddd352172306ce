#pragma once

#include "sys/vornkit_global.h"

#include <QByteArray>
#include <QString>

#include <string>

VORNKIT_EXPORT int Trim(std::string& s, const std::string& set);
VORNKIT_EXPORT int TrimLeft(std::string& s, const std::string& set);
VORNKIT_EXPORT int TrimRight(std::string& s, const std::string& set);
VORNKIT_EXPORT int Trim(QString& s, const QString& set);
VORNKIT_EXPORT int TrimLeft(QString& s, const QString& set);
VORNKIT_EXPORT int TrimRight(QString& s, const QString& set);
VORNKIT_EXPORT int TrimNotNumber(std::string& s);
VORNKIT_EXPORT int TrimLeftNotNumber(std::string& s);
VORNKIT_EXPORT int TrimRightNotNumber(std::string& s);
VORNKIT_EXPORT int TrimNotNumber(QString& s);
VORNKIT_EXPORT int TrimLeftNotNumber(QString& s);
VORNKIT_EXPORT int TrimRightNotNumber(QString& s);
VORNKIT_EXPORT QString IntToStr(int value, int width);
VORNKIT_EXPORT bool IsDigit(const QString& s);
VORNKIT_EXPORT bool IsDigit(char c);
VORNKIT_EXPORT std::string StrMax(const std::string& a, const std::string& b, const std::string& c);
VORNKIT_EXPORT std::string StrMin(const std::string& a, const std::string& b, const std::string& c);
VORNKIT_EXPORT QString StrMax(const QString& a, const QString& b, const QString& c);
VORNKIT_EXPORT QString StrMin(const QString& a, const QString& b, const QString& c);
VORNKIT_EXPORT int indexDigit(const QString& s, int start);
VORNKIT_EXPORT int indexNotSpace(const QByteArray& bytes, int start);
VORNKIT_EXPORT int extrNotSpace(const QByteArray& bytes, char c, int start);
VORNKIT_EXPORT int extrXmlSection(
    const QByteArray& bytes, QByteArray& out, const char* openTag, const char* closeTag, int start);
VORNKIT_EXPORT int extrXmlAttribute(const QByteArray& bytes, QByteArray& out, const char* name, int start);
