#include "common/photomaker.h"
#include "common/vorneltest.h"
#include "panels/exivinfoview.h"
#include "property/qtproperty.h"
#include "property/qttreepropertybrowser.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QTreeWidget>

using namespace testutil;

class TestExivInfoView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.file("settings"));
        initExiv2();
        QVERIFY(QDir().mkpath(m_program.file("profile")));
        QVERIFY(writeBytes(m_program.file("profile/exivtaglist.csv"),
            "key,groupName,tagName,tagCnName\n"
            "Exif.Image.Make,Image,Make,相机制造商\n"
            "Exif.Photo.LensModel,Photo,LensModel,镜头型号\n"
            "Exif.Image.Artist,Image,Artist,作者\n"
            "Exif.Image.Artist,Image,Artist,作者\n"
            "Exif.Image.ImageDescription,Image,ImageDescription,图像描述\n"
            "Exif.Photo.UserComment,Photo,UserComment,用户注释\n"));
    }
    void factsRowsAndHostileValues();
    void namesShowWholeUntilTheUserMovesTheSplitter();

private:
    // Every row as "name=value", groups in order; the file facts come first.
    static QStringList rows(ExivInfoView& view)
    {
        QStringList out;
        for (QtProperty* group : view.browser()->properties())
            for (QtProperty* p : group->subProperties())
                out << p->propertyName() + "=" + p->valueText();
        return out;
    }
    static bool settle(ExivInfoView& view)
    {
        return QTest::qWaitFor([&] { return !view.isLoading(); }, 20000);
    }

    ProgramDir m_program;
    TempDir m_dir;
};

void TestExivInfoView::factsRowsAndHostileValues()
{
    const QString photo = photomaker::makePhoto(m_dir.path(), "相机 1.jpg");
    ExivInfoView view;
    view.show();
    view.onLoadFile(itemFor(photo));
    QVERIFY(settle(view));
    // The file facts, then only the dictionary's rows under their names: a later row takes the key over, a field
    // the photo lacks stays empty.
    const QStringList shown = rows(view);
    QCOMPARE(shown.size(), 8 + 6);
    QVERIFY(shown.contains("图像大小=96 x 64") && shown.contains("文件路径=" + photo));
    QCOMPARE(shown.mid(8, 4), QStringList({ "相机制造商=VornCam", "镜头型号=", "作者=", "作者=Tester" }));
    // A photo stored sideways shows its upright size.
    QVERIFY(photomaker::setMetadata(photo, { { "Exif.Image.Orientation", "6" } }));
    view.onLoadFile(itemFor(photo));
    QVERIFY(settle(view));
    QVERIFY(rows(view).contains("图像大小=64 x 96"));

    // A TIFF (its Exif is not held to 64 KB) with a description of a million characters and a comment that is
    // not UTF-8. While the pool cannot run the reads, the panel takes new pictures without waiting for the one
    // before; only the last one shows, its long values cut and its broken text decoded.
    const QString huge = photomaker::makePhoto(m_dir.path(), "huge.tif", false);
    QVERIFY(photomaker::setMetadata(huge, { { "Exif.Image.ImageDescription", QString(1 << 20, 'd') } }));
    QVERIFY(photomaker::setComment(huge, "Exif.Photo.UserComment", "\xff\xfe\xc3 bad"));
    {
        PoolGate blocked(QThreadPool::globalInstance());
        QElapsedTimer t;
        t.start();
        view.onLoadFile(itemFor(huge));
        view.onLoadFile(itemFor(photo));
        view.onLoadFile(itemFor(huge));
        QVERIFY(t.elapsed() < 2000);
    }
    QVERIFY(settle(view));
    QMap<QString, QString> value;
    for (const QString& row : rows(view))
        value[row.section('=', 0, 0)] = row.section('=', 1);
    QCOMPARE(value["文件名称"], QString("huge.tif"));
    QCOMPARE(value["图像描述"].size(), ExivInfoView::kMaxValueChars + 1);
    QVERIFY(value["用户注释"].contains(QChar(0xFFFD)) && value["用户注释"].contains("bad"));

    // A file the metadata library cannot read empties everything, the file facts too; hidden, nothing is read.
    QVERIFY(writeBytes(m_dir.file("坏.jpg"), "not a picture"));
    view.onLoadFile(itemFor(m_dir.file("坏.jpg")));
    QVERIFY(settle(view));
    for (const QString& row : rows(view))
        QVERIFY2(row.endsWith("="), qPrintable(row));
    view.hide();
    view.onLoadFile(itemFor(photo));
    QVERIFY(!view.isLoading());
}

void TestExivInfoView::namesShowWholeUntilTheUserMovesTheSplitter()
{
    // Every name fits its column: none is cut to "文件…" at the default width.
    const auto namesWhole = [](ExivInfoView& view) {
        QTreeWidget* tree = view.browser()->treeWidget();
        QAbstractItemModel* model = tree->model();
        QList<QModelIndex> pending { QModelIndex() };
        int names = 0;
        while (!pending.isEmpty()) {
            const QModelIndex parent = pending.takeLast();
            for (int row = 0; row < model->rowCount(parent); ++row) {
                const QModelIndex index = model->index(row, 0, parent);
                const QFont font
                    = index.data(Qt::FontRole).isValid() ? index.data(Qt::FontRole).value<QFont>() : tree->font();
                if (tree->visualRect(index).width() < QFontMetrics(font).horizontalAdvance(index.data().toString()))
                    return false;
                ++names;
                pending << index;
            }
        }
        return names > 8;
    };
    for (const QVariant& stored : { QVariant(), QVariant(49), QVariant(5001) }) {
        QSettings().setValue("ExivInfoView/splitterPosition", stored);
        ExivInfoView view(nullptr);
        view.resize(260, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY2(namesWhole(view), qPrintable(stored.toString()));
        QVERIFY(view.browser()->splitterPosition() >= 100);
    }

    // A position the user chose stays.
    QSettings().setValue("ExivInfoView/splitterPosition", 60);
    ExivInfoView view(nullptr);
    QCOMPARE(view.browser()->splitterPosition(), 60);
}

QTEST_MAIN(TestExivInfoView)
#include "tst_exivinfoview.moc"
