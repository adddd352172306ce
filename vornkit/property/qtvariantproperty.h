#pragma once

#include "sys/vornkit_global.h"

#include "property/qtproperty.h"

#include <QVariant>

// A property with a typed value (a string, or none for a group).
class VORNKIT_EXPORT QtVariantProperty : public QtProperty {
public:
    QVariant value() const { return m_value; }
    void setValue(const QVariant& value);
    int propertyType() const { return m_type; }
    int valueType() const;

private:
    friend class QtVariantPropertyManager;
    QtVariantProperty(QtVariantPropertyManager* manager, int type);

    int m_type;
    QVariant m_value;
};
