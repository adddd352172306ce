#pragma once

#include "meta/exivtag.h"
#include "sys/vornkit_global.h"

#include <QList>
#include <QString>
#include <QStringList>

// The metadata dictionary: rows "key,group name,tag name,display name" of a UTF-8 text file.
class VORNKIT_EXPORT ExivTagList {
public:
    // Appends the file's rows (up to the first empty line); 0, or -1 when it cannot be opened.
    int load(const QString& file, bool skipHeader);

    QList<ExivTag>& tags() { return m_tags; }
    const QList<ExivTag>& tags() const { return m_tags; }

protected:
    QString getValue(const QStringList& fields, int i) const;

private:
    QList<ExivTag> m_tags;
};
