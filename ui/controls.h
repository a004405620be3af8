// The kinds of control the window is made of: pictures, transparent text labels that
// act as keys, the entry box, the tape view and the file list.
#pragma once

#include "core/entrykeys.h"

#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QWidget>

#include <functional>
#include <optional>

namespace tapecalc {

// A built-in picture (a PNG in the program's resources) decoded by Qt's own PNG reader:
// Qt asks every picture format module it has whether it reads a picture it is not told
// the format of, and so loads them all (JPEG's with libjpeg too) before the first frame.
QImage builtInImage(const QString &path);

// A picture stretched to its rectangle. `source` is the file it last loaded from disk,
// empty while it shows its built-in picture. A backdrop takes no mouse input, so a
// press on it is a press on the window's surface. The built-in picture is decoded when
// it is first painted: one that starts outside the window (the help panel, the tape
// panel's keys) costs nothing until it is shown.
class PictureBox : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString source READ source)

  public:
    PictureBox(const QString &builtIn, bool backdrop, QWidget *parent);
    QString source() const { return m_source; }
    // Loads a picture file; a missing or unreadable file keeps the current picture.
    bool load(const QString &path);

  Q_SIGNALS:
    void clicked();

  protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;

  private:
    QPixmap builtInPicture(QSize shown);

    QString m_builtIn;
    QPixmap m_picture;          // null until the first paint or load()
    bool m_drawnToSize = false; // m_picture is the built-in one drawn at the widget's size
    QString m_source;
};

// A transparent text label that takes the mouse: keys and displays. Any button
// presses it; the release goes to the label the press began on, and a release over
// it is a click. A double-click counts as a second press, so two quick clicks on a key
// are two key strokes.
//
// Assistive technology sees a key as a button whose press action clicks it, and a
// display as text under a fixed name ("结果") whose changes it is told of.
class KeyLabel : public QLabel {
    Q_OBJECT

  public:
    enum class Kind { caption, display, key };
    explicit KeyLabel(QWidget *parent, Kind kind = Kind::caption);
    Kind kind() const { return m_kind; }
    // Whether a click does anything, so that a press action is worth offering.
    bool pressable() const;
    // Shows a display's text; assistive technology hears of the change.
    void setDisplayText(const QString &shown);
    // What a click with the mouse does, without the press and release pictures.
    void click();

  Q_SIGNALS:
    void pressed();
    void released();
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;

  private:
    Kind m_kind;
};

// The entry box. Every key goes to `keyDown` first; a key that produces a character
// then goes to `character`, which returns the code to let through (0 swallows it).
// Input methods are off: the box tells them it takes no composed text, so fcitx5, IBus
// and Wayland's text input never attach and every letter reaches `character` as a key.
// A commit that still arrives is typed character by character. A paste or drop goes in
// only when the entry then reads as a number no longer than a row of the tape.
class EntryBox : public QLineEdit {
    Q_OBJECT

  public:
    explicit EntryBox(QWidget *parent);
    std::function<void(KeyCode key)> keyDown;
    std::function<int(int charCode)> character;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

  protected:
    void keyPressEvent(QKeyEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void dragMoveEvent(QDragMoveEvent *e) override;
    void dropEvent(QDropEvent *e) override;

  private:
    // What a paste of `pasted` at the caret (over the selection) inserts; empty when refused.
    std::optional<QString> checkedPaste(const QString &pasted) const;
    void pasteChecked(const QString &pasted);
};

// The tape view: typed, committed, pasted and dropped characters go through `filter`
// (0 discards, another code replaces). No edit makes a row longer than the longest row a
// tape may have: no character goes into a row that holds it, and no Backspace, Delete,
// cut or move joins two rows past it; such an edit does nothing and calls `rowFull`.
// Editing keys without a character work as usual. Input methods are off, as in the entry
// box.
class TapeView : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit TapeView(QWidget *parent);
    std::function<int(int charCode)> filter;
    std::function<void()> rowFull;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

  protected:
    void keyPressEvent(QKeyEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    void insertFromMimeData(const QMimeData *source) override;
    void dropEvent(QDropEvent *e) override;

  private:
    void insertFiltered(const QString &text);
    // Whether the caret's row, with the selection replaced by `added` characters, stays
    // within the longest row a tape holds; calls rowFull when not.
    bool rowTakes(qsizetype added) const;
    // The same for what the key removes: the selection, or with none the line end before
    // the caret at a row's start (`backward`, Backspace) or after it at a row's end.
    bool removalTakes(bool backward) const;
};

// The file list. A tape the program named from the moment it was saved
// ("20261206$16$58$07.qtz", "…$9$05$07-2.qtz") shows as its date over its time
// ("2026-12-06" / "16:58:07"), which fits the list's width where the name would not; any
// other name, another spelling of a moment among them ("…$09$05$07.qtz"), shows as it
// is, its bytes that are not UTF-8 as "\xFF". Every file shows a text of its own. An
// item's text stays the file's name, and its tooltip shows that name.
class FileList : public QListWidget {
    Q_OBJECT

  public:
    explicit FileList(QWidget *parent);
    // The list holds `names`, in that order.
    void showNames(const QStringList &names);
    QString shownText(const QString &name) const;

  private:
    QHash<QString, QString> m_shown;
};

// What the file list shows for a file name: two lines for a name from the moment.
QString shownFileName(const QString &fileName);
// The name as text a person can read: each byte that is not UTF-8 as "\xFF".
QString readableFileName(const QString &fileName);

// Maps Qt's keys to the keys the entry box's handler knows (Page Up, Page Down, End,
// Delete); every other key is KeyCode::other. Only the key decides, never the text, so a
// typed "." or "#" is never Delete or End.
KeyCode entryKeyCode(const QKeyEvent &e);

// The character a key produces for the handlers, or -1 for none. X11's Delete key
// carries the text "\x7f", which is no character here (on Windows it has none).
int typedCharacter(const QKeyEvent &e);

} // namespace tapecalc
