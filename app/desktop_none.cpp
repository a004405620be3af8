// Desktops other than the free ones (Windows, macOS): the window system is the only one,
// and the system's own handler takes the page at once or not at all.
#include "app/desktop.h"

#include <QDesktopServices>

namespace tapecalc {

std::vector<char *> argumentsForWindowSystem(int argc, char *argv[]) {
    std::vector<char *> args(argv, argv + argc);
    args.push_back(nullptr);
    return args;
}

void openInBrowser(const QUrl &url, std::function<void(bool opened)> opened) {
    opened(QDesktopServices::openUrl(url));
}

} // namespace tapecalc
