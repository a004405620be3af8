// The journal tests' child: a real window offscreen that keys a calculation and logs,
// after each key, the tape view it shows. Modes:
//   soak  random keys until killed; before each key a second window (the shadow, on its
//         own folder) takes the key first and its view is logged as pending, so a kill
//         between the journal's write and the log still has a known expected tape
//   wait  keys a fixed calculation, then waits for a signal
//   exit, esc  keys it, then ends with 退出 or Esc
// Log entries: "<tag> <bytes>\n<view in UTF-8>\n", tag "P" pending or "D" done, then "0",
// or "1" when the view is the content of a tape file it opened; "M <text>" per message;
// "ready" once started.
#include "ui/form1.h"
#include "ui/tests/recordingplatform.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace tapecalc;

namespace {

struct EndingPlatform : RecordingPlatform {
    void endProgram() override { QCoreApplication::exit(0); }
};

class Log {
  public:
    explicit Log(const QString &path) : m_file(path) {
        m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    }
    void line(const QByteArray &text) { m_file.write(text + '\n'); }
    void view(char tag, bool kept, const QString &view) {
        const QByteArray bytes = view.toUtf8();
        // One write per entry: a kill leaves whole entries and at most one torn last one.
        m_file.write(QByteArray(1, tag) + (kept ? "1 " : "0 ") + QByteArray::number(bytes.size()) +
                     '\n' + bytes + '\n');
    }

  private:
    QFile m_file;
};

QString viewOf(Form1 &form) {
    return form.findChild<QPlainTextEdit *>(QStringLiteral("Text2"))->toPlainText();
}

// One random key, the same on every window it is given to.
struct Key {
    std::function<void(Form1 &)> press;
    bool opens = false; // a click on a name in the file list
};

Key randomKey(QRandomGenerator &random, int viewLength) {
    const int pick = random.bounded(100);
    auto typed = [](char c) {
        return Key{[c](Form1 &form) {
            QTest::keyClick(form.findChild<QLineEdit *>(QStringLiteral("Text1")), c);
        }};
    };
    auto clicked = [](const char *name) {
        return Key{[name](Form1 &form) {
            QTest::mouseClick(form.findChild<QWidget *>(QString::fromLatin1(name)), Qt::LeftButton);
        }};
    };
    if (pick < 45)
        return typed(static_cast<char>('0' + random.bounded(10)));
    if (pick < 48)
        return typed('.');
    if (pick < 66)
        return typed("+-*/\r"[random.bounded(5)]);
    if (pick < 73)
        return clicked("Label14"); // back
    if (pick < 77)
        return clicked("Label15"); // forward
    if (pick < 88) {
        // A correction typed into the tape view at a random place.
        const int at = random.bounded(viewLength + 1);
        const char c = "0123456789.+-*/\b"[random.bounded(16)];
        return Key{[at, c](Form1 &form) {
            auto *view = form.findChild<QPlainTextEdit *>(QStringLiteral("Text2"));
            QTextCursor cursor = view->textCursor();
            cursor.setPosition(std::min(at, view->document()->characterCount() - 1));
            view->setTextCursor(cursor);
            if (c == '\b')
                QTest::keyClick(view, Qt::Key_Backspace);
            else
                QTest::keyClicks(view, QString(QLatin1Char(c)));
        }};
    }
    if (pick < 91 || viewLength > 3000)
        return clicked("Label13"); // AC
    const QString name = random.bounded(2) == 0 ? "a.qtz" : "b.qtz";
    return Key{[name](Form1 &form) {
                   auto *list = form.findChild<QListWidget *>(QStringLiteral("File1"));
                   const auto items = list->findItems(name, Qt::MatchExactly);
                   if (!items.isEmpty())
                       Q_EMIT list->itemClicked(items.first());
               },
               true};
}

// Whether the view is, after the key, the content of a tape file: it opened one, or
// changed nothing since it did.
bool keptAfter(bool keptBefore, const Key &key, Form1 &form, const QString &before) {
    key.press(form);
    if (key.opens)
        return !form.calculator().currentTapeFile.empty();
    return keptBefore && viewOf(form) == before;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 6)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString shadowFolder = QString::fromLocal8Bit(argv[2]);
    QRandomGenerator random(static_cast<quint32>(QByteArray(argv[3]).toUInt()));
    Log log(QString::fromLocal8Bit(argv[4]));
    const QByteArray mode(argv[5]);

    EndingPlatform platform;
    Form1 form(platform, folder);
    QCoreApplication::processEvents(); // the start's messages
    for (const QString &entry : platform.log)
        if (entry.startsWith(QLatin1String("message:")))
            log.line("M " + entry.mid(8).toUtf8());
    log.line("ready");

    if (mode == "soak") {
        // The shadow's journals are not under test; they are cleared, not recovered.
        const QDir shadowData(QDir(shadowFolder).filePath(QStringLiteral("shujucuncu")));
        for (const QString &name :
             shadowData.entryList({QString::fromLatin1(journalPrefix) + '*'}, QDir::Hidden))
            QFile::remove(shadowData.filePath(name));
        RecordingPlatform shadowPlatform;
        Form1 shadow(shadowPlatform, shadowFolder);
        bool kept = false;
        for (;;) {
            const QString before = viewOf(form);
            const Key key = randomKey(random, static_cast<int>(before.size()));
            const bool shadowKept = keptAfter(kept, key, shadow, before);
            log.view('P', shadowKept, viewOf(shadow));
            kept = keptAfter(kept, key, form, before);
            const QString after = viewOf(form);
            log.view('D', kept, after);
            if (after != viewOf(shadow) || kept != shadowKept) {
                log.line("diverged");
                return 3;
            }
        }
    }

    for (const char c : QByteArray("12+34*5\r6-"))
        QTest::keyClick(form.findChild<QLineEdit *>(QStringLiteral("Text1")), c);
    log.view('D', false, viewOf(form));
    if (mode == "exit")
        QTimer::singleShot(0, &form, [&form] {
            QTest::mouseClick(form.findChild<QWidget *>(QStringLiteral("Label28")), Qt::LeftButton);
        });
    else if (mode == "esc")
        QTimer::singleShot(0, &form, [&form] {
            QTest::keyClick(form.findChild<QLineEdit *>(QStringLiteral("Text1")), Qt::Key_Escape);
        });
    log.line("keyed");
    return QApplication::exec();
}
