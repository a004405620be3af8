// A Platform that records every request of the window, for the GUI tests.
#pragma once

#include "ui/platform.h"

#include <QStringList>

#include <functional>

namespace tapecalc {

struct RecordingPlatform : Platform {
    // "cue:<path>", "blocking:<path>", "url:<url>", "message:<text>", "warning:<text>",
    // "notice:<text>", "end"
    QStringList log;
    std::vector<ReportLine> report; // the last report handed to the printer, as given
    QStringList printed;            // the same report as text lines
    bool printerPresent = true;
    bool printerFails = false; // a printer that is there but fails the job
    QDateTime clock = QDateTime(QDate(2026, 12, 6), QTime(16, 58, 7));
    std::function<void()> whileBlocked; // runs while a blocking cue holds the window

    void playCue(const QString &path) override { log << "cue:" + path; }
    void playCueBlocking(const QString &path) override {
        log << "blocking:" + path;
        if (whileBlocked)
            whileBlocked();
    }
    QDateTime now() const override { return clock; }
    void openUrl(const QUrl &url) override { log << "url:" + url.toString(); }
    bool browserPresent = true;
    void openUrlThen(const QUrl &url, std::function<void(bool)> opened) override {
        openUrl(url);
        opened(browserPresent);
    }
    void showMessage(const QString &text) override { log << "message:" + text; }
    void showWarning(const QString &text) override { log << "warning:" + text; }
    void showNotice(const QString &text) override { log << "notice:" + text; }
    // Where no trash takes a tape (wine has no recycle bin): 删除 when set, else what a
    // platform that cannot ask does.
    bool answersDeleteForGood = false;
    bool confirmDeleteForGood(const QString &name) override {
        if (!answersDeleteForGood)
            return Platform::confirmDeleteForGood(name);
        log << "ask:" + name;
        return true;
    }
    void endProgram() override { log << "end"; }
    PrintOutcome printReportLines(const std::vector<ReportLine> &lines) override {
        if (printerFails)
            return PrintOutcome::failed;
        if (!printerPresent)
            return PrintOutcome::noPrinter;
        report = lines;
        printed.clear();
        for (const ReportLine &line : lines)
            printed << QString::fromStdString(lineText(line));
        return PrintOutcome::printed;
    }

    // The cue file names of the requests, without their folder: "cue:5.wav".
    QStringList cues() const {
        QStringList names;
        for (const QString &entry : log) {
            const qsizetype colon = entry.indexOf(':');
            const QString kind = entry.left(colon);
            const QString path = entry.mid(colon + 1);
            if (kind == "cue" || kind == "blocking")
                names << kind + ":" + path.mid(path.lastIndexOf('/') + 1);
        }
        return names;
    }
};

} // namespace tapecalc
