#include "meta/exivtag.h"

ExivTag::ExivTag(const QString& key, const QString& groupName, const QString& tagName, const QString& tagCnName)
    : m_key(key)
    , m_groupName(groupName)
    , m_tagName(tagName)
    , m_tagCnName(tagCnName)
{
}
