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
    switch (message) {
    case Message::squareRootOfNegative:
        return m_platform.showMessage(QStringLiteral("负数不能开平方"));
    case Message::logarithmOfZero:
        return m_platform.showMessage(QStringLiteral("0不能求对数"));
    case Message::logarithmOfNegative:
        return m_platform.showMessage(QStringLiteral("负数不能求对数"));
    case Message::tapeFull:
        return m_platform.showWarning(QStringLiteral("纸带已满（30001 行），请保存后清零"));
    }
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
    m_journal.onHealthChange([this](TapeJournal::Health health) { tellJournalHealth(health); });
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
    tellRecovery(recovery);
}

namespace {

// "a、b、c", or the first ten and the count of all.
QString nameList(const QStringList &names) {
    constexpr qsizetype shown = 10;
    if (names.size() <= shown)
        return names.join(QStringLiteral("、"));
    return names.mid(0, shown).join(QStringLiteral("、")) +
           QStringLiteral(" 等 %1 个").arg(names.size());
}

} // namespace

void Form1::tellRecovery(const Recovery &recovery) {
    // One message for the whole start, however many copies ended without saving.
    QStringList lines;
    if (!recovery.tapes.isEmpty())
        lines << QStringLiteral("上次未保存的纸带已恢复为：") + nameList(recovery.tapes);
    if (!recovery.left.isEmpty())
        lines << QStringLiteral("数据文件夹中有无法读取的纸带记录，已原样留下：") +
                     nameList(recovery.left);
    if (!recovery.tooLarge.isEmpty())
        lines << QStringLiteral("上次未保存的纸带太大，无法存为纸带文件，纸带记录已原样留下：") +
                     nameList(recovery.tooLarge);
    if (!recovery.rowTooLong.isEmpty())
        lines << QStringLiteral(
                     "上次未保存的纸带中有的行太长，无法存为纸带文件，纸带记录已原样留下：") +
                     nameList(recovery.rowTooLong);
    if (lines.isEmpty())
        return;
    if (recovery.left.isEmpty() && recovery.tooLarge.isEmpty() && recovery.rowTooLong.isEmpty())
        m_platform.showMessage(lines.join(QLatin1Char('\n')));
    else
        m_platform.showWarning(lines.join(QLatin1Char('\n')));
}

void Form1::tellJournalHealth(TapeJournal::Health health) {
    switch (health) {
    case TapeJournal::Health::keepsUp:
        return m_platform.showNotice(QStringLiteral("未保存的纸带又能自动保留了"));
    case TapeJournal::Health::diskFull:
        return m_platform.showNotice(QStringLiteral("磁盘已满，未保存的纸带无法自动保留"));
    case TapeJournal::Health::cannotWrite:
        return m_platform.showNotice(
            QStringLiteral("数据文件夹无法写入，未保存的纸带无法自动保留"));
    case TapeJournal::Health::tooLong:
        return m_platform.showNotice(QStringLiteral("纸带太长，未保存的纸带无法自动保留"));
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
    m_text2->rowFull = [this] {
        m_platform.showNotice(
            QStringLiteral("纸带每行最多 %1 个字符，这一行不能再长了").arg(longestTapeRow));
    };
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
            self->m_platform.showMessage(QStringLiteral("没有找到浏览器。帮助网页在：") +
                                         QDir::toNativeSeparators(page));
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
    const bool written = outcome != SaveOutcome::failed &&
                         outcome != SaveOutcome::refusedTooLarge &&
                         outcome != SaveOutcome::refusedRowTooLong;
    if (written) {
        // The file holds the view on the screen, whole: the journal is told it is kept only
        // once it holds that very view.
        if (m_journal.view() != view)
            m_journal.follow(view);
        m_journal.kept();
    }
    const QString name = QFileInfo(QString::fromStdString(m_calc.currentTapeFile)).fileName();
    switch (outcome) {
    case SaveOutcome::savedBack:
        return;
    case SaveOutcome::savedNew:
        return refreshFileList();
    case SaveOutcome::savedNewFileChanged:
        refreshFileList();
        return m_platform.showWarning(QStringLiteral("文件已被其他程序修改，已另存为：") + name);
    case SaveOutcome::savedNewFileReadOnly:
        refreshFileList();
        return m_platform.showWarning(QStringLiteral("原文件不能写入，已另存为：") + name);
    case SaveOutcome::savedNewFilePartial:
        refreshFileList();
        return m_platform.showWarning(QStringLiteral("文件没有完整打开，已另存为：") + name);
    case SaveOutcome::failed:
        return m_platform.showWarning(QStringLiteral("保存失败"));
    // Such a file would not open again: the tape stays on the screen, unsaved.
    case SaveOutcome::refusedTooLarge:
        return m_platform.showWarning(
            QStringLiteral("纸带太大，无法保存：纸带文件最大 %1 MB，请删去一些行后再保存")
                .arg(largestTapeFile / (1024 * 1024)));
    case SaveOutcome::refusedRowTooLong:
        return m_platform.showWarning(
            QStringLiteral("纸带中有的行太长，无法保存：每行最多 %1 个字符").arg(longestTapeRow));
    }
}

QString Form1::selectedFileName() const {
    // Only a name the user selected: the list marks a row current, unselected, when it
    // takes the focus, and that row must never be deleted.
    const QList<QListWidgetItem *> selected = m_file1->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void Form1::deleteClicked() {
    const QString name = selectedFileName();
    const auto askFirst = [this, &name] { return m_platform.confirmDeleteForGood(name); };
    switch (deleteTape(m_calc, m_requests, dataFolder(), name, m_platform.now(), askFirst)) {
    case DeleteOutcome::nothing:
        return;
    case DeleteOutcome::deleted:
    case DeleteOutcome::removed:
    case DeleteOutcome::declined: // the answer was to keep it: nothing more to say
        return refreshFileList();
    case DeleteOutcome::failed:
        refreshFileList();
        return m_platform.showWarning(QStringLiteral("删除失败：") + name);
    }
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
    m_platform.showNotice(QStringLiteral("正在打印，有结果后自动退出"));
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
    if (result.outcome != PrintOutcome::printed)
        tellUnprinted(result);
    if (m_endWhenPrinted && !m_printing)
        m_platform.endProgram();
}

void Form1::tellUnprinted(const PrintResult &result) {
    const bool noPrinter = result.outcome == PrintOutcome::noPrinter;
    if (result.pdf.isEmpty()) {
        m_platform.showWarning(noPrinter ? QStringLiteral("没有找到打印机，也无法存为 PDF")
                                         : QStringLiteral("打印失败，也无法存为 PDF"));
        return;
    }
    const QString where = QDir::toNativeSeparators(result.pdf);
    if (noPrinter)
        m_platform.showMessage(QStringLiteral("没有找到打印机，已存为 PDF：") + where);
    else if (result.late) // the window has moved on: nothing to dismiss
        m_platform.showNotice(QStringLiteral("打印失败，已存为 PDF：") + where);
    else
        m_platform.showWarning(QStringLiteral("打印失败，已存为 PDF：") + where);
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
    switch (opened.outcome) {
    case OpenOutcome::opened:
        if (opened.linesLeftOut > 0)
            m_platform.showWarning(QStringLiteral("纸带最多 30001 行，文件中其余 %1 行没有打开")
                                       .arg(opened.linesLeftOut));
        return;
    case OpenOutcome::noName:
        return;
    case OpenOutcome::notATape:
        return m_platform.showWarning(QStringLiteral("不是纸带文件：") + name);
    case OpenOutcome::tooLarge:
        return m_platform.showWarning(QStringLiteral("文件太大，不是纸带文件：") + name);
    case OpenOutcome::rowTooLong:
        return m_platform.showWarning(QStringLiteral("文件中有的行太大，不是纸带文件：") + name);
    case OpenOutcome::unreadable:
        return m_platform.showWarning(QStringLiteral("无法读取文件：") + name);
    }
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
