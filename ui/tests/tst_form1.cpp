// The real window, headless: clicks and keys on Form1 with a recording platform.
#include "core/tapeformat.h"
#include "core/tests/fetched.h"
#include "store/tests/temporaryhome.h"
#include "testsupport/missing.h"
#include "ui/form1.h"
#include "ui/programfont.h"
#include "ui/qtwords.h"
#include "ui/realplatform.h"
#include "ui/tests/recordingplatform.h"
#include "ui/tests/startwindow.h"

#include "store/tapefiles.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRawFont>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <QTranslator>

using namespace tapecalc;

namespace {

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A program folder with the key pictures, so press feedback loads real files.
struct ProgramFolder {
    QTemporaryDir dir;
    ProgramFolder(bool withPictures = true) {
        if (!withPictures)
            return;
        QDir().mkpath(dir.filePath("anniu"));
        const QDir pictures(QStringLiteral(TAPECALC_SOURCE_DIR "/anniu"));
        for (const QString &name : pictures.entryList(QDir::Files))
            QFile::copy(pictures.filePath(name), dir.filePath("anniu/" + name));
    }
    QString path() const { return dir.path(); }
};

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT

  private:
    TemporaryHome home_; // deleted tapes land in its trash, not the user's

    template <typename T = QWidget> T *control(Form1 &form, const QString &name) {
        T *w = form.findChild<T *>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    void click(Form1 &form, const QString &name, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(control(form, name), button);
    }
    void clickKeys(Form1 &form, const QStringList &names) {
        for (const QString &name : names)
            click(form, name);
    }
    QString shown(Form1 &form, const QString &label) {
        return control<QLabel>(form, label)->text();
    }
    QString tapeView(Form1 &form) { return control<QPlainTextEdit>(form, "Text2")->toPlainText(); }
    // Right-clicks `w` and picks the item whose caption starts with `item`.
    bool pickFromContextMenu(QWidget *w, const QString &item) {
        bool picked = false;
        QTimer::singleShot(0, w, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction *action : menu->actions())
                if (!picked && action->isEnabled() && action->text().remove('&').startsWith(item)) {
                    action->trigger();
                    picked = true;
                }
            menu->close();
        });
        QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(2, 2), w->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(w, &e);
        return QTest::qWaitFor([&] { return picked; }, 2000);
    }

  private Q_SLOTS:
    void startsTopmostBorderlessAtTheOrigin();
    void everyControlIsNamed();
    void digitCaptionsSitInsideTheirTiles();
    void clickedCalculation();
    void pressFeedback_data();
    void pressFeedback();
    void missingPictureKeepsTheBuiltIn();
    void builtInPicturesLookAsDrawnScaled();
    void typedCalculation();
    void keyCodesNeverComeFromTheText_data();
    void keyCodesNeverComeFromTheText();
    void keyDownCommands_data();
    void keyDownCommands();
    void escapeAndExitEndTheProgram();
    void squareRootMessage();
    void expandAndDoubleClickLayouts();
    void doubleClickOnAKeyKeepsTheLayout();
    void dragMovesTheWindow_data();
    void dragMovesTheWindow();
    void pressOnAControlDoesNotDrag();
    void helpPanelAndBanner();
    void tapeViewFollowsTheTape();
    void tapeViewFiltersTypedCharacters();
    void tapeViewRowsStayWithinTheLongest();
    void otherInputPaths_data();
    void otherInputPaths();
    void resultCopiesToTheClipboard();
    void saveListOpenDelete();
    void deleteActsOnTheSelectedNameOnly();
    void startRemovesLeftoverTemporaries();
    void firstSaveWritesACorrectedView();
    void failedOpenAndDeleteSaySo();
    void failedSaveTellsTheUser();
    void saveRemakesARemovedDataFolder();
    void printing();
    void qtWordsInTheWindowsLanguage_data();
    void qtWordsInTheWindowsLanguage();
};

void TestForm1::startsTopmostBorderlessAtTheOrigin() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(form.windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(form.pos(), QPoint(0, 0));
    QCOMPARE(form.size(), QSize(352, 368));
    QCOMPARE(shown(form, "Label2"), QString("加"));
    QVERIFY(shown(form, "Label1").isEmpty() && shown(form, "Label9").isEmpty());
    QVERIFY(tapeView(form).isEmpty());
    QVERIFY(QDir(folder.dir.filePath("shujucuncu")).exists()); // made at start
    QCOMPARE(QApplication::focusWidget(), control(form, "Text1"));
}

void TestForm1::everyControlIsNamed() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    // One control for each name of the two tables, and no name twice.
    QStringList names;
    for (const SurfaceSpec &element : surfaceTable)
        names << element.name;
    for (const KeySpec &key : keyTable)
        names << key.label << key.background;
    for (const QString &name : names)
        QCOMPARE(form.findChildren<QWidget *>(name).size(), 1);
    QCOMPARE(QSet<QString>(names.cbegin(), names.cend()).size(), names.size());
    // Every key's caption stands on its picture, and the pictures of two keys never
    // overlap.
    QList<QRect> tiles;
    for (const KeySpec &key : keyTable) {
        auto *label = control(form, key.label);
        QVERIFY2(!label->accessibleName().isEmpty(), key.label);
        const QRect tile = control(form, key.background)->geometry();
        QVERIFY2(tile.contains(label->geometry().center()), key.label);
        for (const QRect &other : tiles)
            QVERIFY2(!other.intersects(tile), key.background);
        tiles << tile;
    }
    // Each key label lies in front of its background.
    const QObjectList &children = form.children();
    for (const KeySpec &key : keyTable)
        QVERIFY2(children.indexOf(control(form, key.label)) >
                     children.indexOf(control(form, key.background)),
                 key.label);
}

void TestForm1::digitCaptionsSitInsideTheirTiles() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    // Each digit sits inside its tile, at the same offset for all ten.
    const auto offset = [&](int i) {
        return control(form, QStringLiteral("Label5(%1)").arg(i))->x() -
               control(form, QStringLiteral("Image1(%1)").arg(i))->x();
    };
    for (int i = 0; i <= 9; ++i) {
        QVERIFY(offset(i) > 0);
        QVERIFY(offset(i) < control(form, QStringLiteral("Image1(%1)").arg(i))->width() / 2);
        QCOMPARE(offset(i), offset(0));
    }
}

void TestForm1::clickedCalculation() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    clickKeys(form, {"Label5(4)", "Label11", "Label5(2)", "Label8"}); // 5 乘 3 加
    QCOMPARE(shown(form, "Label1"), QString("15"));
    QCOMPARE(shown(form, "Label2"), QString("加"));
    QCOMPARE(shown(form, "Label9"), QString("2"));
    QCOMPARE(tapeView(form), QString("5\n×\n3\n+\n"));
    QCOMPARE(platform.log.first(), "cue:" + QDir(folder.path()).filePath("shengyin/5.wav"));
    QCOMPARE(platform.cues(), QStringList({"cue:5.wav", "cue:乘.wav", "cue:3.wav", "cue:加.wav"}));
    clickKeys(form, {"Label5(1)", "Label29"}); // 2 =
    QCOMPARE(shown(form, "Label1"), QString("17"));
    clickKeys(form, {"Label14", "Label14"}); // back twice: line 1 under review
    QCOMPARE(control<QLineEdit>(form, "Text1")->text(), QString("3"));
    QCOMPARE(shown(form, "Label1"), QString("5"));
    click(form, "Label2"); // cycle 加 → 减
    QCOMPARE(shown(form, "Label2"), QString("减"));
    clickKeys(form, {"Label13"}); // AC
    QVERIFY(shown(form, "Label2").isEmpty());
    QVERIFY(tapeView(form).isEmpty());
}

void TestForm1::pressFeedback_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("background");
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("pressedFile");
    QTest::addColumn<QString>("releasedFile");
    // clang-format off
    QTest::newRow("digit") << "Label5(4)" << "Image1(4)" << int(Qt::LeftButton) << "0x.jpg" << "1.jpg";
    QTest::newRow("digit, right button") << "Label5(9)" << "Image1(9)" << int(Qt::RightButton) << "0x.jpg" << "1.jpg";
    QTest::newRow("AC") << "Label13" << "Image1(16)" << int(Qt::LeftButton) << "beijingq.jpg" << "beijingz.jpg";
    QTest::newRow("CE") << "Label33" << "Image12" << int(Qt::LeftButton) << "beijingq.jpg" << "beijingz.jpg";
    QTest::newRow("save") << "Label32" << "Image8" << int(Qt::LeftButton) << "beijingq.jpg" << "beijingz.jpg";
    QTest::newRow("add has no feedback") << "Label8" << "Image1(15)" << int(Qt::LeftButton) << "" << "";
    QTest::newRow("point has no feedback") << "Label7" << "Image1(11)" << int(Qt::LeftButton) << "" << "";
    // clang-format on
}

void TestForm1::pressFeedback() {
    QFETCH(QString, pressedFile);
    QFETCH(QString, releasedFile);
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    QWidget *key = control(form, FETCHED(QString, key));
    QWidget *background = control(form, FETCHED(QString, background));
    const auto button = static_cast<Qt::MouseButton>(FETCHED(int, button));
    const QString pictures = QDir(folder.path()).filePath("anniu/");
    QVERIFY(background->property("source").toString().isEmpty());
    QTest::mousePress(key, button);
    QCOMPARE(background->property("source").toString(),
             pressedFile.isEmpty() ? QString() : pictures + pressedFile);
    // Released away from the key: the release still goes to it.
    QTest::mouseRelease(key, button, {}, QPoint(-20, -20));
    QCOMPARE(background->property("source").toString(),
             releasedFile.isEmpty() ? QString() : pictures + releasedFile);
}

void TestForm1::missingPictureKeepsTheBuiltIn() {
    ProgramFolder folder(false);
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    click(form, "Label5(4)");
    QVERIFY(control(form, "Image1(4)")->property("source").toString().isEmpty());
    QCOMPARE(control<QLineEdit>(form, "Text1")->text(), QString("5")); // the key still works
}

// A built-in picture shown at half its size is the one made at that size; another size
// shows the pixels the whole picture drawn scaled gives, also after the box changes size.
void TestForm1::builtInPicturesLookAsDrawnScaled() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const auto scaledWhole = [](const QString &picture, QSize size) {
        QPixmap drawn(size);
        QPainter painter(&drawn);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(drawn.rect(), QPixmap(picture));
        painter.end();
        return drawn.toImage();
    };
    const auto onScreen = [](QWidget *box) {
        return box->grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    // The largest difference of a colour channel between two pictures of one size.
    const auto difference = [](const QImage &a, const QImage &b) {
        int largest = a.size() == b.size() ? 0 : 256;
        for (int y = 0; y < a.height() && largest < 256; ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                largest =
                    std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
            }
        return largest;
    };
    QWidget *backdrop = control(form, "Image2");
    QWidget *strip = control(form, "Image3");
    // At half the picture's size a box shows the picture made at that size, as it is: the
    // whole picture scaled down, but for rounding.
    for (const auto &[box, name] : {std::pair(backdrop, "backdrop"), std::pair(strip, "strip")}) {
        const QImage made = QImage(QStringLiteral(":/art/1x/%1.png").arg(name))
                                .convertToFormat(QImage::Format_RGB32);
        QCOMPARE(box->size(), made.size());
        QCOMPARE(onScreen(box), made);
        const int rounding =
            difference(made, scaledWhole(QStringLiteral(":/art/%1.png").arg(name), box->size()));
        QVERIFY2(rounding <= 2, qPrintable(QString::number(rounding)));
    }
    // At another size, the whole picture scaled.
    strip->resize(strip->width() / 2, strip->height() + 9);
    QCOMPARE(onScreen(strip), scaledWhole(":/art/strip.png", strip->size()));
}

void TestForm1::typedCalculation() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    auto *text1 = control<QLineEdit>(form, "Text1");
    QTest::keyClicks(text1, "5+3");
    QTest::keyClick(text1, Qt::Key_Return);
    QCOMPARE(shown(form, "Label1"), QString("8"));
    QCOMPARE(shown(form, "Label9"), QString("2"));
    QVERIFY(text1->text().isEmpty());
    // Each key first waits for its (empty) blocking request, then its character speaks.
    QCOMPARE(platform.cues(), QStringList({"blocking:", "cue:5.wav", "blocking:", "cue:加.wav",
                                           "blocking:", "cue:3.wav", "blocking:", "cue:等于.wav"}));
    QTest::keyClicks(text1, "12.5.x");
    QCOMPARE(text1->text(), QString("12.5"));
    QTest::keyClick(text1, Qt::Key_Backspace);
    QCOMPARE(text1->text(), QString("12."));
    for (const char *control : {"\x03", "\x16", "\x18"}) { // Ctrl+C, Ctrl+V, Ctrl+X
        QKeyEvent press(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, control);
        QApplication::sendEvent(text1, &press);
        QCOMPARE(text1->text(), QString("12."));
    }
    QTest::keyClick(text1, 'c');
    QVERIFY(text1->text().isEmpty());
}

void TestForm1::keyCodesNeverComeFromTheText_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("entry");
    // Qt::Key_Period is 46 and Qt::Key_NumberSign 35, the codes of Delete and End.
    // clang-format off
    QTest::newRow("typed point") << int(Qt::Key_Period) << "." << "12.";
    QTest::newRow("typed number sign") << int(Qt::Key_NumberSign) << "#" << "12";
    QTest::newRow("delete with its X11 text") << int(Qt::Key_Delete) << "\x7f" << "";
    // clang-format on
}

void TestForm1::keyCodesNeverComeFromTheText() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    auto *text1 = control<QLineEdit>(form, "Text1");
    QTest::keyClicks(text1, "5+12");
    QKeyEvent press(QEvent::KeyPress, FETCHED(int, key), Qt::NoModifier, FETCHED(QString, text));
    QApplication::sendEvent(text1, &press);
    QCOMPARE(text1->text(), FETCHED(QString, entry));
}

void TestForm1::keyDownCommands_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("label1");
    QTest::addColumn<QString>("label2");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QStringList>("cues");
    // clang-format off
    QTest::newRow("delete") << int(Qt::Key_Delete) << "" << "" << "加" << QSize(352, 368) << QStringList{"blocking:归零.wav"};
    QTest::newRow("end") << int(Qt::Key_End) << "" << "8" << "乘" << QSize(352, 368) << QStringList{"blocking:清除.wav"};
    QTest::newRow("page up") << int(Qt::Key_PageUp) << "12" << "8" << "乘" << QSize(641, 368) << QStringList{"blocking:"};
    QTest::newRow("page down") << int(Qt::Key_PageDown) << "12" << "8" << "乘" << QSize(352, 368) << QStringList{"cue:zsw.wav", "blocking:zsw.wav", "cue:8.wav", "blocking:8.wav"};
    QTest::newRow("arrow") << int(Qt::Key_Left) << "12" << "8" << "乘" << QSize(352, 368) << QStringList{"blocking:"};
    // clang-format on
}

void TestForm1::keyDownCommands() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    auto *text1 = control<QLineEdit>(form, "Text1");
    QTest::keyClicks(text1, "8*12");
    platform.log.clear();
    // The displays show the key's result while its cue still holds the window.
    QStringList seenWhileBlocked;
    platform.whileBlocked = [&] {
        seenWhileBlocked << text1->text() + "|" + shown(form, "Label1") + "|" +
                                shown(form, "Label2") + "|" + tapeView(form);
    };
    QTest::keyClick(text1, static_cast<Qt::Key>(FETCHED(int, key)));
    QCOMPARE(text1->text(), FETCHED(QString, entry));
    QCOMPARE(shown(form, "Label1"), FETCHED(QString, label1));
    QCOMPARE(shown(form, "Label2"), FETCHED(QString, label2));
    QCOMPARE(form.size(), FETCHED(QSize, size));
    QCOMPARE(platform.cues(), FETCHED(QStringList, cues));
    const QString after = text1->text() + "|" + shown(form, "Label1") + "|" +
                          shown(form, "Label2") + "|" + tapeView(form);
    QVERIFY(!seenWhileBlocked.isEmpty());
    for (const QString &seen : seenWhileBlocked)
        QCOMPARE(seen, after);
}

void TestForm1::escapeAndExitEndTheProgram() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    auto *text1 = control<QLineEdit>(form, "Text1");
    QTest::keyClicks(text1, "12");
    platform.log.clear();
    QTest::keyClick(text1, Qt::Key_Escape);
    QCOMPARE(platform.log, QStringList({"blocking:", "end"}));
    QVERIFY(text1->text().isEmpty());
    platform.log.clear();
    click(form, "Label28");
    QCOMPARE(platform.log, QStringList({"end"}));
}

void TestForm1::squareRootMessage() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    clickKeys(form, {"Label6", "Label5(3)", "Label22"}); // -, 4, sqr
    QCOMPARE(platform.log.last(), QString("message:负数不能开平方"));
    QCOMPARE(control<QLineEdit>(form, "Text1")->text(), QString("-4"));
    clickKeys(form, {"Label33", "Label5(1)", "Label22"}); // CE, 2, sqr
    QCOMPARE(control<QLineEdit>(form, "Text1")->text(), QString("1.4142135623731"));
}

void TestForm1::expandAndDoubleClickLayouts() {
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

void TestForm1::doubleClickOnAKeyKeepsTheLayout() {
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

void TestForm1::dragMovesTheWindow_data() {
    QTest::addColumn<int>("button");
    // clang-format off
    QTest::newRow("left button") << int(Qt::LeftButton);
    QTest::newRow("right button") << int(Qt::RightButton);
    // clang-format on
}

void TestForm1::dragMovesTheWindow() {
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

void TestForm1::pressOnAControlDoesNotDrag() {
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

void TestForm1::helpPanelAndBanner() {
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

void TestForm1::tapeViewFollowsTheTape() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    auto *text1 = control<QLineEdit>(form, "Text1");
    // Growing, changing the last symbol, reviewing, cutting and clearing: the view always
    // ends identical to the tape text.
    const QStringList steps{"5+", "3*", "/", "2\r", "\r", "7-"};
    for (const QString &typed : steps) {
        QTest::keyClicks(text1, typed);
        QString expected = QString::fromStdString(form.calculator().shown.text2);
        expected.replace("\r\n", "\n");
        QCOMPARE(tapeView(form), expected);
    }
    QCOMPARE(tapeView(form), QString("5\n+\n3\n÷\n2\n÷\n7\n-\n"));
    clickKeys(form, {"Label14", "Label14", "Label8"}); // back to line 2, record it again
    // The old line 3 is cut off; its entry still stands at the cursor, without a symbol.
    QCOMPARE(tapeView(form), QString("5\n+\n3\n÷\n2\n+\n7\n"));
    QTest::keyClick(text1, Qt::Key_Delete);
    QCOMPARE(tapeView(form), QString());
}

void TestForm1::tapeViewFiltersTypedCharacters() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    auto *text2 = control<QPlainTextEdit>(form, "Text2");
    QTest::keyClicks(text2, "12*3/4 a+-.x");
    QTest::keyClick(text2, Qt::Key_Return);
    QCOMPARE(text2->toPlainText(), QString("12×3÷4+-."));
}

// A row of the tape view that holds the longest tape row takes no more characters, typed
// or replacing one typed, but gives them up and takes one again.
void TestForm1::tapeViewRowsStayWithinTheLongest() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    auto *text2 = control<QPlainTextEdit>(form, "Text2");
    const QString full(static_cast<qsizetype>(longestTapeRow), '1');
    text2->setPlainText(full + "\n+\n");
    text2->moveCursor(QTextCursor::Start);
    QTest::keyClicks(text2, "5*");
    QCOMPARE(text2->toPlainText(), full + "\n+\n");
    QTest::keyClick(text2, Qt::Key_Delete);
    QTest::keyClicks(text2, "*5");
    QCOMPARE(text2->toPlainText(), "×" + full.mid(1) + "\n+\n");
    // Another row has room of its own.
    text2->moveCursor(QTextCursor::End);
    QTest::keyClicks(text2, "7");
    QCOMPARE(text2->toPlainText(), "×" + full.mid(1) + "\n+\n7");
}

void TestForm1::otherInputPaths_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("before");   // typed first
    QTest::addColumn<QString>("arriving"); // committed, pasted or dropped
    QTest::addColumn<QString>("after");    // the box's text
    QTest::addColumn<QString>("label1");
    QTest::addColumn<QStringList>("cues"); // asynchronous ones, after `before`
    const auto row = static_cast<qsizetype>(longestTapeRow);
    static_assert(longestTapeRow > 32767, "the first row checks that no line edit's limit cuts");
    // clang-format off
    QTest::newRow("commit: full-width digits and point") << "Text1" << "commit" << "" << "１２．５" << "12.5" << "" << QStringList{"cue:1.wav", "cue:2.wav", "cue:d.wav", "cue:5.wav"};
    QTest::newRow("commit: Chinese point, second refused") << "Text1" << "commit" << "" << "1。5。" << "1.5" << "" << QStringList{"cue:1.wav", "cue:d.wav", "cue:5.wav", "cue:"};
    QTest::newRow("commit: full-width plus is the operator") << "Text1" << "commit" << "" << "５＋３" << "3" << "5" << QStringList{"cue:5.wav", "cue:加.wav", "cue:3.wav"};
    QTest::newRow("commit: letters are swallowed, c clears") << "Text1" << "commit" << "7" << "xc" << "" << "" << QStringList{"cue:", "cue:清除.wav"};
    QTest::newRow("commit: tape view filter") << "Text2" << "commit" << "1" << "２＊３／a4" << "12×3÷4" << "" << QStringList{};
    QTest::newRow("paste: exponent kept whole") << "Text1" << "shift+insert" << "" << "1.5E+20" << "1.5E+20" << "" << QStringList{};
    QTest::newRow("paste: full-width, blanks trimmed") << "Text1" << "shift+insert" << "" << " －１２．５\n" << "-12.5" << "" << QStringList{};
    QTest::newRow("paste: completes the entry") << "Text1" << "shift+insert" << "1." << "25" << "1.25" << "" << QStringList{};
    QTest::newRow("paste: a second point refused") << "Text1" << "shift+insert" << "1." << "5." << "1." << "" << QStringList{};
    QTest::newRow("paste: no action") << "Text1" << "shift+insert" << "7" << "+3" << "7" << "" << QStringList{};
    QTest::newRow("paste: letters refused whole") << "Text1" << "shift+insert" << "" << "12a" << "" << "" << QStringList{};
    QTest::newRow("paste: a tape row's length, past a line edit's 32767") << "Text1" << "shift+insert" << "" << QString(row, '9') << QString(row, '9') << "" << QStringList{};
    QTest::newRow("paste: one over, refused whole") << "Text1" << "shift+insert" << "9" << QString(row, '9') << "9" << "" << QStringList{};
    QTest::newRow("paste: tape view, a row's length") << "Text2" << "shift+insert" << "" << QString(row, '9') << QString(row, '9') << "" << QStringList{};
    QTest::newRow("paste: tape view, one over") << "Text2" << "shift+insert" << "9" << QString(row, '9') << "9" << "" << QStringList{};
    QTest::newRow("paste: Ctrl+V is swallowed") << "Text1" << "ctrl+v" << "" << "12" << "" << "" << QStringList{"cue:"};
    QTest::newRow("paste: menu") << "Text1" << "menu" << "12" << "34" << "1234" << "" << QStringList{};
    QTest::newRow("paste: menu refuses") << "Text1" << "menu" << "12" << "3-4" << "12" << "" << QStringList{};
    QTest::newRow("paste: tape view menu filters") << "Text2" << "menu" << "1" << "5*2\n/x" << "15×2÷" << "" << QStringList{};
    QTest::newRow("paste: tape view keys filter") << "Text2" << "shift+insert" << "" << "× 7+" << "7+" << "" << QStringList{};
    QTest::newRow("drop: number") << "Text1" << "drop" << "" << "0.25" << "0.25" << "" << QStringList{};
    QTest::newRow("drop: no action") << "Text1" << "drop" << "" << "5+3" << "" << "" << QStringList{};
    QTest::newRow("drop: tape view filter") << "Text2" << "drop" << "" << "8/2=" << "8÷2" << "" << QStringList{};
    // clang-format on
}

void TestForm1::otherInputPaths() {
    QFETCH(QString, path);
    QFETCH(QString, arriving);
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QWidget *box = control(form, FETCHED(QString, box));
    auto *tape = qobject_cast<QPlainTextEdit *>(box);
    QWidget *surface = tape ? tape->viewport() : box; // where the mouse and drops arrive
    // Off as input methods ask: a box that answers Qt::ImEnabled true gets fcitx5 or IBus
    // attached whatever its attribute says.
    box->setFocus();
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QApplication::sendEvent(box, &query);
    QVERIFY(!query.value(Qt::ImEnabled).toBool());
    QVERIFY(!box->inputMethodQuery(Qt::ImEnabled).toBool());
    QTest::keyClicks(box, FETCHED(QString, before));
    platform.log.clear();
    QClipboard *clipboard = QGuiApplication::clipboard();
    const QPoint end(box->width() - 20, 10); // right of the text
    if (path == "commit") {
        QInputMethodEvent commit;
        commit.setCommitString(arriving);
        QApplication::sendEvent(box, &commit);
    } else if (path == "drop") {
        QMimeData data;
        data.setText(arriving);
        QDragEnterEvent enter(end, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(surface, &enter);
        QDropEvent drop(end, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(surface, &drop);
    } else { // the middle button's paste needs an X server: ui/tests/desktop_form1
        clipboard->setText(arriving);
        if (path == "shift+insert") {
            QTest::keyClick(box, Qt::Key_Insert, Qt::ShiftModifier);
        } else if (path == "ctrl+v") { // with the character X11 and Windows give it
            QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, "\x16");
            QApplication::sendEvent(box, &press);
        } else {
            QVERIFY(pickFromContextMenu(surface, "Paste"));
        }
    }
    QCOMPARE(tape ? tape->toPlainText() : control<QLineEdit>(form, "Text1")->text(),
             FETCHED(QString, after));
    QCOMPARE(shown(form, "Label1"), FETCHED(QString, label1));
    QCOMPARE(platform.cues().filter(QRegularExpression("^cue:")), FETCHED(QStringList, cues));
}

void TestForm1::resultCopiesToTheClipboard() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::keyClicks(control(form, "Text1"), "12.5-20\r");
    QCOMPARE(shown(form, "Label1"), QString("-7.5"));
    QGuiApplication::clipboard()->clear();
    QVERIFY(pickFromContextMenu(control(form, "Label1"), "复制"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("-7.5"));
}

void TestForm1::saveListOpenDelete() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    auto *text1 = control<QLineEdit>(form, "Text1");
    auto *list = control<QListWidget>(form, "File1");
    QTest::keyClicks(text1, "5+3*2\r");
    click(form, "Label32");
    const QString name = "20261206$16$58$07.qtz";
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), name);
    QFile file(QDir(form.dataFolder()).filePath(name));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("5\r\n+\r\n3\r\n\xA1\xC1\r\n2\r\n\xA1\xC1\r\n"));
    file.close();

    QTest::keyClick(text1, 'a');
    QVERIFY(shown(form, "Label1").isEmpty());
    const QRect row = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(shown(form, "Label1"), QString("16"));
    QCOMPARE(tapeView(form), QString("5\n+\n3\n×\n2\n×\n"));
    QCOMPARE(form.calculator().lineNumber, 3);

#ifdef Q_OS_WIN
    platform.answersDeleteForGood = true; // wine has no recycle bin; Windows asks there
#endif
    platform.log.clear();
    click(form, "Label31");
    QVERIFY(!file.exists());
    QCOMPARE(list->count(), 0);
    QVERIFY(shown(form, "Label1").isEmpty());
    QCOMPARE(platform.cues(), QStringList({"cue:删除.wav", "blocking:删除.wav", "cue:归零.wav"}));
}

void TestForm1::deleteActsOnTheSelectedNameOnly() {
    home_.emptyTrash();
    ProgramFolder folder;
    RecordingPlatform platform;
#ifdef Q_OS_WIN
    platform.answersDeleteForGood = true; // wine has no recycle bin; Windows asks there
#endif
    Form1 form(platform, folder.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    auto *text1 = control<QLineEdit>(form, "Text1");
    auto *list = control<QListWidget>(form, "File1");
    const QDir data(form.dataFolder());
    const QString name = "20261206$16$58$07.qtz";
    QTest::keyClicks(text1, "5+3\r");
    click(form, "Label32");
    QCOMPARE(list->count(), 1);

    // Taking the focus, the list makes its first row current without selecting it.
    list->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(list->hasFocus());
    QVERIFY(list->currentItem() != nullptr);
    QVERIFY(list->selectedItems().isEmpty());
    click(form, "Label31");
    QVERIFY(data.exists(name));
    QCOMPARE(list->count(), 1);
    QVERIFY(list->selectedItems().isEmpty());
    QVERIFY(shown(form, "Label1").isEmpty()); // the calculator was cleared all the same

    // Selected by a click (which opens it): the file goes to the trash, whole.
    const QRect row = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(shown(form, "Label1"), QString("8"));
    click(form, "Label31");
    QVERIFY(!data.exists(name));
    QCOMPARE(list->count(), 0);
#ifndef Q_OS_WIN // Windows keeps its recycle bin where the test cannot look
    QFile trashed(QDir(home_.trashFiles()).filePath(name));
    QVERIFY(trashed.open(QIODevice::ReadOnly));
    QCOMPARE(trashed.readAll(), QByteArray("5\r\n+\r\n3\r\n+\r\n"));
#endif

    // The delete untied the tape: a save makes a new file and the old name stays gone.
    platform.clock = platform.clock.addSecs(3);
    click(form, "Label32");
    const QString later = "20261206$16$58$10.qtz";
    QCOMPARE(data.entryList({"*.qtz"}), QStringList{later});
    QCOMPARE(list->count(), 1);
    QCOMPARE(QString::fromStdString(form.calculator().currentTapeFile), data.filePath(later));
}

void TestForm1::startRemovesLeftoverTemporaries() {
    ProgramFolder folder;
    const QDir data(QDir(folder.path()).filePath("shujucuncu"));
    QVERIFY(data.mkpath("."));
    for (const QString &name :
         QStringList{".tapecalc-Ab12Cd.tmp", "20261206$16$58$07.qtz", "notes.tmp"}) {
        QFile file(data.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("5\r\n");
        file.flush();
        // Left by a save an hour ago (on Windows younger ones may still be being named).
        file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                         QFileDevice::FileModificationTime);
    }
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    QVERIFY(showStarted(form));
    QCOMPARE(data.entryList(QDir::Files | QDir::Hidden, QDir::Name),
             QStringList({"20261206$16$58$07.qtz", "notes.tmp"}));
    QCOMPARE(control<QListWidget>(form, "File1")->count(), 1);
}

// The view shows 95 where the tape has 5: the file holds what the view shows.
void TestForm1::firstSaveWritesACorrectedView() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    QTest::keyClicks(control(form, "Text1"), "5+");
    auto *text2 = control<QPlainTextEdit>(form, "Text2");
    text2->moveCursor(QTextCursor::Start);
    QTest::keyClicks(text2, "9");
    QCOMPARE(tapeView(form), QString("95\n+\n"));
    click(form, "Label32");
    QCOMPARE(readFile(QString::fromStdString(form.calculator().currentTapeFile)),
             QByteArray("95\r\n+\r\n"));
}

// An open or a delete that cannot happen says so, with the warning sign, and leaves the
// calculator and its tape as they were.
void TestForm1::failedOpenAndDeleteSaySo() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    const QDir data(form.dataFolder());
    {
        QFile big(data.filePath("big.qtz"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(largestTapeFile + 1));
        QFile longRow(data.filePath("long.qtz"));
        QVERIFY(longRow.open(QIODevice::WriteOnly) &&
                longRow.write(QByteArray(qsizetype(longestTapeRow) + 1, '7')) > 0);
    }
    QFile tape(data.filePath("t.qtz"));
    QVERIFY(tape.open(QIODevice::WriteOnly) && tape.write("5\r\n+\r\n3\r\n+\r\n") > 0);
    tape.close();
    click(form, "Label32"); // re-reads the list
    auto *list = control<QListWidget>(form, "File1");
    const auto clickName = [&](const QString &name) {
        const QList<QListWidgetItem *> items = list->findItems(name, Qt::MatchExactly);
        if (!items.isEmpty())
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(items.first()).center());
    };
    clickName("t.qtz");
    QCOMPARE(shown(form, "Label1"), QString("8"));
    clickName("big.qtz");
    QCOMPARE(platform.log.last(), QString("warning:文件太大，不是纸带文件：big.qtz"));
    QCOMPARE(shown(form, "Label1"), QString("8"));
    clickName("long.qtz");
    QCOMPARE(platform.log.last(), QString("warning:文件中有的行太大，不是纸带文件：long.qtz"));
    QCOMPARE(shown(form, "Label1"), QString("8"));
    QCOMPARE(tapeView(form), QString("5\n+\n3\n+\n"));

    // Selected and opened, then gone before the delete.
    clickName("t.qtz");
    QVERIFY(tape.remove());
    platform.log.clear();
    click(form, "Label31");
    QCOMPARE(platform.log.last(), QString("warning:删除失败：t.qtz"));
    QVERIFY(platform.cues().isEmpty());
    QCOMPARE(shown(form, "Label1"), QString("8"));
    QCOMPARE(tapeView(form), QString("5\n+\n3\n+\n"));
}

void TestForm1::failedSaveTellsTheUser() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    // The data folder is replaced by a file: nothing can be written there.
    QVERIFY(QDir(form.dataFolder()).removeRecursively());
    QFile blocker(form.dataFolder());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QTest::keyClicks(control(form, "Text1"), "5+");
    click(form, "Label32");
    QCOMPARE(platform.log.last(), QString("warning:保存失败"));
    QVERIFY(form.calculator().currentTapeFile.empty());
}

void TestForm1::saveRemakesARemovedDataFolder() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    QVERIFY(QDir(form.dataFolder()).removeRecursively());
    QTest::keyClicks(control(form, "Text1"), "5+");
    click(form, "Label32");
    QVERIFY(!platform.log.contains("warning:保存失败"));
    QCOMPARE(control<QListWidget>(form, "File1")->count(), 1);
    QVERIFY(QFileInfo::exists(QString::fromStdString(form.calculator().currentTapeFile)));
}

void TestForm1::printing() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    QTest::keyClicks(control(form, "Text1"), "5+3*2\r");
    click(form, "Label30");
    QCOMPARE(platform.printed.size(), 3);
    QCOMPARE(platform.printed.at(0).left(13), QString("+ 5        × "));
    QCOMPARE(platform.printed.at(1), QString(86, '-'));
    QCOMPARE(platform.printed.at(2),
             QString("    合计： 16       共计： 3 笔。时间:2026/12/6 16:58:07   "));

    // Without a printer: a PDF beside the tapes, never over another file, and nothing
    // else changes.
    platform.printerPresent = false;
    platform.printed.clear();
    const QString pdf = QDir(form.dataFolder()).filePath("20261206$16$58$07.pdf");
    for (const QString &path : {pdf, QDir(form.dataFolder()).filePath("20261206$16$58$07-2.pdf")}) {
        click(form, "Label30");
        QCOMPARE(platform.log.last(),
                 "message:没有找到打印机，已存为 PDF：" + QDir::toNativeSeparators(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().startsWith("%PDF-"));
    }
    QCOMPARE(QDir(form.dataFolder()).entryList({"*.pdf"}, QDir::Files | QDir::Hidden).size(), 2);
    QCOMPARE(control<QListWidget>(form, "File1")->count(), 0);

    // A printer that fails the job: a warning says so and offers the report as a PDF.
    platform.printerFails = true;
    const QString third = QDir(form.dataFolder()).filePath("20261206$16$58$07-3.pdf");
    click(form, "Label30");
    QCOMPARE(platform.log.last(),
             "warning:打印失败，已存为 PDF：" + QDir::toNativeSeparators(third));
    QCOMPARE(QDir(form.dataFolder()).entryList({"*.pdf"}, QDir::Files | QDir::Hidden).size(), 3);
    QCOMPARE(shown(form, "Label1"), QString("16"));
    QCOMPARE(form.calculator().lineNumber, 3);
}

void TestForm1::qtWordsInTheWindowsLanguage_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("paste"); // Qt's own translation's word; none: Chinese only
    // clang-format off
    QTest::newRow("system (LANG of the run)") << QLocale::system() << "";
    QTest::newRow("zh_CN") << QLocale("zh_CN") << "";
    QTest::newRow("C") << QLocale::c() << "";
    QTest::newRow("en_US") << QLocale("en_US") << "";
    QTest::newRow("de_DE") << QLocale("de_DE") << "Einfügen";
    // clang-format on
}

// The menus of the text boxes and the tape's scroll bar and the message box's button, as
// the program installs Qt's words: no English, every character in the program's face.
void TestForm1::qtWordsInTheWindowsLanguage() {
    QTranslator *words = installQtWords(FETCHED(QLocale, locale));
    const auto removed = qScopeGuard([words] {
        QCoreApplication::removeTranslator(words);
        delete words;
    });
    ProgramFolder folder;
    RecordingPlatform recording;
    Form1 form(recording, folder.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto *tape = control<QPlainTextEdit>(form, "Text2");
    QStringList shown;
    for (QWidget *w : {control(form, "Text1"), tape->viewport(),
                       static_cast<QWidget *>(tape->verticalScrollBar())}) {
        QTimer::singleShot(0, w, [&] {
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                for (QAction *action : menu->actions())
                    shown << action->text();
                menu->close();
            }
        });
        QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(3, 3), w->mapToGlobal(QPoint(3, 3)));
        QApplication::sendEvent(w, &e);
        QTRY_VERIFY(!QApplication::activePopupWidget());
    }
    RealPlatform platform;
    platform.setWindow(&form);
    QTimer::singleShot(0, &form, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            for (QAbstractButton *button : box->buttons())
                shown << button->text();
            box->accept();
        }
    });
    platform.showMessage("保存失败");
    QVERIFY2(shown.size() > 20, qPrintable(shown.join('|')));
    // A caption without its mnemonic "(&P)" and its shortcut, named as on the keys ("Ctrl+V").
    for (QString &caption : shown)
        caption = caption.section(u'\t', 0, 0).remove(QRegularExpression(R"(\(&.\)|&)"));
    if (const QString paste = FETCHED(QString, paste); !paste.isEmpty()) {
        if (!shown.contains(paste))
            TAPECALC_MISSING("no Qt translation for this language here (qt6-translations-l10n)");
        return;
    }
    QVERIFY(shown.contains("确定"));
    QFile file(programFontFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QRawFont face(file.readAll(), 12);
    for (const QString &caption : std::as_const(shown)) {
        QVERIFY2(!caption.contains(QRegularExpression("[A-Za-z]")), qPrintable(caption));
        for (const char32_t c : caption.toUcs4())
            QVERIFY2(face.supportsCharacter(c), qPrintable(caption + ": run tools/make_font.sh"));
    }
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
