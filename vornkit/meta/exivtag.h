#pragma once

#include "sys/vornkit_global.h"

#include <QString>

// One row of the metadata dictionary: an exiv2 key and how the metadata panel names it.
class VORNKIT_EXPORT ExivTag {
public:
    ExivTag() = default;
    ExivTag(const QString& key, const QString& groupName, const QString& tagName, const QString& tagCnName);

    const QString& getKey() const { return m_key; }
    void setKey(const QString& key) { m_key = key; }
    const QString& getGroupName() const { return m_groupName; }
    void setGroupName(const QString& groupName) { m_groupName = groupName; }
    const QString& getTagName() const { return m_tagName; }
    void setTagName(const QString& tagName) { m_tagName = tagName; }
    const QString& getTagCnName() const { return m_tagCnName; }
    void setTagCnName(const QString& tagCnName) { m_tagCnName = tagCnName; }

private:
    QString m_key;
    QString m_groupName;
    QString m_tagName;
    QString m_tagCnName;
};
