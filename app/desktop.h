// What the free desktops (X11 and Wayland, with xdg-open) need of the program that others
// do not: desktop_freedesktop.cpp there, desktop_none.cpp elsewhere. The build picks the
// file.
#pragma once

#include <QUrl>

#include <functional>
#include <vector>

namespace tapecalc {

// The program's arguments for QApplication, null-terminated, with the window system the
// calculator prefers added where the user made no choice: on a Wayland desktop that also
// runs XWayland, X11, where a window can stay above the others and choose where it opens.
std::vector<char *> argumentsForWindowSystem(int argc, char *argv[]);

// Opens `url` in the user's browser and tells `opened` whether something took it, perhaps
// later.
void openInBrowser(const QUrl &url, std::function<void(bool opened)> opened);

} // namespace tapecalc
