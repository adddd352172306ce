#include "exivtaglist.h"
#include "exivutil.h"
#include "photomaker.h"
#include "testutil.h"

#include <QFile>
#include <QTest>

#include <exiv2/exiv2.hpp>

class TestExivTagList : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initExiv2(); }
    void dictionaryFile();
    void shippedDictionary();
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
    QCOMPARE(make.getKey(), QString("Exif.Image.Make"));
    QCOMPARE(make.getGroupName(), QString("Image"));
    QCOMPARE(make.getTagName(), QString("Make"));
    QCOMPARE(make.getTagCnName(), QString("相机 制造商"));
    QCOMPARE(list.tags().at(1).getGroupName(), QString());
    QCOMPARE(list.tags().at(1).getTagCnName(), QString("光圈值"));

    // Without skipping, the header is a row; rows already there stay.
    QCOMPARE(list.load(file, false), 0);
    QCOMPARE(list.tags().size(), 5);
    QCOMPARE(list.tags().at(2).getKey(), QString("key"));
    QCOMPARE(list.load(dir.file("missing.csv"), true), -1);
    QCOMPARE(list.tags().size(), 5);
}

void TestExivTagList::shippedDictionary()
{
    const QString file = QFINDTESTDATA("../../resources/profile/exivtaglist.csv");
    QVERIFY(!file.isEmpty());
    ExivTagList list;
    QCOMPARE(list.load(file, true), 0);
    QVERIFY(list.tags().size() >= 25);
    QStringList keys;
    for (const ExivTag& tag : list.tags()) {
        keys << tag.getKey();
        QVERIFY(!tag.getTagCnName().isEmpty());
        // Every key is one exiv2 knows.
        try {
            Exiv2::ExifKey key(tag.getKey().toStdString());
            QCOMPARE(QString::fromStdString(key.tagName()), tag.getTagName());
            QCOMPARE(QString::fromStdString(key.groupName()), tag.getGroupName());
        } catch (const std::exception& e) {
            QFAIL(qPrintable(tag.getKey() + ": " + e.what()));
        }
    }
    for (const char* key : { "Exif.Image.Make", "Exif.Image.Model", "Exif.Photo.LensModel",
             "Exif.Photo.DateTimeOriginal", "Exif.Photo.ExposureTime", "Exif.Photo.FNumber",
             "Exif.Photo.ISOSpeedRatings", "Exif.Photo.FocalLength", "Exif.Photo.Flash", "Exif.Photo.WhiteBalance",
             "Exif.Image.Orientation", "Exif.Image.XResolution", "Exif.GPSInfo.GPSLatitude",
             "Exif.GPSInfo.GPSLongitude", "Exif.Image.Software", "Exif.Image.Artist", "Exif.Image.Copyright" })
        QVERIFY2(keys.contains(key), key);
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

    const QString empty = dir.file("empty.jpg");
    QVERIFY(testutil::writeBytes(empty, QByteArray()));
    QCOMPARE(getPhotoTakeTime(empty), QString());
    const QString text = dir.file("text.jpg");
    QVERIFY(testutil::writeBytes(text, "no picture here at all, just a line of text"));
    QCOMPARE(getPhotoTakeTime(text), QString());
    QCOMPARE(getPhotoTakeTime(dir.file("missing.jpg")), QString());
}

QTEST_GUILESS_MAIN(TestExivTagList)
#include "tst_exivtaglist.moc"
