// A Platform that records every request of the window, for the GUI tests.
#pragma once

#include "ui/platform.h"

#include <QStringList>

#include <functional>

namespace tapecalc {

struct RecordingPlatform : Platform {
    // "cue:<path>", "blocking:<path>", "url:<url>", "message:<text>", "warning:<text>", "end"
    QStringList log;
    QStringList printed; // the last report handed to the printer
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
    bool print(const QStringList &lines) override {
        if (!printerPresent)
            return false;
        printed = lines;
        return true;
    }
    void endProgram() override { log << "end"; }
    PrintOutcome printWithColumns(const PrintedReport &report) override {
        return printerFails ? PrintOutcome::failed : Platform::printWithColumns(report);
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
