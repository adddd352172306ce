#include "sys/qtlanguage.h"
#include "widgets/lessdialog.h"
#include "widgets/lessframe.h"
#include "widgets/lessmainwindow.h"
#include "widgets/lesswidget.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
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

// Records the first-event hooks as they run.
template <class Base> class Hooked : public Base {
public:
    QStringList hooks;
    // Each hook ran exactly once, each follow-up after its hook.
    bool hooksOnceInOrder() const
    {
        const QStringList names { "show", "showed", "layout", "layouted", "paint", "painted" };
        for (int i = 0; i < names.size(); i += 2) {
            if (hooks.count(names[i]) != 1 || hooks.count(names[i + 1]) != 1
                || hooks.indexOf(names[i]) > hooks.indexOf(names[i + 1]))
                return false;
        }
        return true;
    }

protected:
    void firstShowEvent(QEvent*) override { hooks << "show"; }
    void firstShowedEvent(QEvent*) override { hooks << "showed"; }
    void firstLayoutEvent(QEvent*) override { hooks << "layout"; }
    void firstLayoutedEvent(QEvent*) override { hooks << "layouted"; }
    void firstPaintEvent(QEvent*) override { hooks << "paint"; }
    void firstPaintedEvent(QEvent*) override { hooks << "painted"; }
};

// A window with a title bar as the programs build it: a title and a close button.
class TitledWindow : public Hooked<LessWidget> {
public:
    TitledWindow()
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        titleBar = new QWidget(this);
        titleBar->setFixedHeight(30);
        auto* bar = new QHBoxLayout(titleBar);
        bar->setContentsMargins(0, 0, 0, 0);
        lbTitle = new QLabel("title", titleBar);
        btClose = new QToolButton(titleBar);
        btClose->setFixedSize(30, 30);
        bar->addWidget(lbTitle, 1);
        bar->addWidget(btClose);
        layout->addWidget(titleBar);
        layout->addStretch(1);
        connect(btClose, &QToolButton::clicked, this, &LessWidget::onClose);
        loadLess();
    }

    bool hitCaption(const QPoint& pos) override
    {
        const QPoint p = titleBar->mapFrom(this, pos);
        if (!titleBar->rect().contains(p))
            return false;
        QWidget* child = titleBar->childAt(p);
        return !child || child == lbTitle;
    }
    // A child's centre in window coordinates.
    QPoint at(QWidget* child) const { return child->geometry().center() + titleBar->pos(); }

    QWidget* titleBar;
    QLabel* lbTitle;
    QToolButton* btClose;
};

} // namespace

class TestLessWidget : public QObject {
    Q_OBJECT
private slots:
    void hitTestAndResizeGeometry();
    void qtDialogsSpeakChinese();
    void loadLessOnceAndHooksInOrder();
    void mouseMovesAndResizes();
};

void TestLessWidget::hitTestAndResizeGeometry()
{
    // x, y, code in a 200 x 100 window with 6-pixel bands.
    const int cases[][3] = { { 3, 3, 13 }, { 0, 99, 16 }, { 3, 95, 16 }, { 195, 3, 14 }, { 199, 99, 17 }, { 0, 50, 10 },
        { 5, 50, 10 }, { 6, 50, 0 }, { 195, 50, 11 }, { 194, 50, 0 }, { 100, 0, 12 }, { 100, 5, 12 }, { 100, 6, 0 },
        { 100, 95, 15 }, { 100, 94, 0 }, { 194, 3, 12 }, { 6, 95, 15 }, { 100, 50, 0 } };
    for (const auto& c : cases)
        QVERIFY2(LessFrame::hitBand({ c[0], c[1] }, QSize(200, 100), 6) == c[2], qPrintable(QString::number(c[2])));

    // Resizing keeps within the limits, the opposite edge staying put.
    const QRect start(100, 100, 200, 150);
    const QSize minSize(120, 80), maxSize(250, 400);
    QCOMPARE(LessFrame::resizedGeometry(start, Qt::LeftEdge | Qt::TopEdge, { -20, -10 }, minSize, maxSize),
        QRect(80, 90, 220, 160));
    QCOMPARE(LessFrame::resizedGeometry(start, Qt::LeftEdge, { 500, 0 }, minSize, maxSize), QRect(180, 100, 120, 150));
    QCOMPARE(LessFrame::resizedGeometry(start, Qt::TopEdge, { 0, 500 }, minSize, maxSize), QRect(100, 170, 200, 80));
    QCOMPARE(LessFrame::resizedGeometry(start, Qt::RightEdge, { 100, 0 }, minSize, maxSize), QRect(100, 100, 250, 150));
}

void TestLessWidget::loadLessOnceAndHooksInOrder()
{
    TitledWindow wnd;
    QCOMPARE(int(wnd.windowFlags()), LessFrame::LessFlags);
    wnd.setWindowFlags(Qt::Window);
    wnd.loadLess(); // once only
    QVERIFY(!(wnd.windowFlags() & Qt::FramelessWindowHint));

    // The first-show hook runs during show(), its follow-up only from the event loop.
    wnd.resize(300, 200);
    wnd.show();
    QVERIFY(wnd.hooks.contains("show") && !wnd.hooks.contains("showed"));
    QTRY_VERIFY(wnd.hooksOnceInOrder());
    // Never again: hide, show, relayout and repaint.
    const QStringList before = wnd.hooks;
    wnd.hide();
    wnd.show();
    wnd.resize(320, 220);
    wnd.repaint();
    QTest::qWait(50);
    QCOMPARE(wnd.hooks, before);

    // The other bases run the overrides too.
    Hooked<LessMainWindow> main;
    main.setCentralWidget(new QLabel("centre"));
    main.loadLess();
    main.show();
    QTRY_VERIFY(main.hooksOnceInOrder());
    Hooked<LessDialog> dlg;
    (new QVBoxLayout(&dlg))->addWidget(new QLabel("text"));
    dlg.loadLess();
    dlg.show();
    QTRY_VERIFY(dlg.hooksOnceInOrder());

    // The title-bar actions are slots on each base, so they are reached by name too.
    for (QWidget* window : { static_cast<QWidget*>(&wnd), static_cast<QWidget*>(&main), static_cast<QWidget*>(&dlg) }) {
        QVERIFY(QMetaObject::invokeMethod(window, "onMaximize"));
        QTRY_VERIFY(window->isMaximized());
        QVERIFY(QMetaObject::invokeMethod(window, "onMaximize"));
        QTRY_VERIFY(!window->isMaximized());
        QVERIFY(QMetaObject::invokeMethod(window, "onMinimize"));
        QTRY_VERIFY(window->isMinimized());
        QVERIFY(QMetaObject::invokeMethod(window, "onClose"));
        QTRY_VERIFY(!window->isVisible());
    }
}

void TestLessWidget::mouseMovesAndResizes()
{
    TitledWindow wnd;
    wnd.setMinimumSize(150, 100);
    wnd.setGeometry(100, 100, 300, 200);
    wnd.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wnd));
    QWindow* handle = wnd.windowHandle();
    // The window adds the caption: the title, not the button.
    QCOMPARE(wnd.hitTest(wnd.at(wnd.lbTitle)), int(LessFrame::HitCaption));
    QCOMPARE(wnd.hitTest(wnd.at(wnd.btClose)), 0);

    // No window manager here: the window follows the mouse itself.
    drag(handle, wnd.at(wnd.lbTitle), { 30, 20 });
    QTRY_COMPARE(wnd.geometry(), QRect(130, 120, 300, 200));

    // Edges and corners resize, down to the minimum.
    drag(handle, { 298, 198 }, { 40, 30 });
    QTRY_COMPARE(wnd.geometry(), QRect(130, 120, 340, 230));
    drag(handle, { 1, 1 }, { -10, 10 });
    QTRY_COMPARE(wnd.geometry(), QRect(120, 130, 350, 220));
    // Past the minimum width, even where the title bar's button is; the button gets no click from the band.
    QSignalSpy clicked(wnd.btClose, &QToolButton::clicked);
    drag(handle, { 349, 1 }, { -500, 0 });
    QTRY_COMPARE(wnd.geometry(), QRect(120, 130, 150, 220));
    QTest::mouseClick(handle, Qt::LeftButton, {}, QPoint(146, 3));
    QCOMPARE(clicked.count(), 0);

    // A double click on the title maximises, without margins; maximised, the edges no longer resize.
    QTest::mouseDClick(handle, Qt::LeftButton, {}, wnd.at(wnd.lbTitle));
    QTRY_VERIFY(wnd.isMaximized());
    QCOMPARE(wnd.contentsMargins(), QMargins(0, 0, 0, 0));
    QTest::mouseMove(handle, QPoint(1, 100));
    QCOMPARE(handle->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseDClick(handle, Qt::LeftButton, {}, wnd.at(wnd.lbTitle));
    QTRY_VERIFY(!wnd.isMaximized());
    QCOMPARE(wnd.contentsMargins(), QMargins(2, 2, 2, 2));

    // A title-bar button gets its click.
    QTest::mouseClick(handle, Qt::LeftButton, {}, wnd.at(wnd.btClose));
    QCOMPARE(clicked.count(), 1);
    QTRY_VERIFY(!wnd.isVisible());
}

void TestLessWidget::qtDialogsSpeakChinese()
{
    QVERIFY(installQtTranslations());
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Save);
    QCOMPARE(box.button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));
    QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
    QCOMPARE(box.button(QDialogButtonBox::Save)->text(), QStringLiteral("保存"));
}

QTEST_MAIN(TestLessWidget)
#include "tst_lesswidget.moc"
