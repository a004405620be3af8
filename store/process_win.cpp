// Whether the copy of the program that wrote a journal still runs, on Windows: the
// process's exit code and its creation time.
#include "store/durablefile.h"

#include <windows.h>

namespace tapecalc::durable {

bool processRunsSince(qint64 pid, const QDateTime &moment) {
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (h == nullptr)
        return GetLastError() == ERROR_ACCESS_DENIED; // there, but another user's
    DWORD code = 0;
    bool runs = GetExitCodeProcess(h, &code) && code == STILL_ACTIVE;
    FILETIME created{}, exited{}, kernel{}, user{};
    if (runs && GetProcessTimes(h, &created, &exited, &kernel, &user)) {
        // 100 ns steps since 1601; 11,644,473,600 s before 1970.
        const qint64 steps = (static_cast<qint64>(created.dwHighDateTime) << 32) |
                             static_cast<qint64>(created.dwLowDateTime);
        const qint64 startMs = steps / 10000 - 11644473600000LL;
        runs = startMs <= moment.toMSecsSinceEpoch() + 2000;
    }
    CloseHandle(h);
    return runs;
}

} // namespace tapecalc::durable
