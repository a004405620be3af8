// The window: its controls laid out from the surface and key tables, the wiring of
// clicks and keys to the calculator, dragging, help, the tape panel and tape files.
#include "ui/form1.h"

#include "core/entrykeys.h"
#include "core/panel.h"
#include "core/report.h"
#include "core/review.h"
#include "core/tapeformat.h"
#include "core/textgate.h"
#include "store/durablefile.h"
#include "store/tapefiles.h"
#include "ui/programfont.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QListWidget>
#include <QMouseEvent>
#include <QPalette>
#include <QPointer>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <utility>
#include <vector>

namespace tapecalc {

namespace {

// 15 units of 1/1440 inch to a device-independent pixel.
int px(int units) {
    return qRound(units / 15.0);
}
QRect pixels(Rect r) {
    return {px(r.left), px(r.top), px(r.width), px(r.height)};
}

QString text(const std::string &utf8) {
    return QString::fromStdString(utf8);
}

// Characters on which a text document starts a new paragraph besides the line ends: its
// own paragraph separator and the two marks it keeps for frames.
bool breaksParagraph(QChar c) {
    return c == QChar::ParagraphSeparator || c == QChar(0xFDD0) || c == QChar(0xFDD1);
}

// The tape text as the text box holds it, in one pass: each CR LF as one LF, and a
// paragraph break inside a row (a file from elsewhere) as a line break, which the text box
// shows the same and lays out in a moment where a million paragraphs take it seconds.
// (Qt 6.4's replace() works through a string in rounds of a thousand matches, moving the
// rest of it each round: a tenth of a second and more per key on a tape of many megabytes.)
QString viewText(const std::string &tape) {
    QString lines = text(tape);
    QChar *out = lines.data();
    const QChar *const end = out + lines.size();
    const QChar *in = out;
    for (; in != end; ++in)
        if (*in != QLatin1Char('\r') || in + 1 == end || in[1] != QLatin1Char('\n'))
            *out++ = breaksParagraph(*in) ? QChar(QChar::LineSeparator) : *in;
    lines.truncate(out - lines.constData());
    return lines;
}

// The tape view's text, every character as it is (toPlainText() would make each
// no-break space a space), its rows ending in LF.
QString viewContent(const QPlainTextEdit *view) {
    QString content = view->document()->toRawText();
    std::replace(content.begin(), content.end(), QChar(QChar::ParagraphSeparator),
                 QChar(QLatin1Char('\n')));
    return content;
}

} // namespace

Form1::Requester::Requester(Form1 &form, Platform &platform, QString soundFolder)
    : m_form(form), m_platform(platform), m_soundFolder(std::move(soundFolder)) {}

QString Form1::Requester::cuePath(std::string_view file) const {
    if (file.empty())
        return {};
    return m_soundFolder + QString::fromUtf8(file.data(), static_cast<qsizetype>(file.size()));
}

void Form1::Requester::playCue(std::string_view file) {
    m_platform.playCue(cuePath(file));
}
void Form1::Requester::playCueBlocking(std::string_view file) {
    m_form.showState();
    m_platform.playCueBlocking(cuePath(file));
}
void Form1::Requester::showMessage(Message message) {
    m_form.tell(said(message));
}
void Form1::Requester::endProgram() {
    m_form.endProgram();
}

Form1::Form1(Platform &platform, const QString &programFolder, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_platform(platform), m_folders(findFolders(programFolder)),
      m_requests(*this, platform, m_folders.sound + '/'), m_journal(m_folders.data) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(programTitle);
    // What the first frame does not need waits until it is on the screen.
    m_firstExpose = new FirstExposeWatch(this);
    m_journal.onHealthChange([this](TapeJournal::Health health) { tell(said(health)); });
#if QT_CONFIG(sessionmanager)
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { m_sessionEnding = true; });
#endif

    buildSurface();
    buildKeys();
    applyStackingOrder();
    connectSurface();
    connectEntryBox();

    move(0, 0);
    refreshFileList();
    showState();
    m_text1->setFocus();
}

void Form1::showEvent(QShowEvent *e) {
    QWidget::showEvent(e);
    if (m_firstExpose && windowHandle())
        windowHandle()->installEventFilter(m_firstExpose);
}

bool Form1::FirstExposeWatch::eventFilter(QObject *watched, QEvent *e) {
    auto *window = qobject_cast<QWindow *>(watched);
    if (e->type() == QEvent::Expose && window && window->isExposed()) {
        window->removeEventFilter(this);
        // The first text is drawn in this frame.
        registerProgramFont();
        // The window paints while it handles this event; the rest runs right after.
        QTimer::singleShot(0, m_form, &Form1::afterFirstFrame);
    }
    return false;
}

void Form1::afterFirstFrame() {
    if (!m_firstExpose)
        return;
    delete m_firstExpose;
    m_firstExpose = nullptr;
    // Before a tape, a file name or a message can show Chinese the window's face lacks.
    registerChineseFont();
    // The icon the window system shows for the window: seven pictures to decode.
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128})
        icon.addPixmap(
            QPixmap::fromImage(builtInImage(QStringLiteral(":/icons/tapecalc-%1.png").arg(size))));
    setWindowIcon(icon);
    // A save that was cut off (the program killed mid-write) leaves its temporary file.
    removeLeftoverTemporaries(dataFolder());
    // A tape keyed by a copy that was killed, crashed or lost its session is saved now as a
    // tape file, and named in one message.
    const Recovery recovery = recoverJournals(dataFolder(), m_platform.now());
    if (!recovery.tapes.isEmpty())
        refreshFileList();
    Q_EMIT started();
    tell(said(recovery));
}

void Form1::tell(const Said &said) {
    switch (said.tell) {
    case Tell::nothing:
        return;
    case Tell::message:
        return m_platform.showMessage(said.words);
    case Tell::warning:
        return m_platform.showWarning(said.words);
    case Tell::notice:
        return m_platform.showNotice(said.words);
    }
}

Form1::~Form1() {
    // The tape view and its document are deleted after the journal, with the widgets.
    m_text2->document()->disconnect(this);
    if (!m_sessionEnding)
        m_journal.discard();
}

QString Form1::dataFolder() const {
    return m_folders.data;
}

QWidget *Form1::addElement(const char *name, Element element, const char *content, double points,
                           Rect rect) {
    const QString text = QString::fromUtf8(content);
    QWidget *added = nullptr;
    switch (element) {
    case Element::backdrop:
    case Element::picture:
        added = new PictureBox(text, element == Element::backdrop, this);
        break;
    case Element::caption:
    case Element::display:
    case Element::key: {
        auto *label = new KeyLabel(this, element == Element::display ? KeyLabel::Kind::display
                                         : element == Element::key   ? KeyLabel::Kind::key
                                                                     : KeyLabel::Kind::caption);
        label->setText(text);
        added = label;
        break;
    }
    case Element::entryBox:
        added = new EntryBox(this);
        break;
    case Element::frame: {
        auto *frame = new QFrame(this);
        frame->setFrameShape(QFrame::Box);
        frame->setAttribute(Qt::WA_TransparentForMouseEvents);
        added = frame;
        break;
    }
    case Element::tapeView: {
        auto *view = new TapeView(this);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        view->setLineWrapMode(QPlainTextEdit::NoWrap);
        added = view;
        break;
    }
    case Element::fileList:
        added = new FileList(this);
        break;
    }
    added->setObjectName(QString::fromLatin1(name));
    if (points > 0)
        added->setFont(programFont(points));
    added->setGeometry(pixels(rect));
    return added;
}

void Form1::buildSurface() {
    for (const SurfaceSpec &element : surfaceTable) {
        QWidget *added = addElement(element.name, element.element, element.content, element.points,
                                    element.placed ? m_calc.panel.*element.placed : element.rect);
        if (element.color) {
            // Through the palette: a style sheet would bring in Qt's style sheet engine
            // (a megabyte more of Qt Widgets and the regular expression library).
            QPalette palette = added->palette();
            palette.setColor(QPalette::WindowText, QColor(QLatin1String(element.color)));
            added->setPalette(palette);
        }
        if (element.accessibleName)
            added->setAccessibleName(QString::fromUtf8(element.accessibleName));
    }
    const auto part = [this](const char *name) {
        return findChild<QWidget *>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
    };
    m_image3 = static_cast<PictureBox *>(part("Image3"));
    m_image14 = static_cast<PictureBox *>(part("Image14"));
    m_label1 = static_cast<KeyLabel *>(part("Label1"));
    m_label2 = static_cast<KeyLabel *>(part("Label2"));
    m_label9 = static_cast<KeyLabel *>(part("Label9"));
    m_text1 = static_cast<EntryBox *>(part("Text1"));
    m_shape1 = static_cast<QFrame *>(part("Shape1"));
    m_text2 = static_cast<TapeView *>(part("Text2"));
    m_file1 = static_cast<QListWidget *>(part("File1"));
}

void Form1::connectSurface() {
    // The total as shown, for other programs.
    auto *copy = new QAction(QStringLiteral("复制"), m_label1);
    connect(copy, &QAction::triggered, this,
            [this] { QGuiApplication::clipboard()->setText(m_label1->text()); });
    m_label1->addAction(copy);
    m_label1->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(m_label2, &KeyLabel::clicked, this, [this] {
        takeEntry();
        cycleOperator(m_calc);
        showState();
    });
    connect(findChild<PictureBox *>(QStringLiteral("Image13")), &PictureBox::clicked, this,
            &Form1::openHelpPage);
    connect(m_image14, &PictureBox::clicked, this,
            [this] { m_image14->move(m_image14->x(), px(helpPanelTops.putAway)); });
    m_text2->filter = tapeViewKeyFilter;
    m_text2->rowFull = [this] { tell(rowFull()); };
    connect(m_text2, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_updatingTape)
            m_tapeEdited = true;
    });
    connect(m_text2->document(), &QTextDocument::contentsChange, this,
            &Form1::journalTypedCorrection);
    // A click and a double-click both open the tape.
    connect(m_file1, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { openTape(item->text()); });
    connect(m_file1, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { openTape(item->text()); });
}

void Form1::buildKeys() {
    for (const KeySpec &key : keyTable) {
        addElement(key.background, Element::picture, tilePicture(key.tile), 0, key.backgroundRect);
        auto *label = static_cast<KeyLabel *>(
            addElement(key.label, Element::key, key.caption, key.points, key.labelRect));
        label->setAccessibleName(QString::fromUtf8(key.accessibleName));
        connect(label, &KeyLabel::pressed, this, [this, &key] { keyFeedback(key, true); });
        connect(label, &KeyLabel::released, this, [this, &key] { keyFeedback(key, false); });
        connect(label, &KeyLabel::clicked, this, [this, &key] { keyClicked(key); });
    }
}

void Form1::applyStackingOrder() {
    // Raised from the back to the front by the layers of the two tables.
    std::vector<std::pair<int, const char *>> layers;
    for (const SurfaceSpec &element : surfaceTable)
        layers.emplace_back(element.layer, element.name);
    for (const KeySpec &key : keyTable) {
        layers.emplace_back(key.backgroundLayer, key.background);
        layers.emplace_back(key.labelLayer, key.label);
    }
    std::sort(layers.begin(), layers.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[layer, name] : layers)
        if (QWidget *w =
                findChild<QWidget *>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly))
            w->raise();
}

void Form1::takeEntry() {
    m_calc.shown.text1 = m_text1->text().toStdString();
}

void Form1::showState() {
    const Displays &shown = m_calc.shown;
    if (m_text1->text().toStdString() != shown.text1)
        m_text1->setText(text(shown.text1));
    m_label1->setDisplayText(text(shown.label1));
    m_label2->setDisplayText(text(shown.label2));
    m_label9->setDisplayText(text(shown.label9));
    showTapeView();
    applyPanel();
}

void Form1::showTapeView() {
    if (m_calc.shown.text2Writes == m_tapeWrites)
        return;
    m_tapeWrites = m_calc.shown.text2Writes;
    const QString tape = viewText(m_calc.shown.text2);

    m_updatingTape = true;
    // In the journal before it is on the screen. The journal follows the view's text, so
    // it tells where the new tape departs from it.
    const qsizetype changedFrom = m_journal.follow(tape, m_openingTape);
    // The tape mostly grows at its end or changes its last rows: rewrite only the part
    // after what the view already shows, so a full tape stays quick to update. A view
    // corrected by hand is written whole.
    const qsizetype common = m_tapeEdited ? 0 : changedFrom;
    if (common == 0) {
        m_text2->setPlainText(tape);
    } else {
        QTextCursor cursor(m_text2->document());
        cursor.setPosition(static_cast<int>(common));
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.insertText(tape.mid(common));
    }
    m_tapeEdited = false;
    m_updatingTape = false;
    m_text2->verticalScrollBar()->setValue(m_text2->verticalScrollBar()->maximum());
}

void Form1::applyPanel() {
    const PanelState &p = m_calc.panel;
    m_text1->setGeometry(pixels(p.text1));
    m_label1->setGeometry(pixels(p.label1));
    m_label2->setGeometry(pixels(p.label2));
    m_image3->setGeometry(pixels(p.image3));
    m_shape1->setGeometry(pixels(p.shape1));
    m_label1->setVisible(p.label1Visible);
    m_label2->setVisible(p.label2Visible);
    m_image3->setVisible(p.image3Visible);
    // Fixed, not only resized: the window manager is told the smallest and the largest
    // size are this one, so maximizing, tiling or a drag on an edge cannot stretch the skin.
    const QSize size(px(p.windowWidth), px(p.windowHeight));
    if (this->size() != size || minimumSize() != size || maximumSize() != size)
        setFixedSize(size);
}

void Form1::keyFeedback(const KeySpec &key, bool pressed) {
    const char *file = pressed ? pressedPicture(key.feedback) : releasedPicture(key.feedback);
    if (!file)
        return;
    if (auto *background = findChild<PictureBox *>(QString::fromLatin1(key.background)))
        background->load(QDir(m_folders.pictures).filePath(QString::fromLatin1(file)));
}

void Form1::connectEntryBox() {
    m_text1->keyDown = [this](KeyCode key) {
        takeEntry();
        entryKeyDown(m_calc, m_requests, key);
        showState();
    };
    m_text1->character = [this](int charCode) {
        takeEntry();
        const int through = entryCharacter(m_calc, m_requests, charCode);
        showState();
        return through;
    };
}

void Form1::keyClicked(const KeySpec &key) {
    takeEntry();
    if (!pressKey(m_calc, m_requests, key.action, key.argument)) {
        switch (key.action) {
        case KeyAction::expand:
            expandClicked(m_calc.panel);
            break;
        case KeyAction::help:
            toggleHelpPanel();
            break;
        case KeyAction::exit:
            endProgram();
            break;
        case KeyAction::save:
            saveClicked();
            break;
        case KeyAction::remove:
            deleteClicked();
            break;
        case KeyAction::print:
            printClicked();
            break;
        default:
            break;
        }
    }
    showState();
}

void Form1::openHelpPage() {
    const QString page = QDir(m_folders.help).filePath(QStringLiteral("index.html"));
    // Without a browser the click would show nothing: the user learns where the page is.
    const QPointer<Form1> self(this);
    m_platform.openUrlThen(QUrl::fromLocalFile(page), [self, page](bool opened) {
        if (!opened && self)
            self->tell(noBrowser(page));
    });
}

void Form1::toggleHelpPanel() {
    const bool shown = m_image14->y() == px(helpPanelTops.shown);
    const int top = shown ? helpPanelTops.putAway : helpPanelTops.shown;
    m_image14->move(m_image14->x(), px(top));
}

void Form1::saveClicked() {
    // Made here: the per-user folder only when a tape is first saved, and any folder that
    // was removed while the program ran.
    durable::makeFolders(dataFolder());
    const QString view = viewContent(m_text2);
    const SaveOutcome outcome = saveTape(m_calc, dataFolder(), m_platform.now(), view, true);
    if (tapeWritten(outcome)) {
        // The file holds the view on the screen, whole: the journal is told it is kept only
        // once it holds that very view.
        if (m_journal.view() != view)
            m_journal.follow(view);
        m_journal.kept();
    }
    // A new file is listed; a save back changes no name.
    if (tapeWritten(outcome) && outcome != SaveOutcome::savedBack)
        refreshFileList();
    tell(said(outcome, QFileInfo(QString::fromStdString(m_calc.currentTapeFile)).fileName()));
}

QString Form1::selectedFileName() const {
    // Only a name the user selected: the list marks a row current, unselected, when it
    // takes the focus, and that row must never be deleted.
    const QList<QListWidgetItem *> selected = m_file1->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void Form1::deleteClicked() {
    // Without a tape that has a file, the key is inert.
    if (m_calc.currentTapeFile.empty())
        return;
    const QString name = selectedFileName();
    const DeleteOutcome outcome = deleteTape(dataFolder(), name, m_platform.now(), [this, &name] {
        return m_platform.confirmDeleteForGood(name);
    });
    if (clearsTheTape(outcome))
        tapeDeleted(m_calc, m_requests);
    if (outcome != DeleteOutcome::declined)
        refreshFileList();
    tell(said(outcome, name));
}

// Every way the program ends comes here: 退出, Esc, the window closed, the session ending
// (its window closed too). A print not decided yet is waited for, a notice saying so, and
// the program ends once it is: a report that did not reach paper is kept as a PDF and said
// where first. The wait is bounded: a print is decided within printDecidedWithinMs.
void Form1::endProgram() {
    if (!m_printing)
        return m_platform.endProgram();
    if (std::exchange(m_endWhenPrinted, true))
        return;
    tell(endsOncePrinted());
}

void Form1::closeEvent(QCloseEvent *e) {
    if (!m_printing)
        return QWidget::closeEvent(e); // and the program ends with its last window
    e->ignore();
    endProgram();
}

void Form1::printClicked() {
    // One print at a time: 打印 again before the last one is decided (a few seconds at
    // most) does nothing.
    if (m_printing)
        return;
    const QDateTime now = m_platform.now();
    const std::string moment = now.toString(QStringLiteral("yyyy/M/d H:mm:ss")).toStdString();
    // A report that does not reach paper is kept as a PDF beside the tapes, named like them.
    const QString pdfName =
        QFileInfo(tapeFileName(now)).completeBaseName() + QStringLiteral(".pdf");
    m_printing = true;
    const QPointer<Form1> self(this);
    m_platform.printReportThen(reportLines(m_calc, moment), dataFolder(), pdfName,
                               [self](const PrintResult &result) {
                                   if (self)
                                       self->reportPrinted(result);
                               });
}

void Form1::reportPrinted(const PrintResult &result) {
    if (!result.late)
        m_printing = false;
    tell(said(result.outcome, result.pdf, result.late));
    if (m_endWhenPrinted && !m_printing)
        m_platform.endProgram();
}

void Form1::openTape(const QString &name) {
    takeEntry();
    Opened opened;
    // Whatever a file holds, the tape on screen is never lost to it.
    try {
        opened = openSelectedTape(m_calc, dataFolder(), name);
    } catch (const std::exception &) {
        opened.outcome = OpenOutcome::unreadable;
    }
    m_openingTape = opened.outcome == OpenOutcome::opened && !m_calc.currentTapeFile.empty();
    showState();
    if (m_openingTape)
        m_journal.kept(); // the same content opened again: no change was journaled
    m_openingTape = false;
    tell(said(opened.outcome, name, opened.linesLeftOut));
}

void Form1::journalTypedCorrection(int position, int removed, int added) {
    if (m_updatingTape)
        return; // the calculator's own changes reach the journal in showTapeView
    QTextDocument *document = m_text2->document();
    const int end = position + added;
    bool fits = end <= document->characterCount() - 1;
    if (fits) {
        QTextCursor cursor(document);
        cursor.setPosition(position);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        QString inserted = cursor.selectedText();
        inserted.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        fits = m_journal.edited(position, removed, inserted) &&
               m_journal.view().size() == document->characterCount() - 1;
    }
    // A change the document reported in a way that does not add up: the whole view.
    if (!fits)
        m_journal.follow(viewContent(m_text2));
}

void Form1::refreshFileList() {
    // The selected name stays selected and a merely current one stays merely current.
    const QString selected = selectedFileName();
    const QListWidgetItem *current = m_file1->currentItem();
    const QString currentName = current ? current->text() : QString();
    static_cast<FileList *>(m_file1)->showNames(fileNamesIn(dataFolder(), isTapeFileName));
    const auto again = m_file1->findItems(currentName, Qt::MatchExactly);
    if (!currentName.isEmpty() && !again.isEmpty())
        m_file1->setCurrentItem(again.first(), QItemSelectionModel::NoUpdate);
    const auto reselect = m_file1->findItems(selected, Qt::MatchExactly);
    if (!selected.isEmpty() && !reselect.isEmpty())
        reselect.first()->setSelected(true);
}

void Form1::mousePressEvent(QMouseEvent *e) {
    // The window system moves the window where it can (Wayland, and X11 window managers,
    // some of which, like weston's for XWayland, ignore a program placing its own
    // window); it keeps the grabbed point under the pointer. Elsewhere the window
    // follows the pointer itself.
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_dragActive = true;
    m_dragStart = e->position();
}

void Form1::mouseMoveEvent(QMouseEvent *e) {
    if (!m_dragActive)
        return;
    // Positions are relative to the window, which moved with the last step: the grabbed
    // point stays under the pointer.
    move(pos() + (e->position() - m_dragStart).toPoint());
}

void Form1::mouseReleaseEvent(QMouseEvent *) {
    m_dragActive = false;
}

void Form1::mouseDoubleClickEvent(QMouseEvent *) {
    takeEntry();
    windowDoubleClicked(m_calc.panel);
    showState();
}

} // namespace tapecalc
