#include "sys/strutil.h"

#include <cstring>

namespace {

bool isAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

template <class Str, class Pred> int trimLeftIf(Str& s, Pred pred)
{
    int n = 0;
    while (n < int(s.size()) && pred(s[n]))
        ++n;
    s.erase(0, n);
    return n;
}

template <class Str, class Pred> int trimRightIf(Str& s, Pred pred)
{
    int n = 0;
    while (n < int(s.size()) && pred(s[s.size() - 1 - n]))
        ++n;
    s.erase(s.size() - n);
    return n;
}

int qtrimLeftIf(QString& s, bool (*pred)(QChar, const QString&), const QString& set)
{
    int n = 0;
    while (n < s.size() && pred(s.at(n), set))
        ++n;
    s.remove(0, n);
    return n;
}

int qtrimRightIf(QString& s, bool (*pred)(QChar, const QString&), const QString& set)
{
    int n = 0;
    while (n < s.size() && pred(s.at(s.size() - 1 - n), set))
        ++n;
    s.chop(n);
    return n;
}

bool inSet(QChar c, const QString& set)
{
    return set.contains(c);
}
bool notNumber(QChar c, const QString&)
{
    return !c.isNumber();
}

} // namespace

int TrimLeft(std::string& s, const std::string& set)
{
    return trimLeftIf(s, [&set](char c) { return set.find(c) != std::string::npos; });
}

int TrimRight(std::string& s, const std::string& set)
{
    return trimRightIf(s, [&set](char c) { return set.find(c) != std::string::npos; });
}

int Trim(std::string& s, const std::string& set)
{
    return TrimLeft(s, set) + TrimRight(s, set);
}

int TrimLeft(QString& s, const QString& set)
{
    return qtrimLeftIf(s, inSet, set);
}

int TrimRight(QString& s, const QString& set)
{
    return qtrimRightIf(s, inSet, set);
}

int Trim(QString& s, const QString& set)
{
    return TrimLeft(s, set) + TrimRight(s, set);
}

int TrimLeftNotNumber(std::string& s)
{
    return trimLeftIf(s, [](char c) { return !isAsciiDigit(c); });
}

int TrimRightNotNumber(std::string& s)
{
    return trimRightIf(s, [](char c) { return !isAsciiDigit(c); });
}

int TrimNotNumber(std::string& s)
{
    return TrimLeftNotNumber(s) + TrimRightNotNumber(s);
}

int TrimLeftNotNumber(QString& s)
{
    return qtrimLeftIf(s, notNumber, QString());
}

int TrimRightNotNumber(QString& s)
{
    return qtrimRightIf(s, notNumber, QString());
}

int TrimNotNumber(QString& s)
{
    return TrimLeftNotNumber(s) + TrimRightNotNumber(s);
}

QString IntToStr(int value, int width)
{
    if (width <= 0)
        return QString::number(value);
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

bool IsDigit(const QString& s)
{
    for (const QChar c : s) {
        if (!c.isDigit())
            return false;
    }
    return true;
}

bool IsDigit(char c)
{
    return isAsciiDigit(c);
}

// On equal values the later argument wins.
std::string StrMax(const std::string& a, const std::string& b, const std::string& c)
{
    const std::string& m = a > b ? a : b;
    return m > c ? m : c;
}

std::string StrMin(const std::string& a, const std::string& b, const std::string& c)
{
    const std::string& m = a < b ? a : b;
    return m < c ? m : c;
}

QString StrMax(const QString& a, const QString& b, const QString& c)
{
    const QString& m = a > b ? a : b;
    return m > c ? m : c;
}

QString StrMin(const QString& a, const QString& b, const QString& c)
{
    const QString& m = a < b ? a : b;
    return m < c ? m : c;
}

int indexDigit(const QString& s, int start)
{
    for (int i = qMax(start, 0); i < s.size(); ++i) {
        if (s.at(i).isDigit())
            return i;
    }
    return -1;
}

int indexNotSpace(const QByteArray& bytes, int start)
{
    for (int i = qMax(start, 0); i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c != '\t' && c != '\n' && c != '\r' && c != ' ')
            return i;
    }
    return -1;
}

int extrNotSpace(const QByteArray& bytes, char, int start)
{
    return indexNotSpace(bytes, start);
}

int extrXmlSection(const QByteArray& bytes, QByteArray& out, const char* openTag, const char* closeTag, int start)
{
    if (!openTag || !closeTag)
        return -1;
    const int begin = bytes.indexOf(openTag, qMax(start, 0));
    if (begin < 0)
        return -1;
    const int end = bytes.indexOf(closeTag, begin + int(std::strlen(openTag)));
    if (end < 0)
        return -1;
    out = bytes.mid(begin, end + int(std::strlen(closeTag)) - begin);
    return begin;
}

// name="value" or name='value': out := value; returns the index of the name, -1 when there is none.
int extrXmlAttribute(const QByteArray& bytes, QByteArray& out, const char* name, int start)
{
    if (!name || !*name)
        return -1;
    const int at = bytes.indexOf(name, qMax(start, 0));
    if (at < 0)
        return -1;
    int i = indexNotSpace(bytes, at + int(std::strlen(name)));
    if (i < 0 || bytes.at(i) != '=')
        return -1;
    i = indexNotSpace(bytes, i + 1);
    if (i < 0 || (bytes.at(i) != '"' && bytes.at(i) != '\''))
        return -1;
    const int end = bytes.indexOf(bytes.at(i), i + 1);
    if (end < 0)
        return -1;
    out = bytes.mid(i + 1, end - i - 1);
    return at;
}
