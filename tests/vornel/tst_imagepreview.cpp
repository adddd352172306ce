#include "common/photomaker.h"
#include "common/vorneltest.h"
#include "panels/imagepreview.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>

using namespace testutil;

class TestImagePreview : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_view = std::make_unique<ImagePreview>();
        m_view->resize(400, 300);
        m_view->show();
    }
    void fittedUprightAndDecodedAgainWhenGrown();
    void svgAtThePanelSize();
    void showInFolderDoesNotWait();

private:
    bool settle() const
    {
        return QTest::qWaitFor([&] { return !m_view->isLoading(); }, 20000);
    }
    bool show(const QString& path) const
    {
        m_view->onLoadFile(itemFor(path));
        return settle();
    }
    QSize shown() const { return m_view->label()->pixmap() ? m_view->label()->pixmap()->size() : QSize(); }
    QSize box() const { return m_view->label()->contentsRect().size(); }
    // What the decoder hands over for the panel: just enough to fit it.
    QSize fitted(const QSize& full) const { return ImageDecoder::coverSize(full, { box() }); }

    std::unique_ptr<ImagePreview> m_view;
    TempDir m_dir;
};

void TestImagePreview::fittedUprightAndDecodedAgainWhenGrown()
{
    // Larger than the panel: decoded straight at the fitted size, not whole and scaled afterwards.
    QVERIFY(show(photomaker::makePhoto(m_dir.path(), "大 图.jpg", false, 2000, 1000)));
    QCOMPARE(m_view->image().size(), fitted(QSize(2000, 1000)));
    // Larger panel: decoded again, never enlarged from the small copy. Smaller: scaled from what is held.
    m_view->resize(600, 500);
    QVERIFY(settle());
    QCOMPARE(m_view->image().size(), fitted(QSize(2000, 1000)));
    m_view->resize(300, 300);
    QVERIFY(!m_view->isLoading());

    // Resized while the decode cannot run: decoded again for the size the panel has when it ends; upright.
    const QString turned = photomaker::makePhoto(m_dir.path(), "turned.jpg", false, 1600, 800);
    QVERIFY(photomaker::setMetadata(turned, { { "Exif.Image.Orientation", "6" } }));
    {
        PoolGate blocked(QThreadPool::globalInstance());
        m_view->onLoadFile(itemFor(turned));
        m_view->resize(800, 700);
    }
    QVERIFY(settle());
    QCOMPARE(m_view->image().size(), fitted(QSize(800, 1600)));

    // Smaller than the panel: its own size; undecodable: nothing, the picture before gone; hidden: not loaded.
    QVERIFY(show(photomaker::makePhoto(m_dir.path(), "small.webp", false, 120, 90)));
    QCOMPARE(shown(), QSize(120, 90));
    QVERIFY(writeBytes(m_dir.file("broken.jpg"), "no picture here"));
    QVERIFY(show(m_dir.file("broken.jpg")));
    QVERIFY(shown().isEmpty());
    m_view->hide();
    m_view->onLoadFile(itemFor(turned));
    QVERIFY(!m_view->isLoading());
}

void TestImagePreview::svgAtThePanelSize()
{
    // A small drawing fills the panel, its extension in capitals too, and is drawn again when the panel grows;
    // without a size it shows nothing.
    QVERIFY(writeBytes(m_dir.file("VEC.SVG"),
        "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='20'><rect width='40' height='20'/></svg>"));
    QVERIFY(show(m_dir.file("VEC.SVG")));
    QCOMPARE(m_view->image().size(), QSize(40, 20).scaled(box(), Qt::KeepAspectRatio));
    m_view->resize(700, 600);
    QVERIFY(settle());
    QCOMPARE(shown(), QSize(40, 20).scaled(box(), Qt::KeepAspectRatio));
    // A drawing far wider than high is drawn once, not again and again for the same panel.
    QVERIFY(writeBytes(m_dir.file("line.svg"),
        "<svg xmlns='http://www.w3.org/2000/svg' width='1000' height='1'><rect width='1000' height='1'/></svg>"));
    m_view->onLoadFile(itemFor(m_dir.file("line.svg")));
    QVERIFY(QTest::qWaitFor([&] { return !m_view->isLoading(); }, 5000));
    QCOMPARE(m_view->image().width(), box().width());
    QVERIFY(writeBytes(m_dir.file("bare.svg"), "<svg xmlns='http://www.w3.org/2000/svg'><text>无</text></svg>"));
    QVERIFY(show(m_dir.file("bare.svg")));
    QVERIFY(shown().isEmpty());
}

void TestImagePreview::showInFolderDoesNotWait()
{
    // No session bus: the folder goes to xdg-open, here a stand-in that takes its time.
    QVERIFY(QDir().mkpath(m_dir.file("bin")));
    const QString out = m_dir.file("opened.txt");
    QVERIFY(writeBytes(m_dir.file("bin/xdg-open"), "#!/bin/sh\nsleep 2\nprintf %s \"$1\" > '" + out.toUtf8() + "'\n"));
    QFile::setPermissions(m_dir.file("bin/xdg-open"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH"), oldBus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("PATH", QFile::encodeName(m_dir.file("bin")) + ":" + oldPath);
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(m_dir.file("nobus")));

    QVERIFY(show(makeImage(m_dir.path(), "在 这里.png")));
    QElapsedTimer t;
    t.start();
    m_view->slot_atFileLocation();
    QVERIFY(t.elapsed() < 1500);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
    QCOMPARE(QString::fromUtf8(readBytes(out)), m_dir.path());
    qputenv("PATH", oldPath);
    qputenv("DBUS_SESSION_BUS_ADDRESS", oldBus);
}

QTEST_MAIN(TestImagePreview)
#include "tst_imagepreview.moc"
