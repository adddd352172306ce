#pragma once

#include "sys/vornkit_global.h"

#include <QList>
#include <QString>

class QtVariantPropertyManager;

// One row of a property tree: a name and sub-properties. Properties are made and owned
// by their manager; deleting one takes it out of every tree it is shown in.
class VORNKIT_EXPORT QtProperty {
public:
    virtual ~QtProperty();
    QtProperty(const QtProperty&) = delete;
    QtProperty& operator=(const QtProperty&) = delete;

    QtVariantPropertyManager* propertyManager() const { return m_manager; }
    QString propertyName() const { return m_name; }
    void setPropertyName(const QString& name);
    // The value as the tree shows it.
    QString valueText() const;

    QList<QtProperty*> subProperties() const { return m_subs; }
    // Appends a sub-property; a null one, this one, one already below it or one of its
    // ancestors is refused.
    void addSubProperty(QtProperty* property);
    void insertSubProperty(QtProperty* property, QtProperty* after);
    void removeSubProperty(QtProperty* property);

protected:
    explicit QtProperty(QtVariantPropertyManager* manager);

private:
    friend class QtVariantPropertyManager;
    bool isAncestor(const QtProperty* property) const;

    QtVariantPropertyManager* m_manager;
    QString m_name;
    QList<QtProperty*> m_subs;
    QList<QtProperty*> m_parents;
};
