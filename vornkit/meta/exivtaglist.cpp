#include "meta/exivtaglist.h"

#include <QFile>
#include <QTextStream>

int ExivTagList::load(const QString& file, bool skipHeader)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    QTextStream in(&f);
    in.setCodec("UTF-8");
    if (skipHeader)
        in.readLine();
    for (QString line = in.readLine(); !line.isEmpty(); line = in.readLine()) {
        const QStringList fields = line.split(',', Qt::KeepEmptyParts);
        ExivTag tag(getValue(fields, 0), getValue(fields, 1), getValue(fields, 2), getValue(fields, 3));
        if (!tag.getTagCnName().isEmpty())
            m_tags.append(tag);
    }
    return 0;
}

QString ExivTagList::getValue(const QStringList& fields, int i) const
{
    if (i < 0 || i >= fields.size())
        return QString();
    return fields.at(i).simplified();
}
