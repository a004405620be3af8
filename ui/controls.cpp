// Pictures, key labels, the entry box, the tape view and the file list.
#include "ui/controls.h"

#include "core/tapeformat.h"
#include "core/text.h"
#include "core/textgate.h"
#include "store/freename.h"
#include "store/tapefiles.h"

#include <QAccessibleWidget>
#include <QClipboard>
#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QImageReader>
#include <QKeyEvent>
#include <QMenu>
#include <QMetaMethod>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QSet>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTextBlock>
#include <QTime>
#include <QTimeZone>
#include <QToolTip>

#include <algorithm>

namespace tapecalc {

namespace {

// Qt 6.4's line edit and text edit answer Qt::ImEnabled true whatever
// WA_InputMethodEnabled says, and the input method attaches on that answer: with pinyin
// on, "c" would open a candidate window instead of clearing the entry.
QVariant withoutInputMethod(Qt::InputMethodQuery query, const QVariant &answer) {
    return query == Qt::ImEnabled ? QVariant(false) : answer;
}

// Where right-to-left extensions are on, the standard menus offer a submenu that inserts
// control characters past every rule; it goes.
void withoutControlCharacters(QMenu *menu) {
    for (QAction *action : menu->actions())
        if (action->menu())
            menu->removeAction(action);
}

// How assistive technology sees a key label. A key is a button whose press action
// clicks it; a display is read-only text under its fixed name, so a screen reader can
// find "结果" and read the total.
class KeyLabelAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    explicit KeyLabelAccessible(KeyLabel *label)
        : QAccessibleWidget(label, label->kind() == KeyLabel::Kind::key ? QAccessible::Button
                                                                        : QAccessible::StaticText) {
    }

    void *interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface && isDisplay())
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            const QString name = label()->accessibleName();
            return name.isEmpty() ? label()->text().simplified() : name;
        }
        if (t == QAccessible::Value)
            return isDisplay() ? label()->text() : QString();
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (label()->pressable())
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString &action) override {
        if (action != pressAction() || !label()->pressable())
            return QAccessibleWidget::doAction(action);
        // Later, like a push button's animated click: a key that shows a message box or
        // plays its cue to the end must not hold up the reply to the screen reader.
        QMetaObject::invokeMethod(label(), &KeyLabel::click, Qt::QueuedConnection);
    }

    // Read-only text: no selection, the cursor stays at the start.
    void selection(int, int *startOffset, int *endOffset) const override {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override {
        return label()->text().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(label()->text().size()); }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int *startOffset, int *endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

    // Screen coordinates, for a reader that follows the text with a magnifier.
    QRect characterRect(int offset) const override {
        const QString shown = label()->text();
        if (offset < 0 || offset >= shown.size())
            return {};
        const QFontMetrics metrics(label()->font());
        const QRect line = QStyle::alignedRect(label()->layoutDirection(), label()->alignment(),
                                               {metrics.horizontalAdvance(shown), metrics.height()},
                                               label()->contentsRect());
        const QPoint topLeft(line.left() + metrics.horizontalAdvance(shown.left(offset)),
                             line.top());
        return {label()->mapToGlobal(topLeft),
                QSize(metrics.horizontalAdvance(shown.mid(offset, 1)), line.height())};
    }
    int offsetAtPoint(const QPoint &point) const override {
        for (int i = 0; i < characterCount(); ++i)
            if (characterRect(i).contains(point))
                return i;
        return -1;
    }

  private:
    KeyLabel *label() const { return static_cast<KeyLabel *>(widget()); }
    bool isDisplay() const { return label()->kind() == KeyLabel::Kind::display; }
};

// Asked for the most derived class first; a caption answers nothing here and gets
// Qt's own description of a label.
QAccessibleInterface *keyLabelAccessible(const QString &className, QObject *object) {
    auto *label = qobject_cast<KeyLabel *>(object);
    if (!label || label->kind() == KeyLabel::Kind::caption ||
        className != QLatin1String(KeyLabel::staticMetaObject.className()))
        return nullptr;
    return new KeyLabelAccessible(label);
}

} // namespace

QImage builtInImage(const QString &path) {
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

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
    m_drawnToSize = false;
    update();
    return true;
}

void PictureBox::paintEvent(QPaintEvent *) {
    const QSize shown = (QSizeF(size()) * devicePixelRatioF()).toSize();
    if (m_picture.isNull() || (m_drawnToSize && m_picture.size() != shown))
        m_picture = builtInPicture(shown);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), m_picture);
}

namespace {

// A built-in picture, decoded once for all the boxes that show it.
QPixmap sharedPicture(const QString &path) {
    QPixmap shared;
    if (!QPixmapCache::find(path, &shared)) {
        shared = QPixmap::fromImage(builtInImage(path));
        QPixmapCache::insert(path, shared);
    }
    return shared;
}

} // namespace

// The built-in pictures have twice the pixels a usual screen shows. Where a box shows one
// at half its size, the same picture made at that size (art/1x) is drawn as it is:
// decoding four times the pixels and scaling them down took most of the first frame.
// Otherwise an opaque one is kept as drawn at the size shown (the backdrop in 0.6 MB where
// its decode takes 2.4 MB), the same pixels the scaled drawing gave; one with transparency
// would round differently drawn twice, and stays whole, shared with its other boxes.
QPixmap PictureBox::builtInPicture(QSize shown) {
    const QString atScreenSize = QStringLiteral(":/art/1x/") + QFileInfo(m_builtIn).fileName();
    QImageReader atScreen(atScreenSize, "png");
    atScreen.setAutoDetectImageFormat(false); // else Qt loads its format plugins to ask them
    if (atScreen.size() == shown) {
        m_drawnToSize = true;
        return sharedPicture(atScreenSize);
    }
    QImageReader reader(m_builtIn, "png");
    reader.setAutoDetectImageFormat(false);
    m_drawnToSize =
        QImage::toPixelFormat(reader.imageFormat()).alphaUsage() == QPixelFormat::IgnoresAlpha;
    if (!m_drawnToSize)
        return sharedPicture(m_builtIn);
    // Not through the pixmap cache: it would keep the whole picture.
    const QPixmap whole = QPixmap::fromImage(reader.read());
    if (whole.isNull())
        return whole;
    QPixmap drawn(shown);
    drawn.setDevicePixelRatio(devicePixelRatioF());
    QPainter painter(&drawn);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), whole);
    return drawn;
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

KeyLabel::KeyLabel(QWidget *parent, Kind kind) : QLabel(parent), m_kind(kind) {
    static const bool described = [] {
        QAccessible::installFactory(keyLabelAccessible);
        return true;
    }();
    Q_UNUSED(described);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

bool KeyLabel::pressable() const {
    return isSignalConnected(QMetaMethod::fromSignal(&KeyLabel::clicked));
}

void KeyLabel::setDisplayText(const QString &shown) {
    const QString before = text();
    if (shown == before)
        return;
    setText(shown);
    QAccessibleTextUpdateEvent changed(this, 0, before, shown);
    QAccessible::updateAccessibility(&changed);
}

void KeyLabel::click() {
    Q_EMIT clicked();
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

KeyCode entryKeyCode(const QKeyEvent &e) {
    switch (e.key()) {
    case Qt::Key_PageUp:
        return KeyCode::pageUp;
    case Qt::Key_PageDown:
        return KeyCode::pageDown;
    case Qt::Key_End:
        return KeyCode::end;
    case Qt::Key_Delete:
        return KeyCode::del;
    default:
        return KeyCode::other;
    }
}

int typedCharacter(const QKeyEvent &e) {
    const QString text = e.text();
    if (text.isEmpty() || text.at(0) == QChar(0x7f))
        return -1;
    return text.at(0).unicode();
}

EntryBox::EntryBox(QWidget *parent) : QLineEdit(parent) {
    setAttribute(Qt::WA_InputMethodEnabled, false); // a calculator needs none
    // An entry becomes a row of the tape: no longer than a tape's row may be.
    setMaxLength(static_cast<int>(longestTapeRow));
}

QVariant EntryBox::inputMethodQuery(Qt::InputMethodQuery query) const {
    return withoutInputMethod(query, QLineEdit::inputMethodQuery(query));
}

void EntryBox::keyPressEvent(QKeyEvent *e) {
    if (keyDown)
        keyDown(entryKeyCode(*e));
    const int code = typedCharacter(*e);
    if (code >= 0 && character && character(code) == 0) {
        e->accept(); // swallowed: the box does nothing with it
        return;
    }
    // Shift+Insert; Ctrl+V carries a control character, swallowed above.
    if (e->matches(QKeySequence::Paste)) {
        pasteChecked(QGuiApplication::clipboard()->text());
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void EntryBox::inputMethodEvent(QInputMethodEvent *e) {
    for (const char32_t c : e->commitString().toStdU32String()) {
        const int code = static_cast<int>(asciiFromFullWidth(c));
        const int through = character ? character(code) : code;
        if (through == backspaceCode) {
            backspace();
        } else if (through != 0) {
            const auto passed = static_cast<char32_t>(through);
            insert(QString::fromUcs4(&passed, 1));
        }
    }
    e->accept();
}

void EntryBox::contextMenuEvent(QContextMenuEvent *e) {
    QMenu *menu = createStandardContextMenu();
    withoutControlCharacters(menu);
    // The paste item, known by the caption the line edit gives it in every language.
    for (QAction *action : menu->actions()) {
        if (action->text().section(u'\t', 0, 0) != QLineEdit::tr("&Paste"))
            continue;
        action->disconnect(this);
        connect(action, &QAction::triggered, this,
                [this] { pasteChecked(QGuiApplication::clipboard()->text()); });
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
}

void EntryBox::mouseReleaseEvent(QMouseEvent *e) {
    // X11 pastes its selection with the middle button, at the place the press put the caret.
    if (e->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        deselect();
        pasteChecked(QGuiApplication::clipboard()->text(QClipboard::Selection));
        e->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(e);
}

void EntryBox::dragMoveEvent(QDragMoveEvent *e) {
    QLineEdit::dragMoveEvent(e); // puts the caret at the drop place
    if (!checkedPaste(e->mimeData()->text()))
        e->ignore();
}

void EntryBox::dropEvent(QDropEvent *e) {
    setCursorPosition(cursorPositionAt(e->position().toPoint()));
    // The box drops what it is handed; without text it takes nothing.
    QMimeData checked;
    if (const auto passed = checkedPaste(e->mimeData()->text()))
        checked.setText(*passed);
    QDropEvent drop(e->position(), e->possibleActions(), &checked, e->buttons(), e->modifiers());
    QLineEdit::dropEvent(&drop);
    if (drop.isAccepted())
        e->acceptProposedAction();
    else
        e->ignore();
}

std::optional<QString> EntryBox::checkedPaste(const QString &pasted) const {
    const QString entry = text();
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const int end = hasSelectedText() ? selectionEnd() : start;
    const auto passed = pastedIntoEntry(entry.left(start).toStdString(), pasted.toStdU32String(),
                                        entry.mid(end).toStdString());
    if (!passed)
        return std::nullopt;
    QString inserted = QString::fromStdString(*passed);
    // Refused whole rather than cut to the room left, which would make another number.
    if (entry.size() - (end - start) + inserted.size() > maxLength())
        return std::nullopt;
    return inserted;
}

void EntryBox::pasteChecked(const QString &pasted) {
    if (const auto passed = checkedPaste(pasted))
        insert(*passed);
}

TapeView::TapeView(QWidget *parent) : QPlainTextEdit(parent) {
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

QVariant TapeView::inputMethodQuery(Qt::InputMethodQuery query) const {
    return withoutInputMethod(query, QPlainTextEdit::inputMethodQuery(query));
}

void TapeView::keyPressEvent(QKeyEvent *e) {
    // Every key that removes text, with or without Ctrl, and the cut shortcuts (Shift+Delete
    // among them), which remove only a selection.
    const bool cut = e->matches(QKeySequence::Cut);
    const bool backward = !cut && e->key() == Qt::Key_Backspace;
    const bool removes = cut ? textCursor().hasSelection() : backward || e->key() == Qt::Key_Delete;
    if (removes && !isReadOnly() && !removalTakes(backward)) {
        e->accept();
        return;
    }
    const int code = typedCharacter(*e);
    if (code < 0 || !filter) {
        QPlainTextEdit::keyPressEvent(e);
        return;
    }
    const int passed = filter(code);
    if (passed == 0 || (passed != backspaceCode && !rowTakes(1))) {
        e->accept();
    } else if (passed != code) {
        insertPlainText(QString(QChar(passed)));
        e->accept();
    } else {
        QPlainTextEdit::keyPressEvent(e);
    }
}

void TapeView::inputMethodEvent(QInputMethodEvent *e) {
    insertFiltered(e->commitString());
    e->accept();
}

void TapeView::contextMenuEvent(QContextMenuEvent *e) {
    QMenu *menu = createStandardContextMenu(e->pos());
    withoutControlCharacters(menu);
    // Cut and Delete remove the selection: not where that would join rows past the bound.
    const bool removable = !textCursor().hasSelection() || removalTakes(false);
    for (QAction *action : menu->actions())
        if (action->objectName() == QLatin1String("edit-cut") ||
            action->objectName() == QLatin1String("edit-delete"))
            action->setEnabled(action->isEnabled() && removable);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(e->globalPos());
}

// Paste, middle-click and drop all come here.
void TapeView::insertFromMimeData(const QMimeData *source) {
    insertFiltered(source->text());
}

void TapeView::insertFiltered(const QString &text) {
    QString passed;
    for (const char32_t c : text.toStdU32String()) {
        const int code = static_cast<int>(asciiFromFullWidth(c));
        const auto through = static_cast<char32_t>(filter ? filter(code) : code);
        if (through != 0 && through != backspaceCode) // text carries no key strokes
            passed += QString::fromUcs4(&through, 1);
    }
    if (rowTakes(passed.size()))
        insertPlainText(passed);
}

// A move inside the view removes the dragged selection: one that would join rows past the
// bound is copied instead.
void TapeView::dropEvent(QDropEvent *e) {
    if (e->source() == viewport() && e->dropAction() == Qt::MoveAction && !removalTakes(false))
        e->setDropAction(Qt::CopyAction);
    QPlainTextEdit::dropEvent(e);
}

bool TapeView::removalTakes(bool backward) const {
    const QTextCursor caret = textCursor();
    if (caret.hasSelection())
        return rowTakes(0);
    const QTextBlock row = caret.block();
    const QTextBlock other = backward ? row.previous() : row.next();
    if (!other.isValid() || !(backward ? caret.atBlockStart() : caret.atBlockEnd()))
        return true; // the key stays within the row
    if (row.length() - 1 + other.length() - 1 <= qsizetype(longestTapeRow))
        return true;
    if (rowFull)
        rowFull();
    return false;
}

bool TapeView::rowTakes(qsizetype added) const {
    // The row keeps what stands before the selection on its first row and after it on its
    // last; the filtered text brings no line end.
    const QTextCursor caret = textCursor();
    QTextCursor start(document());
    start.setPosition(caret.selectionStart());
    QTextCursor end(document());
    end.setPosition(caret.selectionEnd());
    const qsizetype after = end.block().length() - 1 - end.positionInBlock();
    if (start.positionInBlock() + added + after <= qsizetype(longestTapeRow))
        return true;
    if (rowFull)
        rowFull();
    return false;
}

namespace {

bool allDigits(QStringView text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}
// The value of `least` to `most` ASCII digits (at most nine), or -1.
int digitsValue(QStringView digits, qsizetype least, qsizetype most) {
    return digits.size() >= least && digits.size() <= most && allDigits(digits) ? digits.toInt()
                                                                                : -1;
}

} // namespace

namespace {

// A byte of a name that UTF-8 does not take, as the store keeps it: a lone surrogate.
bool isNameByte(const QString &name, qsizetype at) {
    const char16_t unit = name.at(at).unicode();
    return unit >= 0xDC80 && unit <= 0xDCFF && (at == 0 || !name.at(at - 1).isHighSurrogate());
}

bool hasNameBytes(const QString &name) {
    for (qsizetype at = 0; at < name.size(); ++at)
        if (isNameByte(name, at))
            return true;
    return false;
}

} // namespace

QString readableFileName(const QString &fileName) {
    if (!hasNameBytes(fileName))
        return fileName;
    QString text;
    for (qsizetype at = 0; at < fileName.size(); ++at)
        text += isNameByte(fileName, at)
                    ? QStringLiteral("\\x") +
                          QString::number(fileName.at(at).unicode() - 0xDC00, 16).toUpper()
                    : QString(fileName.at(at));
    return text;
}

// Taken apart by hand: a regular expression would load the library for it into every
// start of the program that lists a tape.
QString shownFileName(const QString &fileName) {
    if (!isTapeFileName(fileName))
        return readableFileName(fileName);
    QStringView stem = QStringView(fileName).chopped(4); // "yyyyMMdd$h$mm$ss" and "-n"
    QStringView copy;                                    // "-2", "-3", … or nothing
    if (const qsizetype dash = stem.indexOf(u'-'); dash >= 0) {
        copy = stem.mid(dash);
        stem = stem.left(dash);
    }
    const QList<QStringView> parts = stem.split(u'$');
    if (parts.size() != 4)
        return readableFileName(fileName);
    const int day = digitsValue(parts[0], 8, 8);
    const QDate date(day / 10000, day / 100 % 100, day % 100);
    const QTime time(digitsValue(parts[1], 1, 2), digitsValue(parts[2], 2, 2),
                     digitsValue(parts[3], 2, 2));
    const int n = copy.isEmpty() ? 1 : digitsValue(copy.mid(1), 1, 9);
    // Only a name the program makes: another spelling of the same moment ("09" for "9",
    // ".QTZ", "-02") is a file of its own and shows as its name.
    if (day < 0 || !date.isValid() || !time.isValid() || n < 1 ||
        numberedName(tapeFileName(QDateTime(date, time, QTimeZone::utc())), n, u'-') != fileName)
        return readableFileName(fileName);
    return date.toString(Qt::ISODate) + QChar(QChar::LineSeparator) + time.toString(Qt::ISODate) +
           copy.toString();
}

namespace {

class FileNameDelegate : public QStyledItemDelegate {
  public:
    explicit FileNameDelegate(FileList *list) : QStyledItemDelegate(list), m_list(list) {}
    QString displayText(const QVariant &value, const QLocale &) const override {
        return m_list->shownText(value.toString());
    }
    bool helpEvent(QHelpEvent *e, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override {
        if (e->type() != QEvent::ToolTip || !index.isValid())
            return QStyledItemDelegate::helpEvent(e, view, option, index);
        QToolTip::showText(e->globalPos(), readableFileName(index.data().toString()), view,
                           option.rect);
        return true;
    }

  private:
    FileList *m_list;
};

} // namespace

void FileList::showNames(const QStringList &names) {
    clear();
    m_shown.clear();
    // A name the program made shows as its moment, any other as itself: no two read alike
    // (no name ends as a moment does). A name with bytes that are not UTF-8 can read like
    // another, and gives way. The other texts are made as their rows are painted.
    QStringList withBytes;
    for (const QString &name : names)
        if (hasNameBytes(name))
            withBytes << name;
    if (!withBytes.isEmpty()) {
        QSet<QString> taken(names.begin(), names.end());
        for (const QString &name : withBytes) {
            const QString readable = readableFileName(name);
            QString text = readable;
            for (int n = 2; taken.contains(text); ++n)
                text = readable + QStringLiteral(" (%1)").arg(n);
            taken.insert(text);
            m_shown.insert(name, text);
        }
    }
    addItems(names);
}

QString FileList::shownText(const QString &name) const {
    return m_shown.value(name, shownFileName(name));
}

FileList::FileList(QWidget *parent) : QListWidget(parent) {
    setItemDelegate(new FileNameDelegate(this));
}

} // namespace tapecalc
