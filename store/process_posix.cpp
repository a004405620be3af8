// Whether the copy of the program that wrote a journal still runs, on POSIX systems: kill
// with signal 0, and on Linux the process's state and start from /proc.
#include "store/durablefile.h"

#include <QFile>
#include <QList>

#include <cerrno>
#include <csignal>
#include <optional>
#include <unistd.h>

namespace tapecalc::durable {

namespace {

// Linux's view of a process: its state letter and its start in ms since 1970, from
// /proc; nothing where there is no /proc.
struct ProcessInfo {
    char state = '?';
    qint64 startMs = 0;
};

std::optional<ProcessInfo> procInfo(qint64 pid) {
    QFile statFile(QStringLiteral("/proc/%1/stat").arg(pid));
    QFile bootFile(QStringLiteral("/proc/stat"));
    if (!statFile.open(QIODevice::ReadOnly) || !bootFile.open(QIODevice::ReadOnly))
        return std::nullopt;
    // "pid (name) state ppid …": the name may hold spaces and parentheses.
    const QByteArray stat = statFile.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20 || fields[0].isEmpty())
        return std::nullopt;
    ProcessInfo info;
    info.state = fields[0][0];
    qint64 bootSeconds = 0;
    for (const QByteArray &line : bootFile.readAll().split('\n'))
        if (line.startsWith("btime "))
            bootSeconds = line.mid(6).toLongLong();
    const long ticks = ::sysconf(_SC_CLK_TCK);
    if (bootSeconds > 0 && ticks > 0)
        info.startMs = bootSeconds * 1000 + fields[19].toLongLong() * 1000 / ticks;
    return info;
}

} // namespace

bool processRunsSince(qint64 pid, const QDateTime &moment) {
    if (pid <= 0)
        return false;
    // Signal 0 only asks; EPERM means the process is there but another user's.
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)
        return false;
    const std::optional<ProcessInfo> info = procInfo(pid);
    if (!info)
        return true;
    if (info->state == 'Z' || info->state == 'X')
        return false;
    // The start is known to the clock tick and the boot time to the second.
    return info->startMs == 0 || info->startMs <= moment.toMSecsSinceEpoch() + 2000;
}

} // namespace tapecalc::durable
