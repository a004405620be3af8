// The free desktops: X11 preferred on a Wayland desktop with XWayland, and the browser
// found through xdg-open, whose outcome is watched.
#include "app/desktop.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

#include <cstring>

namespace tapecalc {

// A Wayland window can neither stay above the others nor choose where it opens, and this
// one must do both. A choice of the user's (QT_QPA_PLATFORM, -platform) stands; without
// XWayland Qt picks Wayland and the window does what Wayland allows.
std::vector<char *> argumentsForWindowSystem(int argc, char *argv[]) {
    std::vector<char *> args(argv, argv + argc);
    static char option[] = "-platform";
    static char x11First[] = "xcb;wayland";
    bool chosen = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    for (int i = 1; i < argc; ++i)
        chosen = chosen || std::strcmp(argv[i], "-platform") == 0 ||
                 std::strcmp(argv[i], "--platform") == 0;
    if (!chosen && !qEnvironmentVariableIsEmpty("DISPLAY") &&
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        args.push_back(option);
        args.push_back(x11First);
    }
    args.push_back(nullptr);
    return args;
}

void openInBrowser(const QUrl &url, std::function<void(bool opened)> opened) {
    // Qt hands the page to xdg-open and counts it opened once xdg-open runs; without a
    // browser xdg-open ends with a failure later. It is watched here. The process is no
    // child object: one still running (a browser it waits for) outlives the calculator.
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (xdgOpen.isEmpty()) {
        opened(QDesktopServices::openUrl(url));
        return;
    }
    auto *process = new QProcess;
    process->setProgram(xdgOpen);
    process->setArguments({url.toString(QUrl::FullyEncoded)});
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, opened](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         opened(status == QProcess::NormalExit && code == 0);
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, opened](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         process->deleteLater();
                         opened(false);
                     });
    process->start();
}

} // namespace tapecalc
