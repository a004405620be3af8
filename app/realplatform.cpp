// The real platform services.
#include "app/realplatform.h"

#include "app/desktop.h"
#include "app/printer.h"
#include "audio/cueoutput.h"
#include "modules/modules.h"
#include "ui/messages.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>

namespace tapecalc {

namespace {

// The system's sound output: from its module where it is one, silent without it.
std::unique_ptr<CueOutput> systemCueOutput() {
#ifdef TAPECALC_SOUND_MODULE
    std::unique_ptr<CueOutput> output = loadModule<CueOutput>();
    return output ? std::move(output) : makeSilentCueOutput();
#else
    return makeCueOutput();
#endif
}

} // namespace

RealPlatform::RealPlatform() : m_player(&systemCueOutput) {}

void RealPlatform::playCue(const QString &path) {
    m_player.play(path);
}

void RealPlatform::playCueBlocking(const QString &path) {
    m_player.playBlocking(path);
}

QDateTime RealPlatform::now() const {
    return QDateTime::currentDateTime();
}

void RealPlatform::openUrl(const QUrl &url) {
    QDesktopServices::openUrl(url);
}

void RealPlatform::openUrlThen(const QUrl &url, std::function<void(bool opened)> opened) {
    openInBrowser(url, std::move(opened));
}

void RealPlatform::showMessage(const QString &text) {
    QMessageBox::information(m_window, programTitle, text, QMessageBox::Ok);
}

void RealPlatform::showWarning(const QString &text) {
    QMessageBox::warning(m_window, programTitle, text, QMessageBox::Ok);
}

void RealPlatform::showNotice(const QString &text) {
    // Not modal and not activated: the keys keep going to the calculator. Over it, as
    // the calculator stays on top; one at a time.
    if (m_notice)
        m_notice->close();
    auto *box = new QMessageBox(QMessageBox::Warning, programTitle, text, QMessageBox::Ok, m_window,
                                Qt::Dialog | Qt::WindowStaysOnTopHint);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    box->setWindowModality(Qt::NonModal);
    box->show();
    m_notice = box;
}

void RealPlatform::printReportThen(const std::vector<ReportLine> &lines, const QString &pdfFolder,
                                   const QString &pdfName,
                                   std::function<void(const PrintResult &)> done) {
    printReportOffThread(lines, pdfFolder, pdfName, std::move(done));
}

bool RealPlatform::confirmDeleteForGood(const QString &name) {
    QMessageBox box(QMessageBox::Warning, programTitle, deleteForGoodQuestion,
                    QMessageBox::NoButton, m_window);
    box.setInformativeText(name);
    QPushButton *remove = box.addButton(QStringLiteral("删除"), QMessageBox::DestructiveRole);
    QPushButton *keep = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    // Enter and Esc keep the file: only a deliberate 删除 destroys it.
    box.setDefaultButton(keep);
    box.setEscapeButton(keep);
    box.exec();
    return box.clickedButton() == remove;
}

void RealPlatform::endProgram() {
    QCoreApplication::exit(0);
}

} // namespace tapecalc
