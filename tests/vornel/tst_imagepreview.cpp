#include "common/photomaker.h"
#include "common/vorneltest.h"
#include "panels/imagepreview.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>

using namespace testutil;

namespace {

bool settle(ImagePreview& view)
{
    return QTest::qWaitFor([&] { return !view.isLoading(); }, 20000);
}

QSize shown(ImagePreview& view)
{
    const QPixmap* pm = view.label()->pixmap();
    return pm ? pm->size() : QSize();
}

QSize box(ImagePreview& view)
{
    return view.label()->contentsRect().size();
}

} // namespace

class TestImagePreview : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_env = std::make_unique<VornelEnv>();
        QVERIFY(m_env->ok);
    }
    void cleanupTestCase() { m_env.reset(); }
    void formatsFittedAndUpright();
    void resizeDecodesAgainAtTheNewSize();
    void svgAtThePanelSize();
    void showInFolderDoesNotWait();

private:
    // Shows the file and waits for it.
    bool show(ImagePreview& view, const QString& path)
    {
        view.onLoadFile(itemFor(path));
        return settle(view);
    }

    std::unique_ptr<VornelEnv> m_env;
    TempDir m_dir;
};

void TestImagePreview::formatsFittedAndUpright()
{
    ImagePreview view;
    view.resize(400, 300);
    view.show();

    // Larger than the panel: decoded straight at the fitted size, not whole and scaled afterwards.
    QVERIFY(show(view, photomaker::makePhoto(m_dir.path(), "大 图.jpg", false, 1600, 1000)));
    QCOMPARE(view.state(), int(ImagePreview::Shown));
    QCOMPARE(view.image().size(), ImageDecoder::coverSize(QSize(1600, 1000), { box(view) }));
    QCOMPARE(shown(view), view.image().size());

    // Turned by its Exif orientation.
    const QString turned = photomaker::makePhoto(m_dir.path(), "turned.jpg", false, 160, 80);
    QVERIFY(photomaker::setMetadata(turned, { { "Exif.Image.Orientation", "6" } }));
    QVERIFY(show(view, turned));
    QCOMPARE(shown(view), QSize(80, 160));

    // Smaller than the panel: its own size, whatever the format.
    for (const char* name : { "small.png", "small.gif", "small.webp", "small.tif" }) {
        QVERIFY(show(view, photomaker::makePhoto(m_dir.path(), name, false, 120, 90)));
        QVERIFY2(shown(view) == QSize(120, 90), name);
    }

    // Undecodable: an empty label. Hidden: nothing loads, now or when shown again.
    const QString broken = m_dir.file("broken.jpg");
    QVERIFY(writeBytes(broken, "no picture here"));
    QVERIFY(show(view, broken));
    QVERIFY(shown(view).isEmpty());
    view.hide();
    view.onLoadFile(itemFor(turned));
    QVERIFY(!view.isLoading());
    QCOMPARE(view.fileInfo().fileName(), QString("broken.jpg"));
}

void TestImagePreview::resizeDecodesAgainAtTheNewSize()
{
    const QString photo = photomaker::makePhoto(m_dir.path(), "wide.jpg", false, 2000, 1000);
    ImagePreview view;
    view.resize(200, 200);
    view.show();
    QVERIFY(show(view, photo));
    QCOMPARE(view.image().width(), box(view).width());

    // Larger: decoded again, never enlarged from the small copy. Smaller: scaled from what is held.
    view.resize(600, 500);
    QVERIFY(settle(view));
    QCOMPARE(view.image().size(), ImageDecoder::coverSize(QSize(2000, 1000), { box(view) }));
    view.resize(300, 300);
    QVERIFY(!view.isLoading());
    QCOMPARE(shown(view).width(), box(view).width());

    // Resized while the decode cannot run: the size it is handed is the one at the start, and the picture is
    // decoded again for the size the panel has when it ends.
    {
        PoolBlocker blocked;
        view.onLoadFile(itemFor(photomaker::makePhoto(m_dir.path(), "other.jpg", false, 2000, 1000)));
        view.resize(800, 700);
    }
    QVERIFY(settle(view));
    QCOMPARE(view.fileInfo().fileName(), QString("other.jpg"));
    QCOMPARE(view.image().size(), ImageDecoder::coverSize(QSize(2000, 1000), { box(view) }));
}

void TestImagePreview::svgAtThePanelSize()
{
    ImagePreview view;
    view.resize(400, 300);
    view.show();

    // A small drawing fills the panel, its extension in capitals too, and is drawn again when the panel grows.
    const QString svg = m_dir.file("VEC.SVG");
    QVERIFY(writeBytes(svg,
        "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='20'>"
        "<rect width='40' height='20' fill='purple'/></svg>"));
    QVERIFY(show(view, svg));
    QVERIFY(view.isSvg());
    QCOMPARE(view.image().size(), QSize(40, 20).scaled(box(view), Qt::KeepAspectRatio));
    view.resize(700, 600);
    QVERIFY(settle(view));
    QCOMPARE(view.image().size(), QSize(40, 20).scaled(box(view), Qt::KeepAspectRatio));
    QCOMPARE(shown(view), view.image().size());

    // Without a size it shows nothing.
    const QString bare = m_dir.file("bare.svg");
    QVERIFY(writeBytes(bare, "<svg xmlns='http://www.w3.org/2000/svg'><text>无</text></svg>"));
    QVERIFY(show(view, bare));
    QVERIFY(view.image().isNull() && shown(view).isEmpty());
}

void TestImagePreview::showInFolderDoesNotWait()
{
    // No session bus: the folder goes to xdg-open, here a stand-in that takes its time.
    const QString bin = m_dir.file("bin");
    QVERIFY(QDir().mkpath(bin));
    const QString out = m_dir.file("opened.txt");
    QVERIFY(
        writeBytes(bin + "/xdg-open", "#!/bin/sh\nsleep 2\nprintf '%s' \"$1\" > \"" + QFile::encodeName(out) + "\"\n"));
    QFile::setPermissions(bin + "/xdg-open", QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH"), oldBus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("PATH", QFile::encodeName(bin) + ":" + oldPath);
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(m_dir.file("nobus")));

    ImagePreview view;
    view.show();
    const QString photo = makeImage(m_dir.path(), "在 这里.png");
    QVERIFY(show(view, photo));
    QElapsedTimer t;
    t.start();
    view.slot_atFileLocation();
    QVERIFY(t.elapsed() < 1500);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
    QCOMPARE(QString::fromUtf8(readBytes(out)), m_dir.path());

    // The file is gone: a message instead.
    QVERIFY(QFile::remove(photo));
    const auto box = answerMessageBox();
    view.slot_atFileLocation();
    QVERIFY(box->text.startsWith("文件不存在"));
    qputenv("PATH", oldPath);
    qputenv("DBUS_SESSION_BUS_ADDRESS", oldBus);
}

QTEST_MAIN(TestImagePreview)
#include "tst_imagepreview.moc"
