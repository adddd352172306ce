#include "lessdialog.h"
#include "lessframe.h"
#include "lessmainwindow.h"
#include "lesswidget.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWindow>

namespace {

// Presses at from, moves by, and releases where the mouse then is (the window may have moved under it).
void drag(QWindow* handle, QPoint from, QPoint by)
{
    const QPoint global = handle->mapToGlobal(from + by);
    QTest::mousePress(handle, Qt::LeftButton, {}, from);
    QTest::mouseMove(handle, from + by);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, handle->mapFromGlobal(global));
}

// A window with a title bar as the programs build it: logo, title, a close button.
class TitledWindow : public LessWidget {
public:
    TitledWindow()
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        titleBar = new QWidget(this);
        titleBar->setFixedHeight(30);
        auto* bar = new QHBoxLayout(titleBar);
        bar->setContentsMargins(0, 0, 0, 0);
        lbLogo = new QLabel("logo", titleBar);
        lbTitle = new QLabel("title", titleBar);
        btClose = new QToolButton(titleBar);
        btClose->setFixedSize(30, 30);
        bar->addWidget(lbLogo);
        bar->addWidget(lbTitle, 1);
        bar->addWidget(btClose);
        layout->addWidget(titleBar);
        layout->addStretch(1);
        connect(btClose, &QToolButton::clicked, this, &LessWidget::onClose);
    }

    bool hitCaption(const QPoint& pos) override
    {
        const QPoint p = titleBar->mapFrom(this, pos);
        if (!titleBar->rect().contains(p))
            return false;
        QWidget* child = titleBar->childAt(p);
        return !child || child == lbTitle;
    }

    QStringList hooks;
    QWidget* titleBar;
    QLabel* lbLogo;
    QLabel* lbTitle;
    QToolButton* btClose;

protected:
    void firstShowEvent(QEvent*) override { hooks << "show"; }
    void firstShowedEvent(QEvent*) override { hooks << "showed"; }
    void firstLayoutEvent(QEvent*) override { hooks << "layout"; }
    void firstLayoutedEvent(QEvent*) override { hooks << "layouted"; }
    void firstPaintEvent(QEvent*) override { hooks << "paint"; }
    void firstPaintedEvent(QEvent*) override { hooks << "painted"; }
};

class HookedMainWindow : public LessMainWindow {
public:
    QStringList hooks;

protected:
    void firstShowedEvent(QEvent*) override { hooks << "showed"; }
    void firstPaintedEvent(QEvent*) override { hooks << "painted"; }
};

class HookedDialog : public LessDialog {
public:
    QStringList hooks;

protected:
    void firstShowedEvent(QEvent*) override { hooks << "showed"; }
    void firstPaintedEvent(QEvent*) override { hooks << "painted"; }
};

} // namespace

class TestLessWidget : public QObject {
    Q_OBJECT
private slots:
    void hitTestCodesAndBands();
    void resizeGeometryLimits();
    void loadLessOnceAndHooksInOrder();
    void otherBasesRunTheirHooks();
    void borderAndMargins();
    void captionMovesButtonsStillClick();
    void edgesAndCornersResize();
    void doubleClickOnCaptionMaximises();
};

void TestLessWidget::hitTestCodesAndBands()
{
    const QSize size(200, 100);
    struct Case {
        QPoint pos;
        int code;
    };
    const Case cases[] = {
        { { 3, 3 }, 13 },
        { { 0, 99 }, 16 },
        { { 3, 95 }, 16 },
        { { 195, 3 }, 14 },
        { { 199, 99 }, 17 },
        { { 0, 50 }, 10 },
        { { 5, 50 }, 10 },
        { { 6, 50 }, 0 },
        { { 195, 50 }, 11 },
        { { 194, 50 }, 0 },
        { { 100, 0 }, 12 },
        { { 100, 5 }, 12 },
        { { 100, 6 }, 0 },
        { { 100, 95 }, 15 },
        { { 100, 94 }, 0 },
        { { 194, 3 }, 12 },
        { { 6, 95 }, 15 },
        { { 100, 50 }, 0 },
    };
    for (const Case& c : cases)
        QVERIFY2(
            LessFrame::hitBand(c.pos, size, 6) == c.code, qPrintable(QString("(%1,%2)").arg(c.pos.x()).arg(c.pos.y())));
    QCOMPARE(LessFrame::hitBand({ 8, 8 }, size, 10), int(LessFrame::HitTopLeft));

    QCOMPARE(LessFrame::bandEdges(LessFrame::HitBottomLeft), Qt::BottomEdge | Qt::LeftEdge);
    QCOMPARE(LessFrame::bandEdges(LessFrame::HitRight), Qt::Edges(Qt::RightEdge));
    QCOMPARE(LessFrame::bandEdges(LessFrame::HitCaption), Qt::Edges());
    QCOMPARE(LessFrame::bandCursor(LessFrame::HitTopLeft), Qt::SizeFDiagCursor);
    QCOMPARE(LessFrame::bandCursor(LessFrame::HitTopRight), Qt::SizeBDiagCursor);
    QCOMPARE(LessFrame::bandCursor(LessFrame::HitBottom), Qt::SizeVerCursor);

    // The window adds the caption: the title, not the logo or the button.
    TitledWindow wnd;
    wnd.resize(300, 200);
    wnd.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wnd));
    QCOMPARE(wnd.getHitWidth(), 6);
    QCOMPARE(wnd.hitTest(wnd.lbTitle->geometry().center() + wnd.titleBar->pos()), 2);
    QCOMPARE(wnd.hitTest(wnd.btClose->geometry().center() + wnd.titleBar->pos()), 0);
    QCOMPARE(wnd.hitTest(wnd.lbLogo->geometry().center() + wnd.titleBar->pos()), 0);
    QCOMPARE(wnd.hitTest({ 150, 150 }), 0);
    QCOMPARE(wnd.hitTest({ 150, 2 }), 12);
    wnd.setHitWidth(10);
    QCOMPARE(wnd.hitTest({ 8, 100 }), 10);
}

void TestLessWidget::resizeGeometryLimits()
{
    const QRect start(100, 100, 200, 150);
    const QSize minSize(120, 80);
    const QSize maxSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    QCOMPARE(LessFrame::resizedGeometry(start, Qt::RightEdge | Qt::BottomEdge, { 40, 30 }, minSize, maxSize),
        QRect(100, 100, 240, 180));
    QCOMPARE(LessFrame::resizedGeometry(start, Qt::LeftEdge | Qt::TopEdge, { -20, -10 }, minSize, maxSize),
        QRect(80, 90, 220, 160));
    // Shrinking stops at the minimum, the opposite edge stays put.
    QCOMPARE(LessFrame::resizedGeometry(start, Qt::LeftEdge, { 500, 0 }, minSize, maxSize), QRect(180, 100, 120, 150));
    QCOMPARE(LessFrame::resizedGeometry(start, Qt::TopEdge, { 0, 500 }, minSize, maxSize), QRect(100, 170, 200, 80));
    QCOMPARE(LessFrame::resizedGeometry(start, Qt::RightEdge, { 100, 0 }, minSize, QSize(250, 400)),
        QRect(100, 100, 250, 150));
}

void TestLessWidget::loadLessOnceAndHooksInOrder()
{
    TitledWindow wnd;
    QCOMPARE(wnd.contentsMargins(), QMargins(2, 2, 2, 2));
    QVERIFY(!wnd.getLessSet());
    wnd.loadLess();
    QVERIFY(wnd.getLessSet());
    QCOMPARE(int(wnd.windowFlags()), 0xC801);
    wnd.setWindowFlags(Qt::Window);
    wnd.loadLess();
    QVERIFY(!(wnd.windowFlags() & Qt::FramelessWindowHint));
    wnd.setWindowFlags(Qt::WindowFlags(0xC801));

    wnd.resize(300, 200);
    QVERIFY(!wnd.getWndShow());
    wnd.show();
    // The first-show hook runs during show(), its follow-up only from the event loop.
    QVERIFY(wnd.hooks.contains("show"));
    QVERIFY(!wnd.hooks.contains("showed"));
    QVERIFY(QTest::qWaitForWindowExposed(&wnd));
    QTRY_VERIFY(wnd.hooks.contains("painted"));
    QTRY_VERIFY(wnd.hooks.contains("layouted"));
    QVERIFY(wnd.getWndShow() && wnd.getWndLayout() && wnd.getWndPaint());

    for (const char* name : { "show", "showed", "layout", "layouted", "paint", "painted" })
        QCOMPARE(wnd.hooks.count(name), 1);
    QVERIFY(wnd.hooks.indexOf("show") < wnd.hooks.indexOf("showed"));
    QVERIFY(wnd.hooks.indexOf("layout") < wnd.hooks.indexOf("layouted"));
    QVERIFY(wnd.hooks.indexOf("paint") < wnd.hooks.indexOf("painted"));

    // Never again: hide, show, relayout and repaint.
    const QStringList before = wnd.hooks;
    wnd.hide();
    wnd.show();
    wnd.resize(320, 220);
    wnd.repaint();
    QTest::qWait(50);
    QCOMPARE(wnd.hooks, before);
}

void TestLessWidget::otherBasesRunTheirHooks()
{
    HookedMainWindow main;
    main.setCentralWidget(new QLabel("centre"));
    main.loadLess();
    QCOMPARE(int(main.windowFlags()), 0xC801);
    main.show();
    QTRY_COMPARE(main.hooks, QStringList({ "showed", "painted" }));

    HookedDialog dlg;
    dlg.loadLess();
    dlg.resize(200, 100);
    dlg.show();
    QTRY_COMPARE(dlg.hooks, QStringList({ "showed", "painted" }));
}

void TestLessWidget::borderAndMargins()
{
    TitledWindow wnd;
    wnd.loadLess();
    wnd.resize(200, 120);
    wnd.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wnd));

    const QColor frame = QColor(Qt::darkGray);
    QImage img = wnd.grab().toImage();
    QCOMPARE(img.pixelColor(0, 60), frame);
    QCOMPARE(img.pixelColor(199, 60), frame);
    QCOMPARE(img.pixelColor(100, 119), frame);
    QVERIFY(img.pixelColor(1, 60) != frame);

    wnd.getBorderPen().setColor(Qt::red);
    wnd.getBorderPen().setWidth(0);
    img = wnd.grab().toImage();
    QVERIFY(img.pixelColor(0, 60) != QColor(Qt::red));
    QVERIFY(img.pixelColor(0, 60) != frame);
    wnd.getBorderPen().setWidth(1);
    img = wnd.grab().toImage();
    QCOMPARE(img.pixelColor(0, 60), QColor(Qt::red));

    wnd.onMaximize();
    QTRY_VERIFY(wnd.isMaximized());
    QCOMPARE(wnd.contentsMargins(), QMargins(0, 0, 0, 0));
    wnd.onMaximize();
    QTRY_VERIFY(!wnd.isMaximized());
    QCOMPARE(wnd.contentsMargins(), QMargins(2, 2, 2, 2));
    wnd.onMinimize();
    QTRY_VERIFY(wnd.isMinimized());
}

void TestLessWidget::captionMovesButtonsStillClick()
{
    TitledWindow wnd;
    wnd.loadLess();
    wnd.setGeometry(100, 100, 300, 200);
    wnd.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wnd));
    QWindow* handle = wnd.windowHandle();
    QVERIFY(handle);

    // No window manager here: the window follows the mouse itself.
    const QPoint title = wnd.lbTitle->geometry().center() + wnd.titleBar->pos();
    drag(handle, title, { 30, 20 });
    QTRY_COMPARE(wnd.pos(), QPoint(130, 120));
    QCOMPARE(wnd.size(), QSize(300, 200));

    // Moving without the button moves nothing.
    QTest::mouseMove(handle, title + QPoint(10, 10));
    QCOMPARE(wnd.pos(), QPoint(130, 120));

    // The logo is no caption: no move.
    const QPoint logo = wnd.lbLogo->geometry().center() + wnd.titleBar->pos();
    drag(handle, logo, { 30, 20 });
    QCOMPARE(wnd.pos(), QPoint(130, 120));

    // A title-bar button gets its click.
    QSignalSpy clicked(wnd.btClose, &QToolButton::clicked);
    QTest::mouseClick(handle, Qt::LeftButton, {}, wnd.btClose->geometry().center() + wnd.titleBar->pos());
    QCOMPARE(clicked.count(), 1);
    QTRY_VERIFY(!wnd.isVisible());
}

void TestLessWidget::edgesAndCornersResize()
{
    TitledWindow wnd;
    wnd.loadLess();
    wnd.setMinimumSize(150, 100);
    wnd.setGeometry(100, 100, 300, 200);
    wnd.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wnd));
    QWindow* handle = wnd.windowHandle();

    // The resize shape shows over a band only.
    QTest::mouseMove(handle, QPoint(298, 198));
    QCOMPARE(handle->cursor().shape(), Qt::SizeFDiagCursor);
    QTest::mouseMove(handle, QPoint(150, 100));
    QCOMPARE(handle->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseMove(handle, QPoint(2, 100));
    QCOMPARE(handle->cursor().shape(), Qt::SizeHorCursor);

    drag(handle, { 298, 198 }, { 40, 30 });
    QTRY_COMPARE(wnd.geometry(), QRect(100, 100, 340, 230));
    drag(handle, { 2, 100 }, { -20, 0 });
    QTRY_COMPARE(wnd.geometry(), QRect(80, 100, 360, 230));
    // Top-left corner, even where the title bar's button would be.
    drag(handle, { 1, 1 }, { 10, 10 });
    QTRY_COMPARE(wnd.geometry(), QRect(90, 110, 350, 220));
    drag(handle, { 349, 1 }, { -500, 0 });
    QTRY_COMPARE(wnd.geometry(), QRect(90, 110, 150, 220));
    drag(handle, { 75, 218 }, { 0, -15 });
    QTRY_COMPARE(wnd.geometry(), QRect(90, 110, 150, 205));

    // A press in the band does not reach the button under it.
    QSignalSpy clicked(wnd.btClose, &QToolButton::clicked);
    QTest::mouseClick(handle, Qt::LeftButton, {}, QPoint(146, 3));
    QCOMPARE(clicked.count(), 0);
    QVERIFY(wnd.isVisible());
}

void TestLessWidget::doubleClickOnCaptionMaximises()
{
    TitledWindow wnd;
    wnd.loadLess();
    wnd.setGeometry(100, 100, 300, 200);
    wnd.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wnd));
    const QPoint title = wnd.lbTitle->geometry().center() + wnd.titleBar->pos();
    QTest::mouseDClick(wnd.windowHandle(), Qt::LeftButton, {}, title);
    QTRY_VERIFY(wnd.isMaximized());
    // Maximised, the edges no longer resize.
    QTest::mouseMove(wnd.windowHandle(), QPoint(1, 100));
    QCOMPARE(wnd.windowHandle()->cursor().shape(), Qt::ArrowCursor);
    const QPoint title2 = wnd.lbTitle->geometry().center() + wnd.titleBar->pos();
    QTest::mouseDClick(wnd.windowHandle(), Qt::LeftButton, {}, title2);
    QTRY_VERIFY(!wnd.isMaximized());
}

QTEST_MAIN(TestLessWidget)
#include "tst_lesswidget.moc"
