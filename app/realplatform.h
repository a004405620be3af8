// The platform services of a running calculator: the system's sound output for the cues,
// the report printer, the user's browser, a message box, the system clock.
#pragma once

#include "audio/cueplayer.h"
#include "ui/platform.h"

#include <QPointer>

class QMessageBox;
class QWidget;

namespace tapecalc {

class RealPlatform : public Platform {
  public:
    RealPlatform();
    // Message boxes are shown over this window.
    void setWindow(QWidget *window) { m_window = window; }
    // Opens the sound output without waiting for it, so that the first cue is not late;
    // where the output is a module (tapecalc-sound), loads it. Until then, or the first
    // cue, no sound library is loaded.
    void warmUpSound() { m_player.warmUp(); }

    void playCue(const QString &path) override;
    void playCueBlocking(const QString &path) override;
    QDateTime now() const override;
    void openUrl(const QUrl &url) override;
    void openUrlThen(const QUrl &url, std::function<void(bool opened)> opened) override;
    void showMessage(const QString &text) override;
    void showWarning(const QString &text) override;
    void showNotice(const QString &text) override;
    void printReportThen(const std::vector<ReportLine> &lines, const QString &pdfFolder,
                         const QString &pdfName,
                         std::function<void(const PrintResult &)> done) override;
    void endProgram() override;
    bool confirmDeleteForGood(const QString &name) override;

  private:
    CuePlayer m_player;
    QWidget *m_window = nullptr;
    QPointer<QMessageBox> m_notice; // the notice shown, until it is closed
};

} // namespace tapecalc
