#include "property/qtvariantproperty.h"

#include "property/qtvariantpropertymanager.h"

QtVariantProperty::QtVariantProperty(QtVariantPropertyManager* manager, int type)
    : QtProperty(manager)
    , m_type(type)
{
}

void QtVariantProperty::setValue(const QVariant& value)
{
    if (propertyManager())
        propertyManager()->setValue(this, value);
}

int QtVariantProperty::valueType() const
{
    return m_type == QtVariantPropertyManager::groupTypeId() ? int(QVariant::Invalid) : m_type;
}
