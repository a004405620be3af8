// The real platform services.
#include "ui/realplatform.h"

#include "ui/printer.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>

namespace tapecalc {

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

void RealPlatform::showMessage(const QString &text) {
    QMessageBox::information(m_window, programTitle, text, QMessageBox::Ok);
}

void RealPlatform::showWarning(const QString &text) {
    QMessageBox::warning(m_window, programTitle, text, QMessageBox::Ok);
}

bool RealPlatform::print(const QStringList &lines) {
    return printLines(lines);
}

PrintOutcome RealPlatform::printWithColumns(const PrintedReport &report) {
    return printPieces(report.pieces);
}

void RealPlatform::endProgram() {
    QCoreApplication::exit(0);
}

} // namespace tapecalc
