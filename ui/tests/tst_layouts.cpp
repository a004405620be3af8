// Layouts, dragging and help: the panel layouts and their double-clicks, the window dragged by
// its gold background, the help panel and the banner.
#include "ui/tests/formfixture.h"

using namespace tapecalc;
using namespace tapecalc::formtest;

class TestLayouts : public FormTest {
    Q_OBJECT

  private Q_SLOTS:
    void expandAndDoubleClickLayouts();
    void doubleClickOnAKeyKeepsTheLayout();
    void dragMovesTheWindow_data();
    void dragMovesTheWindow();
    void pressOnAControlDoesNotDrag();
    void helpPanelAndBanner();
};

void TestLayouts::expandAndDoubleClickLayouts() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    QList<QSize> sizes;
    for (int i = 0; i < 6; ++i) {
        click(form, "Label27");
        sizes << form.size();
        // Fixed: no window manager may stretch the skin.
        QCOMPARE(form.minimumSize(), form.size());
        QCOMPARE(form.maximumSize(), form.size());
    }
    QCOMPARE(sizes, QList<QSize>(
                        {{488, 368}, {641, 368}, {488, 368}, {352, 368}, {352, 110}, {352, 368}}));
    // The bare surface (a backdrop takes no mouse input).
    QTest::mouseDClick(&form, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(form.size(), QSize(352, 110));
    QTest::mouseDClick(&form, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(form.size(), QSize(273, 39));
    QCOMPARE(form.maximumSize(), form.size());
    QVERIFY(control(form, "Label2")->isHidden());
    QCOMPARE(control(form, "Text1")->geometry(), QRect(16, 3, 107, 32));
    QCOMPARE(control(form, "Shape1")->geometry().topLeft(), QPoint(125, 3));
    QTest::mouseDClick(&form, Qt::LeftButton, {}, QPoint(5, 2));
    QCOMPARE(form.size(), QSize(352, 368));
    QVERIFY(!control(form, "Label2")->isHidden());
    click(form, "Label27");
    QCOMPARE(form.size(), QSize(488, 368)); // the expand cycle starts over
}

void TestLayouts::doubleClickOnAKeyKeepsTheLayout() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    for (const char *name : {"Label5(4)", "Label1", "Image4"}) {
        QWidget *w = control(form, name);
        QTest::mouseClick(w, Qt::LeftButton);
        QMouseEvent second(QEvent::MouseButtonDblClick, QPointF(3, 3),
                           w->mapToGlobal(QPointF(3, 3)), Qt::LeftButton, Qt::LeftButton,
                           Qt::NoModifier);
        QApplication::sendEvent(w, &second);
        QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(3, 3));
    }
    QCOMPARE(form.size(), QSize(352, 368));
    // Two quick clicks on a key are two key strokes.
    QCOMPARE(control<QLineEdit>(form, "Text1")->text(), QString("55"));
}

void TestLayouts::dragMovesTheWindow_data() {
    QTest::addColumn<int>("button");
    // clang-format off
    QTest::newRow("left button") << int(Qt::LeftButton);
    QTest::newRow("right button") << int(Qt::RightButton);
    // clang-format on
}

void TestLayouts::dragMovesTheWindow() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const auto button = static_cast<Qt::MouseButton>(FETCHED(int, button));
    QTest::mousePress(&form, button, {}, QPoint(5, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(25, 15), form.mapToGlobal(QPointF(25, 15)),
                     Qt::NoButton, button, Qt::NoModifier);
    QApplication::sendEvent(&form, &move);
    QCOMPARE(form.pos(), QPoint(20, 10));
    // The grabbed point is under the pointer again: the same pointer place moves no more.
    QMouseEvent still(QEvent::MouseMove, QPointF(5, 5), form.mapToGlobal(QPointF(5, 5)),
                      Qt::NoButton, button, Qt::NoModifier);
    QApplication::sendEvent(&form, &still);
    QCOMPARE(form.pos(), QPoint(20, 10));
    QTest::mouseRelease(&form, button, {}, QPoint(5, 5));
    QMouseEvent after(QEvent::MouseMove, QPointF(50, 50), form.mapToGlobal(QPointF(50, 50)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &after);
    QCOMPARE(form.pos(), QPoint(20, 10));
}

void TestLayouts::pressOnAControlDoesNotDrag() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    for (const char *name : {"Label5(4)", "Label1", "Image4", "Label9", "Image1(0)"}) {
        QWidget *w = control(form, name);
        QTest::mousePress(w, Qt::LeftButton, {}, QPoint(2, 2));
        QMouseEvent move(QEvent::MouseMove, QPointF(40, 40), form.mapToGlobal(QPointF(40, 40)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &move);
        QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(form.pos(), QPoint(0, 0));
    }
}

void TestLayouts::helpPanelAndBanner() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    QWidget *panel = control(form, "Image14");
    // Parked below the window; shown, it covers the keys and stays inside the window.
    const auto hidden = [&] { return panel->y() >= form.height(); };
    const auto shown = [&] {
        return form.rect().contains(panel->geometry()) &&
               panel->geometry().contains(control(form, "Label5(0)")->geometry());
    };
    QVERIFY(hidden());
    click(form, "Label24");
    QVERIFY(shown());
    click(form, "Label24");
    QVERIFY(hidden());
    click(form, "Label24");
    QVERIFY(shown());
    click(form, "Image14");
    QVERIFY(hidden());
    click(form, "Image13");
    const QString page = QDir(folder.path()).filePath("help/index.html");
    QCOMPARE(platform.log.last(), "url:" + QUrl::fromLocalFile(page).toString());
    // Without a browser the user is told where the page is.
    platform.browserPresent = false;
    click(form, "Image13");
    QCOMPARE(
        platform.log.mid(platform.log.size() - 2),
        QStringList({"url:" + QUrl::fromLocalFile(page).toString(),
                     "message:没有找到浏览器。帮助网页在：" + QDir::toNativeSeparators(page)}));
}

QTEST_MAIN(TestLayouts)
#include "tst_layouts.moc"
