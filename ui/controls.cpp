// Pictures, key labels, the entry box and the tape view.
#include "ui/controls.h"

#include "keyboard/entrykeys.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace tapecalc {

PictureBox::PictureBox(const QString &builtIn, bool backdrop, QWidget *parent)
    : QWidget(parent), m_builtIn(builtIn) {
    setAttribute(Qt::WA_TransparentForMouseEvents, backdrop);
}

bool PictureBox::load(const QString &path) {
    QPixmap picture(path);
    if (picture.isNull())
        return false;
    m_picture = picture;
    m_source = path;
    update();
    return true;
}

void PictureBox::paintEvent(QPaintEvent *) {
    if (m_picture.isNull())
        m_picture = QPixmap(m_builtIn);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), m_picture);
}

// A picture that is no backdrop takes the mouse, so a press on it never drags the window.
void PictureBox::mousePressEvent(QMouseEvent *e) {
    e->accept();
}
void PictureBox::mouseDoubleClickEvent(QMouseEvent *e) {
    e->accept();
}
void PictureBox::mouseReleaseEvent(QMouseEvent *e) {
    e->accept();
    if (rect().contains(e->position().toPoint()))
        Q_EMIT clicked();
}

KeyLabel::KeyLabel(QWidget *parent) : QLabel(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

void KeyLabel::mousePressEvent(QMouseEvent *e) {
    e->accept();
    Q_EMIT pressed();
}

void KeyLabel::mouseDoubleClickEvent(QMouseEvent *e) {
    e->accept();
    Q_EMIT pressed();
}

void KeyLabel::mouseReleaseEvent(QMouseEvent *e) {
    e->accept();
    Q_EMIT released();
    if (rect().contains(e->position().toPoint()))
        Q_EMIT clicked();
}

int entryKeyCode(const QKeyEvent &e) {
    switch (e.key()) {
    case Qt::Key_PageUp:
        return keyPageUp;
    case Qt::Key_PageDown:
        return keyPageDown;
    case Qt::Key_End:
        return keyEnd;
    case Qt::Key_Delete:
        return keyDelete;
    default:
        return 0;
    }
}

int typedCharacter(const QKeyEvent &e) {
    const QString text = e.text();
    if (text.isEmpty() || text.at(0) == QChar(0x7f))
        return -1;
    return text.at(0).unicode();
}

EntryBox::EntryBox(QWidget *parent) : QLineEdit(parent) {}

void EntryBox::keyPressEvent(QKeyEvent *e) {
    if (keyDown)
        keyDown(entryKeyCode(*e));
    const int code = typedCharacter(*e);
    if (code >= 0 && character && character(code) == 0) {
        e->accept(); // swallowed: the box does nothing with it
        return;
    }
    QLineEdit::keyPressEvent(e);
}

TapeView::TapeView(QWidget *parent) : QPlainTextEdit(parent) {}

void TapeView::keyPressEvent(QKeyEvent *e) {
    const int code = typedCharacter(*e);
    if (code < 0 || !filter) {
        QPlainTextEdit::keyPressEvent(e);
        return;
    }
    const int kept = filter(code);
    if (kept == 0) {
        e->accept();
    } else if (kept != code) {
        insertPlainText(QString(QChar(kept)));
        e->accept();
    } else {
        QPlainTextEdit::keyPressEvent(e);
    }
}

} // namespace tapecalc
