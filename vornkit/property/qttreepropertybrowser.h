#pragma once

#include "sys/vornkit_global.h"

#include <QHash>
#include <QList>
#include <QWidget>

class QTreeWidget;
class QTreeWidgetItem;
class QtProperty;
class QtVariantEditorFactory;
class QtVariantPropertyManager;

// A two-column tree ("属性", "值") of properties and their sub-properties; a property
// shown here follows every later change of its name, value and sub-properties.
class VORNKIT_EXPORT QtTreePropertyBrowser : public QWidget {
    Q_OBJECT
public:
    enum ResizeMode { Interactive, Stretch, Fixed, ResizeToContents };

    explicit QtTreePropertyBrowser(QWidget* parent = nullptr);
    ~QtTreePropertyBrowser() override;

    // The factory's editors serve the properties of the manager.
    void setFactoryForManager(QtVariantPropertyManager* manager, QtVariantEditorFactory* factory);

    void addProperty(QtProperty* property);
    void removeProperty(QtProperty* property);
    void clear();
    QList<QtProperty*> properties() const { return m_properties; }

    ResizeMode resizeMode() const { return m_resizeMode; }
    void setResizeMode(ResizeMode mode);
    // Width of the name column.
    int splitterPosition() const;
    void setSplitterPosition(int position);
    // The name column's width that shows every property name whole, at any depth.
    int fittedSplitterPosition() const;

    QTreeWidget* treeWidget() const { return m_tree; }
    QtProperty* itemProperty(const QTreeWidgetItem* item) const { return m_itemProperty.value(item); }
    QList<QTreeWidgetItem*> propertyItems(QtProperty* property) const { return m_items.value(property); }

private:
    class Delegate;

    void watchManager(QtVariantPropertyManager* manager);
    QTreeWidgetItem* createItem(QtProperty* property, QTreeWidgetItem* parent, int index);
    void deleteItem(QTreeWidgetItem* item);
    void updateItem(QTreeWidgetItem* item);
    QWidget* createEditor(QTreeWidgetItem* item, QWidget* parent);

    void onPropertyInserted(QtProperty* property, QtProperty* parent, QtProperty* after);
    void onPropertyRemoved(QtProperty* property, QtProperty* parent);
    void onPropertyChanged(QtProperty* property);
    void onPropertyDestroyed(QtProperty* property);

    QTreeWidget* m_tree;
    ResizeMode m_resizeMode = Stretch;
    QList<QtProperty*> m_properties;
    QHash<QtProperty*, QList<QTreeWidgetItem*>> m_items;
    QHash<const QTreeWidgetItem*, QtProperty*> m_itemProperty;
    QHash<QtVariantPropertyManager*, QtVariantEditorFactory*> m_factories;
    QList<QtVariantPropertyManager*> m_managers;
};
