#include "property/qttreepropertybrowser.h"

#include "property/qtproperty.h"
#include "property/qtvarianteditorfactory.h"
#include "property/qtvariantpropertymanager.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QPointer>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>

// Hands the value column's editing to the editor factory of the row's property.
class QtTreePropertyBrowser::Delegate : public QStyledItemDelegate {
public:
    explicit Delegate(QtTreePropertyBrowser* browser)
        : QStyledItemDelegate(browser)
        , m_browser(browser)
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        if (index.column() != 1)
            return nullptr;
        QTreeWidgetItem* item = static_cast<QTreeWidgetItem*>(index.internalPointer());
        return item ? m_browser->createEditor(item, parent) : nullptr;
    }

    // The editors write into their properties themselves.
    void setEditorData(QWidget*, const QModelIndex&) const override { }
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override { }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        editor->setGeometry(option.rect);
    }

private:
    QtTreePropertyBrowser* m_browser;
};

QtTreePropertyBrowser::QtTreePropertyBrowser(QWidget* parent)
    : QWidget(parent)
    , m_tree(new QTreeWidget(this))
{
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tree, 0, 0);

    m_tree->setColumnCount(2);
    m_tree->setHeaderLabels({ QStringLiteral("属性"), QStringLiteral("值") });
    m_tree->setAlternatingRowColors(true);
    m_tree->setRootIsDecorated(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(
        QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    m_tree->setItemDelegate(new Delegate(this));
    m_tree->header()->setStretchLastSection(true);
    m_tree->header()->setSectionsMovable(false);
    setResizeMode(m_resizeMode);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current && (current->flags() & Qt::ItemIsEditable))
            m_tree->editItem(current, 1);
    });
}

QtTreePropertyBrowser::~QtTreePropertyBrowser()
{
    for (QtVariantPropertyManager* manager : qAsConst(m_managers))
        disconnect(manager, nullptr, this, nullptr);
}

void QtTreePropertyBrowser::watchManager(QtVariantPropertyManager* manager)
{
    if (!manager || m_managers.contains(manager))
        return;
    m_managers.append(manager);
    connect(manager, &QtVariantPropertyManager::propertyInserted, this, &QtTreePropertyBrowser::onPropertyInserted);
    connect(manager, &QtVariantPropertyManager::propertyRemoved, this, &QtTreePropertyBrowser::onPropertyRemoved);
    connect(manager, &QtVariantPropertyManager::propertyChanged, this, &QtTreePropertyBrowser::onPropertyChanged);
    connect(manager, &QtVariantPropertyManager::propertyDestroyed, this, &QtTreePropertyBrowser::onPropertyDestroyed);
    connect(manager, &QObject::destroyed, this, [this, manager] {
        m_managers.removeAll(manager);
        m_factories.remove(manager);
    });
}

void QtTreePropertyBrowser::setFactoryForManager(QtVariantPropertyManager* manager, QtVariantEditorFactory* factory)
{
    if (!manager)
        return;
    watchManager(manager);
    if (factory) {
        m_factories.insert(manager, factory);
        connect(factory, &QObject::destroyed, this, [this, manager, factory] {
            if (m_factories.value(manager) == factory)
                m_factories.remove(manager);
        });
    } else {
        m_factories.remove(manager);
    }
}

void QtTreePropertyBrowser::addProperty(QtProperty* property)
{
    if (!property || m_properties.contains(property))
        return;
    watchManager(property->propertyManager());
    m_properties.append(property);
    createItem(property, nullptr, m_tree->topLevelItemCount());
}

void QtTreePropertyBrowser::removeProperty(QtProperty* property)
{
    if (!m_properties.removeOne(property))
        return;
    const QList<QTreeWidgetItem*> items = m_items.value(property);
    for (QTreeWidgetItem* item : items) {
        if (!item->parent())
            deleteItem(item);
    }
}

void QtTreePropertyBrowser::clear()
{
    while (!m_properties.isEmpty())
        removeProperty(m_properties.last());
}

QTreeWidgetItem* QtTreePropertyBrowser::createItem(QtProperty* property, QTreeWidgetItem* parent, int index)
{
    auto* item = new QTreeWidgetItem;
    m_items[property].append(item);
    m_itemProperty.insert(item, property);
    if (parent)
        parent->insertChild(index, item);
    else
        m_tree->insertTopLevelItem(index, item);
    updateItem(item);
    const QList<QtProperty*> subs = property->subProperties();
    for (int i = 0; i < subs.size(); ++i)
        createItem(subs.at(i), item, i);
    item->setExpanded(true);
    return item;
}

void QtTreePropertyBrowser::deleteItem(QTreeWidgetItem* item)
{
    while (item->childCount() > 0)
        deleteItem(item->child(item->childCount() - 1));
    QtProperty* property = m_itemProperty.take(item);
    auto it = m_items.find(property);
    if (it != m_items.end()) {
        it->removeAll(item);
        if (it->isEmpty())
            m_items.erase(it);
    }
    delete item;
}

void QtTreePropertyBrowser::updateItem(QTreeWidgetItem* item)
{
    QtProperty* property = m_itemProperty.value(item);
    if (!property)
        return;
    QtVariantPropertyManager* manager = property->propertyManager();
    const bool group = manager && manager->propertyType(property) == QtVariantPropertyManager::groupTypeId();
    item->setText(0, property->propertyName());
    item->setToolTip(0, property->propertyName());
    item->setText(1, property->valueText());
    item->setToolTip(1, property->valueText());
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!group)
        flags |= Qt::ItemIsEditable;
    item->setFlags(flags);
    if (group) {
        QFont font = item->font(0);
        font.setBold(true);
        item->setFont(0, font);
        item->setFirstColumnSpanned(true);
    }
}

QWidget* QtTreePropertyBrowser::createEditor(QTreeWidgetItem* item, QWidget* parent)
{
    QtProperty* property = m_itemProperty.value(item);
    if (!property)
        return nullptr;
    QtVariantEditorFactory* factory = m_factories.value(property->propertyManager());
    return factory ? factory->createEditor(property, parent) : nullptr;
}

void QtTreePropertyBrowser::onPropertyInserted(QtProperty* property, QtProperty* parent, QtProperty*)
{
    const int index = parent->subProperties().indexOf(property);
    const QList<QTreeWidgetItem*> parents = m_items.value(parent);
    for (QTreeWidgetItem* parentItem : parents)
        createItem(property, parentItem, index);
}

void QtTreePropertyBrowser::onPropertyRemoved(QtProperty* property, QtProperty* parent)
{
    const QList<QTreeWidgetItem*> parents = m_items.value(parent);
    for (QTreeWidgetItem* parentItem : parents) {
        for (int i = parentItem->childCount() - 1; i >= 0; --i) {
            if (m_itemProperty.value(parentItem->child(i)) == property)
                deleteItem(parentItem->child(i));
        }
    }
}

void QtTreePropertyBrowser::onPropertyChanged(QtProperty* property)
{
    const QList<QTreeWidgetItem*> items = m_items.value(property);
    for (QTreeWidgetItem* item : items)
        updateItem(item);
}

void QtTreePropertyBrowser::onPropertyDestroyed(QtProperty* property)
{
    m_properties.removeAll(property);
    while (m_items.contains(property))
        deleteItem(m_items.value(property).first());
}

void QtTreePropertyBrowser::setResizeMode(ResizeMode mode)
{
    m_resizeMode = mode;
    QHeaderView::ResizeMode headerMode = QHeaderView::Interactive;
    switch (mode) {
    case Interactive:
        headerMode = QHeaderView::Interactive;
        break;
    case Stretch:
        headerMode = QHeaderView::Stretch;
        break;
    case Fixed:
        headerMode = QHeaderView::Fixed;
        break;
    case ResizeToContents:
        headerMode = QHeaderView::ResizeToContents;
        break;
    }
    m_tree->header()->setSectionResizeMode(headerMode);
    m_tree->header()->setStretchLastSection(true);
}

int QtTreePropertyBrowser::splitterPosition() const
{
    return m_tree->header()->sectionSize(0);
}

void QtTreePropertyBrowser::setSplitterPosition(int position)
{
    m_tree->header()->resizeSection(0, position);
}

int QtTreePropertyBrowser::fittedSplitterPosition() const
{
    const int indent = m_tree->indentation();
    // The item's own text margins on both sides, and a little air.
    const int margins = 2 * (m_tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_tree) + 1) + 8;
    int widest = 0;
    QList<QPair<const QTreeWidgetItem*, int>> pending;
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i)
        pending.append({ m_tree->topLevelItem(i), m_tree->rootIsDecorated() ? 1 : 0 });
    while (!pending.isEmpty()) {
        const auto [item, depth] = pending.takeLast();
        QFont font = item->font(0);
        const int text = QFontMetrics(font).horizontalAdvance(item->text(0));
        const int icon = item->icon(0).isNull() ? 0 : m_tree->iconSize().width() + 4;
        widest = qMax(widest, depth * indent + icon + text + margins);
        for (int c = 0; c < item->childCount(); ++c)
            pending.append({ item->child(c), depth + 1 });
    }
    return widest;
}
