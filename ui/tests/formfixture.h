// The real window, headless, for the suites that drive it with a recording platform: a
// program folder with the key pictures, and the controls found by their names.
#pragma once

#include "core/tapeformat.h"
#include "core/tests/fetched.h"
#include "store/tests/temporaryhome.h"
#include "testsupport/missing.h"
#include "ui/form1.h"
#include "ui/programfont.h"
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

namespace tapecalc::formtest {

inline QByteArray readFile(const QString &path) {
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

// The base of those suites: a home of their own (deleted tapes land in its trash, not the
// user's) and the window's controls by name.
class FormTest : public QObject {
  protected:
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
};

} // namespace tapecalc::formtest
