// The real window, headless: its start, its controls and pictures, clicks and keys on
// Form1 with a recording platform, and Qt's own words in the window's language.
#include "ui/tests/formfixture.h"

using namespace tapecalc;
using namespace tapecalc::formtest;

class TestForm1 : public FormTest {
    Q_OBJECT

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

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
