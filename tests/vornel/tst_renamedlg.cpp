#include "common/vorneltest.h"
#include "dialogs/renamedlg.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>

using namespace testutil;

class TestRenameDlg : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_env.ok); }
    void refusesStaysOpenThenRenames();

private:
    VornelEnv m_env;
};

void TestRenameDlg::refusesStaysOpenThenRenames()
{
    TempDir dir;
    const QString path = makeImage(dir.path(), "a.b.png");
    const QString other = makeImage(dir.path(), "other.png");
    const ItemInfoPtr info = loadedItem(path);
    QVERIFY(info);
    RenameDlg dlg;
    dlg.setItemInfo(info);
    dlg.show();
    // Types a name and presses "改名"; the message shown, or an empty text.
    const auto rename = [](RenameDlg& d, const QString& name) {
        d.findChild<QLineEdit*>("leFileName")->setText(name);
        const auto box = answerMessageBox(2000);
        d.findChild<QPushButton*>("btRename")->click();
        return box->text;
    };

    QCOMPARE(rename(dlg, ""), QString("请输入文件名称。"));
    for (const QString& bad : { QString(" "), QString("."), QString(".."), QString("a/b.png") })
        QVERIFY2(rename(dlg, bad).contains("文件名称无效"), qPrintable(bad));
    QVERIFY(rename(dlg, "other.png").contains("已经有同名的文件"));
    // The file went away meanwhile: the rename fails and says so.
    const QByteArray bytes = readBytes(path);
    QVERIFY(QFile::remove(path));
    QVERIFY(rename(dlg, "新 名.png").contains("改名失败"));
    QVERIFY(dlg.isVisible() && dlg.result() == 0);
    QVERIFY(writeBytes(path, bytes) && QFile::exists(other));

    QCOMPARE(rename(dlg, "新 名.png"), QString());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(!QFile::exists(path) && QFile::exists(dir.file("新 名.png")));

    // An item still loading refuses.
    RenameDlg early;
    early.setItemInfo(itemFor(makeImage(dir.path(), "early.png", 8, 8)));
    QVERIFY(rename(early, "x.png").contains("还在加载"));
}

QTEST_MAIN(TestRenameDlg)
#include "tst_renamedlg.moc"
