// A program on the PATH run to its end, for the suites that read what a real tool says
// (poppler's PDF tools, CUPS's lpstat).
#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

// Its standard output; empty when it is missing or does not end within a minute.
inline QString runTool(const QString &tool, const QStringList &arguments) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        return {};
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}
