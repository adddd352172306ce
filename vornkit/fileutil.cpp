#include "fileutil.h"

namespace {

void trimEnd(QString& s, QChar c)
{
    while (s.endsWith(c))
        s.chop(1);
}

void trimStart(QString& s, QChar c)
{
    int n = 0;
    while (n < s.size() && s.at(n) == c)
        ++n;
    s.remove(0, n);
}

QString tail(QString a)
{
    trimEnd(a, '\\');
    trimEnd(a, '/');
    return a;
}

QString head(QString b)
{
    trimStart(b, '\\');
    trimStart(b, '/');
    return b;
}

QString middle(const QString& b) { return tail(head(b)); }

int lastSeparator(const QString& path) { return qMax(path.lastIndexOf('/'), path.lastIndexOf('\\')); }

} // namespace

QString pathJoin(const QString& a, const QString& b) { return tail(a) + "/" + head(b); }

QString pathJoin(const QString& a, const QString& b, const QString& c)
{
    return tail(a) + "/" + middle(b) + "/" + head(c);
}

QString pathJoin(const QString& a, const QString& b, const QString& c, const QString& d)
{
    return tail(a) + "/" + middle(b) + "/" + middle(c) + "/" + head(d);
}

QString ExtractFilePath(const QString& path)
{
    const int i = lastSeparator(path);
    return i > 0 ? path.left(i) : QString();
}

QString ExtractFileName(const QString& path)
{
    QString s = path;
    trimStart(s, '\\');
    trimEnd(s, '\\');
    trimStart(s, '/');
    trimEnd(s, '/');
    const int i = lastSeparator(s);
    return i > 0 ? s.mid(i + 1) : s;
}

QString ExtractFileExt(const QString& path)
{
    const int i = path.lastIndexOf('.');
    return i > 0 ? path.mid(i + 1) : QString();
}

QString ExtractFileBaseName(const QString& path)
{
    const int i = path.lastIndexOf('.');
    return i > 0 ? path.left(i) : QString();
}

void stdFilePath(QString& path) { path.replace(QChar('\\'), QChar('/'), Qt::CaseSensitive); }

void stdFilePath(QStringList& paths)
{
    for (QString& p : paths)
        stdFilePath(p);
}
