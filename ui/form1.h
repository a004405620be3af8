// The calculator's one window: a borderless, always-on-top picture skin built from the
// surface and key tables, forwarding every click and key to the calculator and showing
// its state.
#pragma once

#include "core/calculator.h"
#include "core/requests.h"
#include "store/folders.h"
#include "store/journal.h"
#include "ui/controls.h"
#include "ui/keytable.h"
#include "ui/messages.h"
#include "ui/platform.h"

#include <QWidget>

class QFrame;
class QListWidget;

namespace tapecalc {

class Form1 : public QWidget {
    Q_OBJECT

  public:
    Form1(Platform &platform, const QString &programFolder, QWidget *parent = nullptr);
    // The program ends normally: the journal of the tape goes, unless the desktop
    // session is ending (then the next start recovers the tape).
    ~Form1() override;

    const Calculator &calculator() const { return m_calc; }
    QString dataFolder() const;

  Q_SIGNALS:
    // The window is on the screen and the start's work that waits for it is done:
    // temporaries of cut-off saves removed, the tapes of ended copies' journals recovered
    // and named.
    void started();

  protected:
    void showEvent(QShowEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

  private:
    // Hands the calculator's requests to the platform, with full cue paths. The window
    // shows the state before a blocking cue holds it, so a key's result is seen at once.
    class Requester : public Requests {
      public:
        Requester(Form1 &form, Platform &platform, QString soundFolder);
        void playCue(std::string_view file) override;
        void playCueBlocking(std::string_view file) override;
        void showMessage(Message message) override;
        void endProgram() override;

      private:
        QString cuePath(std::string_view file) const;
        Form1 &m_form;
        Platform &m_platform;
        QString m_soundFolder;
    };

    // Sees the first expose of the window, which paints it, and calls afterFirstFrame()
    // right after.
    class FirstExposeWatch : public QObject {
      public:
        explicit FirstExposeWatch(Form1 *form) : QObject(form), m_form(form) {}
        bool eventFilter(QObject *watched, QEvent *e) override;

      private:
        Form1 *m_form;
    };
    void afterFirstFrame();

    void buildSurface();
    // A control of the surface or a key, as a row of their tables gives it.
    QWidget *addElement(const char *name, Element element, const char *content, double points,
                        Rect rect);
    void buildKeys();
    void applyStackingOrder();
    void connectSurface();
    void connectEntryBox();

    // Every action runs between these two: the entry box's text goes in, every display
    // comes back out.
    void takeEntry();
    void showState();
    void showTapeView();
    void applyPanel();

    void keyClicked(const KeySpec &key);
    void keyFeedback(const KeySpec &key, bool pressed);
    void openHelpPage();
    void toggleHelpPanel();
    void saveClicked();
    void deleteClicked();
    void endProgram();
    void printClicked();
    void reportPrinted(const PrintResult &result);
    void openTape(const QString &name);
    void journalTypedCorrection(int position, int removed, int added);
    // Says what an action came to, as ui/messages.h has it.
    void tell(const Said &said);
    void refreshFileList();
    QString selectedFileName() const;

    Platform &m_platform;
    Folders m_folders;
    Requester m_requests;
    Calculator m_calc;

    EntryBox *m_text1 = nullptr;
    TapeView *m_text2 = nullptr;
    KeyLabel *m_label1 = nullptr;
    KeyLabel *m_label2 = nullptr;
    KeyLabel *m_label9 = nullptr;
    PictureBox *m_image3 = nullptr;
    PictureBox *m_image14 = nullptr;
    QFrame *m_shape1 = nullptr;
    QListWidget *m_file1 = nullptr;

    // What the tape view shows, so a new tape text that only extends it is appended.
    unsigned long m_tapeWrites = 0;
    bool m_tapeEdited = false;
    bool m_updatingTape = false;
    TapeJournal m_journal;
    bool m_printing = false;       // a print is not decided yet
    bool m_endWhenPrinted = false; // the program ends once that print is decided
    bool m_openingTape = false;    // the view about to be shown is a file's content
    bool m_sessionEnding = false;
    FirstExposeWatch *m_firstExpose = nullptr; // until the first frame is on the screen

    bool m_dragActive = false;
    QPointF m_dragStart;
};

} // namespace tapecalc
