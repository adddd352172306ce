#pragma once

#include "sys/vornkit_global.h"

#include <QHash>
#include <QObject>

class QLineEdit;
class QWidget;
class QtProperty;
class QtVariantPropertyManager;

// Makes the in-place editors of a property tree: a line edit for a string property.
class VORNKIT_EXPORT QtVariantEditorFactory : public QObject {
    Q_OBJECT
public:
    explicit QtVariantEditorFactory(QObject* parent = nullptr);
    ~QtVariantEditorFactory() override;

    // An editor that writes what is typed into the property and follows its value; null
    // for a property that has no editor (a group).
    QWidget* createEditor(QtProperty* property, QWidget* parent);

private:
    void onValueChanged(QtProperty* property, const QVariant& value);
    void watchManager(QtVariantPropertyManager* manager);

    QMultiHash<QtProperty*, QLineEdit*> m_editors;
    QList<QtVariantPropertyManager*> m_managers;
};
