#include "property/qtvarianteditorfactory.h"

#include "property/qtproperty.h"
#include "property/qtvariantpropertymanager.h"

#include <QLineEdit>

QtVariantEditorFactory::QtVariantEditorFactory(QObject* parent)
    : QObject(parent)
{
}

QtVariantEditorFactory::~QtVariantEditorFactory()
{
    // Editors belong to their views; they only stop following their properties.
    for (QLineEdit* editor : qAsConst(m_editors))
        disconnect(editor, nullptr, this, nullptr);
}

void QtVariantEditorFactory::watchManager(QtVariantPropertyManager* manager)
{
    if (m_managers.contains(manager))
        return;
    m_managers.append(manager);
    connect(manager, &QtVariantPropertyManager::valueChanged, this, &QtVariantEditorFactory::onValueChanged);
    connect(manager, &QtVariantPropertyManager::propertyDestroyed, this, [this, manager](QtProperty* property) {
        // An editor still open must no longer write into the property.
        for (QLineEdit* editor : m_editors.values(property))
            disconnect(editor, &QLineEdit::textEdited, manager, nullptr);
        m_editors.remove(property);
    });
    connect(manager, &QObject::destroyed, this, [this, manager] { m_managers.removeAll(manager); });
}

QWidget* QtVariantEditorFactory::createEditor(QtProperty* property, QWidget* parent)
{
    QtVariantPropertyManager* manager = property ? property->propertyManager() : nullptr;
    if (!manager || manager->propertyType(property) != QVariant::String)
        return nullptr;
    watchManager(manager);
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setText(manager->value(property).toString());
    m_editors.insert(property, editor);
    connect(editor, &QLineEdit::textEdited, manager,
        [manager, property](const QString& text) { manager->setValue(property, text); });
    connect(editor, &QObject::destroyed, this, [this, editor] {
        for (auto it = m_editors.begin(); it != m_editors.end();) {
            if (it.value() == editor)
                it = m_editors.erase(it);
            else
                ++it;
        }
    });
    return editor;
}

void QtVariantEditorFactory::onValueChanged(QtProperty* property, const QVariant& value)
{
    const QString text = value.toString();
    for (auto it = m_editors.find(property); it != m_editors.end() && it.key() == property; ++it) {
        if (it.value()->text() != text)
            it.value()->setText(text);
    }
}
