#include "property/qttreepropertybrowser.h"
#include "property/qtvarianteditorfactory.h"
#include "property/qtvariantproperty.h"
#include "property/qtvariantpropertymanager.h"

#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

class TestPropertyBrowser : public QObject {
    Q_OBJECT
private slots:
    void treeFollowsProperties();
    void editorsFollowValuesManagerGoesFirst();
};

void TestPropertyBrowser::treeFollowsProperties()
{
    QtTreePropertyBrowser browser;
    QtVariantPropertyManager manager;
    QTreeWidget* tree = browser.treeWidget();
    QCOMPARE(tree->headerItem()->text(0), QString("属性"));
    QCOMPARE(tree->headerItem()->text(1), QString("值"));

    // A group shown first and filled afterwards, as the metadata panel does; added once only.
    QtProperty* group = manager.addProperty(QtVariantPropertyManager::groupTypeId(), "文件属性");
    browser.addProperty(group);
    browser.addProperty(group);
    QtVariantProperty* a = manager.addProperty(QVariant::String, "a");
    QtVariantProperty* b = manager.addProperty(QVariant::String, "b");
    QtVariantProperty* c = manager.addProperty(QVariant::String, "c");
    group->addSubProperty(a);
    group->addSubProperty(c);
    group->insertSubProperty(b, a);
    QCOMPARE(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* top = tree->topLevelItem(0);
    QVERIFY(top->isExpanded());
    QCOMPARE(top->childCount(), 3);
    QCOMPARE(top->child(1)->text(0), QString("b"));

    // Values through the property and through the manager; groups and unknown types have none.
    a->setValue("640 x 480");
    manager.setValue(b, QString("1.5 K"));
    QCOMPARE(top->child(0)->text(1), QString("640 x 480"));
    QCOMPARE(top->child(1)->text(1), QString("1.5 K"));
    manager.setValue(group, "ignored");
    QCOMPARE(group->valueText(), QString());
    QCOMPARE(manager.addProperty(QVariant::Int, "n"), nullptr);

    // No cycles, no duplicates; renames, removals and deleted properties reach the tree.
    a->addSubProperty(group);
    a->addSubProperty(a);
    group->addSubProperty(b);
    QCOMPARE(group->subProperties().size(), 3);
    QVERIFY(a->subProperties().isEmpty());
    b->setPropertyName("bb");
    QCOMPARE(top->child(1)->text(0), QString("bb"));
    group->removeSubProperty(b);
    QCOMPARE(browser.itemProperty(top->child(1)), c);
    delete c;
    QCOMPARE(top->childCount(), 1);
    QCOMPARE(group->subProperties(), QList<QtProperty*>({ a }));
    browser.removeProperty(group);
    QCOMPARE(tree->topLevelItemCount(), 0);
    browser.addProperty(group);
    browser.clear();
    QVERIFY(browser.properties().isEmpty());
}

void TestPropertyBrowser::editorsFollowValuesManagerGoesFirst()
{
    QtTreePropertyBrowser browser;
    auto* manager = new QtVariantPropertyManager;
    auto* factory = new QtVariantEditorFactory;
    browser.setFactoryForManager(manager, factory);
    QtProperty* group = manager->addProperty(QtVariantPropertyManager::groupTypeId(), "g");
    QtVariantProperty* name = manager->addProperty(QVariant::String, "name");
    group->addSubProperty(name);
    name->setValue("old");
    browser.addProperty(group);
    browser.resize(400, 300);
    browser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&browser));

    QVERIFY(!factory->createEditor(group, &browser));
    QTreeWidgetItem* item = browser.propertyItems(name).first();
    browser.treeWidget()->setCurrentItem(item);
    auto* editor = browser.treeWidget()->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    QCOMPARE(editor->text(), QString("old"));
    editor->selectAll();
    QTest::keyClicks(editor, "new");
    QCOMPARE(name->value().toString(), QString("new"));
    QCOMPARE(item->text(1), QString("new"));
    // An open editor follows a value set elsewhere.
    name->setValue("later");
    QCOMPARE(editor->text(), QString("later"));

    // The factory and manager deleted under the open editor: the tree empties.
    delete factory;
    delete manager;
    QCOMPARE(browser.treeWidget()->topLevelItemCount(), 0);
    QVERIFY(browser.properties().isEmpty());
    QTest::qWait(10);
}

QTEST_MAIN(TestPropertyBrowser)
#include "tst_propertybrowser.moc"
