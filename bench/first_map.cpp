// The start-up clock of tools/bench-startup.sh: starts a program and waits, without
// polling, for the window system to map its first window (the X server tells every client
// that listens on the root window), then for the first drawing into it (the X server's
// damage report): its first frame. Prints the milliseconds from the start to each moment,
// the program's process id, and its resident memory (kB) and shared libraries at the map
// (read from Linux's /proc), and leaves the program running.
// Usage: first_map PROGRAM [ARGUMENTS...]   (a display in DISPLAY, and no window manager:
// windows are mapped as the programs ask)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

// The process that made a window, by the _NET_WM_PID property Qt, GTK and most toolkits
// set before they map; 0 when it is not set.
pid_t processOf(Display *display, Window window) {
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    pid_t pid = 0;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format,
                           &items, &after, &data) == Success &&
        data && format == 32 && items == 1)
        pid = static_cast<pid_t>(*reinterpret_cast<unsigned long *>(data));
    if (data)
        XFree(data);
    return pid;
}

// Resident memory in kB and the count of shared libraries mapped, of a process.
std::pair<long, std::size_t> residentAndLibraries(pid_t pid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    long resident = 0;
    std::ifstream status(proc + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            resident = std::stol(line.substr(6));
    std::set<std::string> libraries;
    std::ifstream maps(proc + "/maps");
    for (std::string line; std::getline(maps, line);) {
        std::istringstream fields(line);
        std::string field, path;
        for (int i = 0; i < 6 && fields >> field; ++i)
            path = i == 5 ? field : "";
        if (path.find(".so") != std::string::npos)
            libraries.insert(path);
    }
    return {resident, libraries.size()};
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: first_map PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "first_map: no display\n");
        return 1;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        close(ConnectionNumber(display));
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    const auto since = [start] {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    };
    int damageEvent = 0, damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        std::fprintf(stderr, "first_map: the X server reports no damage\n");
        return 1;
    }
    double mapped = 0;
    std::pair<long, std::size_t> atMap;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (mapped == 0 && event.type == MapNotify &&
            processOf(display, event.xmap.window) == child) {
            mapped = since();
            atMap = residentAndLibraries(child);
            // The program draws only once the server has told it that the window is
            // exposed, which it does with the map: well after the damage report starts.
            // The window's whole area counts as damaged when the report starts: that is
            // taken back, so the next report is the program's drawing.
            const Damage damage = XDamageCreate(display, event.xmap.window, XDamageReportNonEmpty);
            XSync(display, False);
            XEvent initial;
            while (XCheckTypedEvent(display, damageEvent + XDamageNotify, &initial)) {
            }
            XDamageSubtract(display, damage, None, None);
            XFlush(display);
        } else if (mapped != 0 && event.type == damageEvent + XDamageNotify) {
            break;
        }
    }
    const double framed = since();
    std::printf("%.1f %.1f %d %ld %zu\n", mapped, framed, static_cast<int>(child), atMap.first,
                atMap.second);
    return 0;
}
