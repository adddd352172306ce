#include "records/tagutil.h"

namespace {

template <class T> void unionInto(const QList<T>& a, const QList<T>& b, QList<T>& out)
{
    for (const T& v : a) {
        if (!out.contains(v))
            out.append(v);
    }
    for (const T& v : b) {
        if (!out.contains(v))
            out.append(v);
    }
}

template <class T> void intersectInto(const QList<T>& a, const QList<T>& b, QList<T>& out)
{
    for (const T& v : a) {
        if (b.contains(v))
            out.append(v);
    }
}

} // namespace

QString StringListToStr(const QStringList& tags)
{
    QString s;
    for (const QString& t : tags) {
        s += t;
        s += QLatin1Char(' ');
    }
    return s;
}

QString RgbListToStr(const QList<uint>& rgbs)
{
    QString s;
    for (uint c : rgbs) {
        s += QString::number(c, 10);
        s += QLatin1Char(' ');
    }
    return s;
}

QString& stdSplit(QString& s)
{
    static const QString separators[] = {
        QStringLiteral(","),
        QStringLiteral("，"),
        QStringLiteral(";"),
        QStringLiteral("；"),
        QStringLiteral("、"),
        QStringLiteral("\r"),
        QStringLiteral("\n"),
        QStringLiteral("\t"),
    };
    for (const QString& sep : separators)
        s.replace(sep, QStringLiteral(" "), Qt::CaseSensitive);
    return s;
}

QString stdSplit1(QString s)
{
    return stdSplit(s);
}

void StrToStringList(const QString& text, QStringList& out)
{
    QString s = text;
    out.append(stdSplit(s).split(QLatin1Char(' '), Qt::SkipEmptyParts));
}

QStringList StrToStringList(const QString& text)
{
    QStringList out;
    StrToStringList(text, out);
    return out;
}

void StrToRgbList(const QString& text, QList<uint>& out)
{
    const QStringList parts = StrToStringList(text);
    for (const QString& p : parts)
        out.append(p.toUInt(nullptr, 10));
}

QList<uint> StrToRgbList(const QString& text)
{
    QList<uint> out;
    StrToRgbList(text, out);
    return out;
}

void splitTextTags(const QStringList& tags, QStringList& out)
{
    for (const QString& t : tags)
        StrToStringList(t, out);
}

QStringList splitTextTags(const QStringList& tags)
{
    QStringList out;
    splitTextTags(tags, out);
    return out;
}

void UnionTextTag(const QStringList& a, const QStringList& b, QStringList& out)
{
    unionInto<QString>(a, b, out);
}

QStringList UnionTextTag(const QStringList& a, const QStringList& b)
{
    QStringList out;
    UnionTextTag(a, b, out);
    return out;
}

void UnionRgb(const QList<uint>& a, const QList<uint>& b, QList<uint>& out)
{
    unionInto<uint>(a, b, out);
}

QList<uint> UnionRgb(const QList<uint>& a, const QList<uint>& b)
{
    QList<uint> out;
    UnionRgb(a, b, out);
    return out;
}

void IntersectionTextTag(const QStringList& a, const QStringList& b, QStringList& out)
{
    intersectInto<QString>(a, b, out);
}

QStringList IntersectionTextTag(const QStringList& a, const QStringList& b)
{
    QStringList out;
    IntersectionTextTag(a, b, out);
    return out;
}

void IntersectionRgb(const QList<uint>& a, const QList<uint>& b, QList<uint>& out)
{
    intersectInto<uint>(a, b, out);
}

QList<uint> IntersectionRgb(const QList<uint>& a, const QList<uint>& b)
{
    QList<uint> out;
    IntersectionRgb(a, b, out);
    return out;
}
