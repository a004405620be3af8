// The kinds of control the window is made of: pictures, transparent text labels that
// act as keys, the entry box and the tape view.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QWidget>

#include <functional>

namespace tapecalc {

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
    QString m_builtIn;
    QPixmap m_picture; // null until the first paint or load()
    QString m_source;
};

// A transparent text label that takes the mouse: keys and displays. Any button
// presses it; the release goes to the label the press began on, and a release over
// it is a click. A double-click counts as a second press, so two quick clicks on a key
// are two key strokes.
class KeyLabel : public QLabel {
    Q_OBJECT

  public:
    explicit KeyLabel(QWidget *parent);

  Q_SIGNALS:
    void pressed();
    void released();
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
};

// The entry box. Every key goes to `keyDown` first; a key that produces a character
// then goes to `character`, which returns the code to let through (0 swallows it).
class EntryBox : public QLineEdit {
    Q_OBJECT

  public:
    explicit EntryBox(QWidget *parent);
    std::function<void(int keyCode)> keyDown;
    std::function<int(int charCode)> character;

  protected:
    void keyPressEvent(QKeyEvent *e) override;
};

// The tape view: typed characters go through `filter` (0 discards, another code
// replaces). Editing keys without a character work as usual.
class TapeView : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit TapeView(QWidget *parent);
    std::function<int(int charCode)> filter;

  protected:
    void keyPressEvent(QKeyEvent *e) override;
};

// Maps Qt's keys to the key codes the entry box's handler knows (Page Up 33, Page Down
// 34, End 35, Delete 46); every other key is 0. Only the key decides, never the text,
// so a typed "." or "#" is never Delete or End.
int entryKeyCode(const QKeyEvent &e);

// The character a key produces for the handlers, or -1 for none. X11's Delete key
// carries the text "\x7f", which is no character here (on Windows it has none).
int typedCharacter(const QKeyEvent &e);

} // namespace tapecalc
