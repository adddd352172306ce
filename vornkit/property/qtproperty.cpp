#include "property/qtproperty.h"

#include "property/qtvariantpropertymanager.h"

QtProperty::QtProperty(QtVariantPropertyManager* manager)
    : m_manager(manager)
{
}

QtProperty::~QtProperty()
{
    if (m_manager)
        m_manager->forgetProperty(this);
    for (QtProperty* parent : qAsConst(m_parents))
        parent->m_subs.removeAll(this);
    for (QtProperty* sub : qAsConst(m_subs))
        sub->m_parents.removeAll(this);
}

void QtProperty::setPropertyName(const QString& name)
{
    if (m_name == name)
        return;
    m_name = name;
    if (m_manager)
        emit m_manager->propertyChanged(this);
}

QString QtProperty::valueText() const
{
    return m_manager ? m_manager->valueText(this) : QString();
}

bool QtProperty::isAncestor(const QtProperty* property) const
{
    for (const QtProperty* parent : m_parents) {
        if (parent == property || parent->isAncestor(property))
            return true;
    }
    return false;
}

void QtProperty::addSubProperty(QtProperty* property)
{
    insertSubProperty(property, m_subs.isEmpty() ? nullptr : m_subs.last());
}

void QtProperty::insertSubProperty(QtProperty* property, QtProperty* after)
{
    if (!property || property == this || m_subs.contains(property) || isAncestor(property))
        return;
    const int index = after ? m_subs.indexOf(after) + 1 : 0;
    m_subs.insert(index, property);
    property->m_parents.append(this);
    if (m_manager)
        emit m_manager->propertyInserted(property, this, index > 0 ? m_subs.at(index - 1) : nullptr);
}

void QtProperty::removeSubProperty(QtProperty* property)
{
    if (!m_subs.removeOne(property))
        return;
    property->m_parents.removeAll(this);
    if (m_manager)
        emit m_manager->propertyRemoved(property, this);
}
