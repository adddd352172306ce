#include "property/qtvariantpropertymanager.h"

#include "property/qtvariantproperty.h"

struct QtGroupPropertyType { };
Q_DECLARE_METATYPE(QtGroupPropertyType)

QtVariantPropertyManager::QtVariantPropertyManager(QObject* parent)
    : QObject(parent)
{
}

QtVariantPropertyManager::~QtVariantPropertyManager()
{
    clear();
}

int QtVariantPropertyManager::groupTypeId()
{
    return qMetaTypeId<QtGroupPropertyType>();
}

bool QtVariantPropertyManager::isPropertyTypeSupported(int propertyType)
{
    return propertyType == QVariant::String || propertyType == groupTypeId();
}

QtVariantProperty* QtVariantPropertyManager::addProperty(int propertyType, const QString& name)
{
    if (!isPropertyTypeSupported(propertyType))
        return nullptr;
    auto* property = new QtVariantProperty(this, propertyType);
    property->m_name = name;
    if (propertyType == QVariant::String)
        property->m_value = QString();
    m_properties.append(property);
    return property;
}

QtVariantProperty* QtVariantPropertyManager::variantProperty(const QtProperty* property) const
{
    // Every property this manager makes is a variant property.
    if (!property || property->propertyManager() != this)
        return nullptr;
    return static_cast<QtVariantProperty*>(const_cast<QtProperty*>(property));
}

QList<QtProperty*> QtVariantPropertyManager::properties() const
{
    return m_properties;
}

void QtVariantPropertyManager::clear()
{
    while (!m_properties.isEmpty())
        delete m_properties.last();
}

void QtVariantPropertyManager::forgetProperty(QtProperty* property)
{
    emit propertyDestroyed(property);
    // Called from its destructor: it is no variant property any more.
    m_properties.removeAll(property);
}

QVariant QtVariantPropertyManager::value(const QtProperty* property) const
{
    const QtVariantProperty* p = variantProperty(property);
    return p ? p->m_value : QVariant();
}

int QtVariantPropertyManager::propertyType(const QtProperty* property) const
{
    const QtVariantProperty* p = variantProperty(property);
    return p ? p->m_type : int(QVariant::Invalid);
}

QString QtVariantPropertyManager::valueText(const QtProperty* property) const
{
    const QtVariantProperty* p = variantProperty(property);
    return p && p->m_type == QVariant::String ? p->m_value.toString() : QString();
}

void QtVariantPropertyManager::setValue(QtProperty* property, const QVariant& value)
{
    QtVariantProperty* p = variantProperty(property);
    if (!p || p->m_type != QVariant::String)
        return;
    const QString text = value.toString();
    if (p->m_value.toString() == text)
        return;
    p->m_value = text;
    emit valueChanged(p, p->m_value);
    emit propertyChanged(p);
}
