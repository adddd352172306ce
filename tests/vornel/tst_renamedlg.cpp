#include "common/vorneltest.h"
#include "dialogs/renamedlg.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>

using namespace testutil;

class TestRenameDlg : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_env = std::make_unique<VornelEnv>();
        QVERIFY(m_env->ok);
    }
    void cleanupTestCase() { m_env.reset(); }
    void selectionBeforeTheFirstDot();
    void refusalsKeepTheDialogOpen();
    void renames();

private:
    // Types name and presses "改名"; the message shown, or an empty text.
    QString rename(RenameDlg& dlg, const QString& name)
    {
        dlg.findChild<QLineEdit*>("leFileName")->setText(name);
        const auto box = answerMessageBox(2000);
        dlg.findChild<QPushButton*>("btRename")->click();
        return box->text;
    }

    std::unique_ptr<VornelEnv> m_env;
    TempDir m_dir;
};

void TestRenameDlg::selectionBeforeTheFirstDot()
{
    for (const QString& name : { QString("a.b.jpg"), QString("README") }) {
        RenameDlg dlg;
        dlg.setItemInfo(itemFor(makeImage(m_dir.path(), name, 8, 8, Qt::red, "png")));
        auto* edit = dlg.findChild<QLineEdit*>("leFileName");
        QCOMPARE(edit->text(), name);
        QCOMPARE(edit->selectedText(), name == "README" ? name : QString("a"));
    }
}

void TestRenameDlg::refusalsKeepTheDialogOpen()
{
    const QString path = makeImage(m_dir.path(), "原 图.png");
    const QString other = makeImage(m_dir.path(), "other.png");
    const ItemInfoPtr info = loadedItem(path);
    QVERIFY(info);
    RenameDlg dlg;
    dlg.setItemInfo(info);
    dlg.show();

    QCOMPARE(rename(dlg, ""), QString("请输入文件名称。"));
    for (const QString& bad : { QString(" "), QString("."), QString(".."), QString("a/b.png") })
        QVERIFY2(rename(dlg, bad).contains("文件名称无效"), qPrintable(bad));
    // An existing name is never overwritten.
    QVERIFY(rename(dlg, "other.png").contains("已经有同名的文件"));
    QVERIFY(dlg.isVisible() && dlg.result() == 0);
    QVERIFY(QFile::exists(path) && QFile::exists(other));

    // A file gone meanwhile: the rename fails and says so.
    const QByteArray bytes = readBytes(path);
    QVERIFY(QFile::remove(path));
    QVERIFY(rename(dlg, "新 名.png").contains("改名失败"));
    QVERIFY(dlg.isVisible());
    QVERIFY(writeBytes(path, bytes));

    // An item still loading refuses.
    RenameDlg early;
    early.setItemInfo(itemFor(other));
    early.show();
    QVERIFY(rename(early, "x.png").contains("还在加载"));
    QVERIFY(early.isVisible() && QFile::exists(other));
}

void TestRenameDlg::renames()
{
    const QString path = makeImage(m_dir.path(), "old.png");
    const ItemInfoPtr info = loadedItem(path);
    QVERIFY(info);
    RenameDlg dlg;
    dlg.setItemInfo(info);
    dlg.show();
    QCOMPARE(rename(dlg, "新 名.png"), QString());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(!QFile::exists(path) && QFile::exists(m_dir.file("新 名.png")));
    QCOMPARE(info->fileName(), QString("新 名.png"));
}

QTEST_MAIN(TestRenameDlg)
#include "tst_renamedlg.moc"
