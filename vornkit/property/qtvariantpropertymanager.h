#pragma once

#include "sys/vornkit_global.h"

#include <QObject>
#include <QVariant>

class QtProperty;
class QtVariantProperty;

// Makes and owns the properties of a tree: groups and strings.
class VORNKIT_EXPORT QtVariantPropertyManager : public QObject {
    Q_OBJECT
public:
    explicit QtVariantPropertyManager(QObject* parent = nullptr);
    ~QtVariantPropertyManager() override;

    // The type of a property that only holds sub-properties.
    static int groupTypeId();
    static bool isPropertyTypeSupported(int propertyType);

    // A new property of a supported type (QVariant::String or groupTypeId()), else null.
    QtVariantProperty* addProperty(int propertyType, const QString& name = QString());
    QtVariantProperty* variantProperty(const QtProperty* property) const;
    QList<QtProperty*> properties() const;
    // Deletes every property of this manager.
    void clear();

    QVariant value(const QtProperty* property) const;
    int propertyType(const QtProperty* property) const;
    QString valueText(const QtProperty* property) const;

public slots:
    // Strings take the value's text; groups have no value.
    void setValue(QtProperty* property, const QVariant& value);

signals:
    void valueChanged(QtProperty* property, const QVariant& value);
    void propertyChanged(QtProperty* property);
    void propertyInserted(QtProperty* property, QtProperty* parent, QtProperty* after);
    void propertyRemoved(QtProperty* property, QtProperty* parent);
    void propertyDestroyed(QtProperty* property);

private:
    friend class QtProperty;
    void forgetProperty(QtProperty* property);

    QList<QtProperty*> m_properties; // each a variant property until its destruction
};
