#include "common/photomaker.h"
#include "common/vorneltest.h"
#include "panels/exivinfoview.h"
#include "property/qtproperty.h"
#include "property/qttreepropertybrowser.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSettings>

using namespace testutil;

namespace {

// The shown values of a group's rows by name (a name shown twice: the values joined by "|").
QMap<QString, QString> rows(ExivInfoView& view, int group)
{
    QMap<QString, QString> out;
    for (QtProperty* p : view.browser()->properties().at(group)->subProperties()) {
        const QString name = p->propertyName();
        out[name] = out.contains(name) ? out[name] + "|" + p->valueText() : p->valueText();
    }
    return out;
}

bool allEmpty(ExivInfoView& view)
{
    for (QtProperty* group : view.browser()->properties())
        for (QtProperty* p : group->subProperties())
            if (!p->valueText().isEmpty())
                return false;
    return true;
}

bool settle(ExivInfoView& view)
{
    return QTest::qWaitFor([&] { return !view.isLoading(); }, 20000);
}

} // namespace

class TestExivInfoView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.file("settings"));
        QCoreApplication::setOrganizationName("tamrolek");
        QCoreApplication::setApplicationName("vornel");
        m_env = std::make_unique<VornelEnv>();
        QVERIFY(m_env->ok);
        QVERIFY(QDir().mkpath(m_env->program.file("profile")));
        QVERIFY(writeBytes(m_env->program.file("profile/exivtaglist.csv"),
            "key,groupName,tagName,tagCnName\n"
            "Exif.Image.Make,Image,Make,相机制造商\n"
            "Exif.Photo.LensModel,Photo,LensModel,镜头型号\n"
            "Exif.Image.Artist,Image,Artist,作者\n"
            "Exif.Image.Artist,Image,Artist,作者\n"
            "Exif.Image.ImageDescription,Image,ImageDescription,图像描述\n"
            "Exif.Photo.UserComment,Photo,UserComment,用户注释\n"
            "Exif.Photo.MakerNote,Photo,MakerNote,厂商注释\n"));
    }
    void cleanupTestCase() { m_env.reset(); }
    void factsAndDictionaryRows();
    void splitterPosition();
    void hugeAndBrokenMetadataNeverStallTheGui();

private:
    TempDir m_dir;
    std::unique_ptr<VornelEnv> m_env;
};

void TestExivInfoView::factsAndDictionaryRows()
{
    const QString photo = photomaker::makePhoto(m_dir.path(), "相机 1.jpg");
    ExivInfoView view;
    view.show();
    view.onLoadFile(itemFor(photo));
    QVERIFY(settle(view));
    const QMap<QString, QString> facts = rows(view, 0);
    QCOMPARE(facts.keys().size(), 8);
    QCOMPARE(facts["图像大小"], QString("96 x 64"));
    QCOMPARE(facts["文件类型"], QString("jpg"));
    QCOMPARE(facts["文件名称"], QString("相机 1.jpg"));
    QCOMPARE(facts["文件路径"], photo);
    QVERIFY(facts["修改时间"].contains(QDate::currentDate().toString("yyyy-MM-dd")));

    // Only the dictionary's rows, under their names; a later row takes the key over; missing fields stay empty.
    const QMap<QString, QString> meta = rows(view, 1);
    QCOMPARE(view.browser()->properties().at(1)->subProperties().size(), 7);
    QCOMPARE(meta["相机制造商"], QString("VornCam"));
    QCOMPARE(meta["作者"], QString("|Tester"));
    QCOMPARE(meta["镜头型号"], QString());

    // A file the metadata library cannot read empties everything, the file facts too.
    const QString broken = m_dir.file("坏.jpg");
    QVERIFY(writeBytes(broken, "not a picture"));
    view.onLoadFile(itemFor(broken));
    QVERIFY(settle(view));
    QVERIFY(allEmpty(view));

    // Hidden: not read, and not read later when shown.
    view.hide();
    view.onLoadFile(itemFor(photo));
    QVERIFY(!view.isLoading());
    view.show();
    QTest::qWait(50);
    QVERIFY(allEmpty(view));
}

void TestExivInfoView::splitterPosition()
{
    const QList<QPair<int, int>> cases { { 49, 100 }, { 50, 50 }, { 5000, 5000 }, { 5001, 100 } };
    for (const auto& c : cases) {
        QSettings().setValue("ExivInfoView/splitterPosition", c.first);
        {
            ExivInfoView view;
            QCOMPARE(view.browser()->splitterPosition(), c.second);
        }
        QCOMPARE(QSettings().value("ExivInfoView/splitterPosition").toInt(), c.second);
    }
}

void TestExivInfoView::hugeAndBrokenMetadataNeverStallTheGui()
{
    // A TIFF (its Exif is not held to 64 KB) with megabytes of maker note, a long description and a comment that
    // is not UTF-8.
    const QString huge = photomaker::makePhoto(m_dir.path(), "huge.tif", false);
    QVERIFY(photomaker::setRawValue(huge, "Exif.Photo.MakerNote", QByteArray(4 << 20, '\x5a')));
    QVERIFY(photomaker::setMetadata(huge, { { "Exif.Image.ImageDescription", QString(1 << 20, 'd') } }));
    QVERIFY(photomaker::setComment(huge, "Exif.Photo.UserComment", "\xff\xfe\xc3 bad"));
    const QString photo = photomaker::makePhoto(m_dir.path(), "相机 2.jpg");

    ExivInfoView view;
    view.show();
    {
        // While the pool cannot run the reads, the panel takes new pictures without waiting for the one before.
        PoolBlocker blocked;
        QElapsedTimer t;
        t.start();
        view.onLoadFile(itemFor(huge));
        view.onLoadFile(itemFor(photo));
        view.onLoadFile(itemFor(huge));
        QVERIFY(t.elapsed() < 2000);
        QVERIFY(view.isLoading());
    }
    QVERIFY(settle(view));
    const QMap<QString, QString> meta = rows(view, 1);
    QCOMPARE(rows(view, 0)["文件名称"], QString("huge.tif"));
    QCOMPARE(meta["图像描述"].size(), ExivInfoView::kMaxValueChars + 1);
    QVERIFY(meta["图像描述"].endsWith(QString::fromUtf8("…")));
    QCOMPARE(meta["厂商注释"].size(), ExivInfoView::kMaxValueChars + 1);
    QVERIFY(meta["用户注释"].contains(QChar(0xFFFD)) && meta["用户注释"].contains("bad"));
    QCOMPARE(meta["相机制造商"], QString());
}

QTEST_MAIN(TestExivInfoView)
#include "tst_exivinfoview.moc"
