#include "common/photomaker.h"
#include "common/testutil.h"
#include "meta/exivtaglist.h"
#include "meta/exivutil.h"

#include <QFile>
#include <QTest>

#include <exiv2/exiv2.hpp>

#include <sys/stat.h>

class TestExivTagList : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initExiv2(); }
    void dictionaryFile();
    void dateTaken();
};

void TestExivTagList::dictionaryFile()
{
    testutil::TempDir dir;
    const QString file = dir.file("list.csv");
    QVERIFY(testutil::writeBytes(file,
        "key,group,tag,name\n"
        " Exif.Image.Make , Image ,  Make , 相机 制造商 \r\n"
        "Exif.Image.Model,Image,Model\n"
        "Exif.Photo.FNumber,,,光圈值\n"
        "\n"
        "Exif.Image.Artist,Image,Artist,作者\n"));
    ExivTagList list;
    QCOMPARE(list.load(file, true), 0);
    QCOMPARE(list.tags().size(), 2);
    const ExivTag& make = list.tags().at(0);
    QCOMPARE(QStringList({ make.getKey(), make.getGroupName(), make.getTagName(), make.getTagCnName() }),
        QStringList({ "Exif.Image.Make", "Image", "Make", "相机 制造商" }));
    QCOMPARE(list.tags().at(1).getGroupName(), QString());
    QCOMPARE(list.tags().at(1).getTagCnName(), QString("光圈值"));

    // Without skipping, the header is a row; rows already there stay.
    QCOMPARE(list.load(file, false), 0);
    QCOMPARE(list.tags().at(2).getKey(), QString("key"));
    QCOMPARE(list.load(dir.file("missing.csv"), true), -1);
    QCOMPARE(list.tags().size(), 5);

    // The shipped dictionary: every key is one exiv2 knows, every row named.
    ExivTagList shipped;
    QCOMPARE(shipped.load(QFINDTESTDATA("../../resources/profile/exivtaglist.csv"), true), 0);
    QVERIFY(shipped.tags().size() >= 25);
    for (const ExivTag& tag : shipped.tags()) {
        QVERIFY(!tag.getTagCnName().isEmpty());
        try {
            Exiv2::ExifKey key(tag.getKey().toStdString());
            QCOMPARE(QString::fromStdString(key.tagName()), tag.getTagName());
            QCOMPARE(QString::fromStdString(key.groupName()), tag.getGroupName());
        } catch (const std::exception& e) {
            QFAIL(qPrintable(tag.getKey() + ": " + e.what()));
        }
    }
}

void TestExivTagList::dateTaken()
{
    testutil::TempDir dir;
    const QString photo = photomaker::makePhoto(dir.path(), "照片 一.jpg", false);
    QCOMPARE(getPhotoTakeTime(photo), QString());

    // The latest of the three dates, whichever field holds it.
    QVERIFY(photomaker::setMetadata(photo,
        { { "Exif.Photo.DateTimeOriginal", "2020:01:02 03:04:05" },
            { "Exif.Photo.DateTimeDigitized", "2021:01:01 00:00:00" } }));
    QCOMPARE(getPhotoTakeTime(photo), QString("2021:01:01 00:00:00"));
    QCOMPARE(getPhotoTakeTime(photo.toStdWString()), std::string("2021:01:01 00:00:00"));
    QVERIFY(photomaker::setMetadata(photo,
        { { "Exif.Image.DateTimeOriginal", " 2022:05:06 07:08:09\n" },
            { "Exif.Photo.DateTimeDigitized", "2019:01:01 00:00:00" } }));
    QCOMPARE(getPhotoTakeTime(photo), QString("2022:05:06 07:08:09"));
    // Texts shorter than a date are never candidates.
    QVERIFY(photomaker::setMetadata(
        photo, { { "Exif.Image.DateTimeOriginal", "2030" }, { "Exif.Photo.DateTimeOriginal", "x" } }));
    QCOMPARE(getPhotoTakeTime(photo), QString("2019:01:01 00:00:00"));

    QVERIFY(testutil::writeBytes(dir.file("empty.jpg"), QByteArray()));
    QVERIFY(testutil::writeBytes(dir.file("text.jpg"), "no picture here at all, just a line of text"));
    QVERIFY(::mkfifo(QFile::encodeName(dir.file("pipe.jpg")).constData(), 0644) == 0);
    for (const char* bad : { "empty.jpg", "text.jpg", "missing.jpg", "pipe.jpg" })
        QCOMPARE(getPhotoTakeTime(dir.file(bad)), QString());
}

QTEST_GUILESS_MAIN(TestExivTagList)
#include "tst_exivtaglist.moc"
