#include "qttreepropertybrowser.h"
#include "qtvarianteditorfactory.h"
#include "qtvariantproperty.h"
#include "qtvariantpropertymanager.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

class TestPropertyBrowser : public QObject {
    Q_OBJECT
private slots:
    void groupsAndValuesAsTheMetadataPanelBuildsThem();
    void treeFollowsChanges();
    void editorsAndColumns();
    void managerGoneFirst();
};

void TestPropertyBrowser::groupsAndValuesAsTheMetadataPanelBuildsThem()
{
    QWidget panel;
    auto* browser = new QtTreePropertyBrowser(&panel);
    QtVariantPropertyManager manager;
    QtVariantEditorFactory factory;
    browser->setFactoryForManager(&manager, &factory);
    browser->setResizeMode(QtTreePropertyBrowser::Interactive);

    QTreeWidget* tree = browser->treeWidget();
    QCOMPARE(tree->headerItem()->text(0), QString("属性"));
    QCOMPARE(tree->headerItem()->text(1), QString("值"));

    const QStringList names { "图像大小", "文件大小", "文件类型" };
    QtProperty* files = manager.addProperty(QtVariantPropertyManager::groupTypeId(), "文件属性");
    QList<QtVariantProperty*> props;
    for (const QString& name : names) {
        props << manager.addProperty(QVariant::String, name);
        files->addSubProperty(props.last());
    }
    browser->addProperty(files);
    // The second group is shown first and filled afterwards.
    QtProperty* extra = manager.addProperty(QtVariantPropertyManager::groupTypeId(), "扩展属性");
    browser->addProperty(extra);
    QtVariantProperty* make = manager.addProperty(QVariant::String, "相机厂商");
    extra->addSubProperty(make);

    QCOMPARE(tree->topLevelItemCount(), 2);
    QTreeWidgetItem* top = tree->topLevelItem(0);
    QCOMPARE(top->text(0), QString("文件属性"));
    QCOMPARE(top->childCount(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(top->child(i)->text(0), names.at(i));
    QCOMPARE(tree->topLevelItem(1)->child(0)->text(0), QString("相机厂商"));
    QVERIFY(top->isExpanded());

    // Values: through the property and through the manager; groups have none.
    props[0]->setValue("640 x 480");
    manager.setValue(props[1], QString("1.5 K"));
    manager.setValue(make, "Maker");
    QCOMPARE(top->child(0)->text(1), QString("640 x 480"));
    QCOMPARE(top->child(1)->text(1), QString("1.5 K"));
    QCOMPARE(tree->topLevelItem(1)->child(0)->text(1), QString("Maker"));
    QCOMPARE(props[0]->valueText(), QString("640 x 480"));
    manager.setValue(files, "ignored");
    QCOMPARE(files->valueText(), QString());
    for (QtProperty* p : files->subProperties())
        manager.setValue(p, QString());
    QCOMPARE(top->child(0)->text(1), QString());

    QCOMPARE(manager.addProperty(QVariant::Int, "n"), nullptr);
    QCOMPARE(manager.propertyType(props[0]), int(QVariant::String));
}

void TestPropertyBrowser::treeFollowsChanges()
{
    QtTreePropertyBrowser browser;
    QtVariantPropertyManager manager;
    QTreeWidget* tree = browser.treeWidget();
    QtProperty* group = manager.addProperty(QtVariantPropertyManager::groupTypeId(), "g");
    QtVariantProperty* a = manager.addProperty(QVariant::String, "a");
    QtVariantProperty* b = manager.addProperty(QVariant::String, "b");
    QtVariantProperty* c = manager.addProperty(QVariant::String, "c");
    group->addSubProperty(a);
    group->addSubProperty(c);
    browser.addProperty(group);
    browser.addProperty(group); // once only
    QCOMPARE(tree->topLevelItemCount(), 1);
    group->insertSubProperty(b, a);
    QTreeWidgetItem* top = tree->topLevelItem(0);
    QCOMPARE(top->childCount(), 3);
    QCOMPARE(top->child(1)->text(0), QString("b"));

    // No cycles, no duplicates.
    a->addSubProperty(group);
    a->addSubProperty(a);
    group->addSubProperty(b);
    QCOMPARE(group->subProperties().size(), 3);
    QCOMPARE(a->subProperties().size(), 0);

    b->setPropertyName("bb");
    QCOMPARE(top->child(1)->text(0), QString("bb"));
    group->removeSubProperty(b);
    QCOMPARE(top->childCount(), 2);
    QCOMPARE(browser.itemProperty(top->child(1)), c);

    delete c;
    QCOMPARE(top->childCount(), 1);
    QCOMPARE(group->subProperties(), QList<QtProperty*>({ a }));

    browser.removeProperty(group);
    QCOMPARE(tree->topLevelItemCount(), 0);
    QVERIFY(browser.properties().isEmpty());
    browser.addProperty(group);
    browser.clear();
    QCOMPARE(tree->topLevelItemCount(), 0);
}

void TestPropertyBrowser::editorsAndColumns()
{
    QtTreePropertyBrowser browser;
    QtVariantPropertyManager manager;
    QtVariantEditorFactory factory;
    browser.setFactoryForManager(&manager, &factory);
    browser.setResizeMode(QtTreePropertyBrowser::Interactive);
    QCOMPARE(browser.treeWidget()->header()->sectionResizeMode(0), QHeaderView::Interactive);
    browser.setSplitterPosition(150);
    QCOMPARE(browser.splitterPosition(), 150);

    QtProperty* group = manager.addProperty(QtVariantPropertyManager::groupTypeId(), "g");
    QtVariantProperty* name = manager.addProperty(QVariant::String, "name");
    group->addSubProperty(name);
    name->setValue("old");
    browser.addProperty(group);
    browser.resize(400, 300);
    browser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&browser));

    QVERIFY(!factory.createEditor(group, &browser));
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
}

void TestPropertyBrowser::managerGoneFirst()
{
    QtTreePropertyBrowser browser;
    auto* manager = new QtVariantPropertyManager;
    auto* factory = new QtVariantEditorFactory;
    browser.setFactoryForManager(manager, factory);
    QtProperty* group = manager->addProperty(QtVariantPropertyManager::groupTypeId(), "g");
    group->addSubProperty(manager->addProperty(QVariant::String, "s"));
    browser.addProperty(group);
    browser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&browser));
    browser.treeWidget()->setCurrentItem(browser.treeWidget()->topLevelItem(0)->child(0));
    delete factory;
    delete manager;
    QCOMPARE(browser.treeWidget()->topLevelItemCount(), 0);
    QVERIFY(browser.properties().isEmpty());
    QTest::qWait(10);
}

QTEST_MAIN(TestPropertyBrowser)
#include "tst_propertybrowser.moc"
