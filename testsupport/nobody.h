// What an administrator's rights would hide (a read-only folder, a file no one may read):
// a suite that runs as root runs such a test again as the user nobody. Every library's
// suites use it, as CI runs them as root.
#pragma once

#include "testsupport/missing.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <unistd.h>

// Whether this runs as an administrator, whom no permission stops.
inline bool asAdministrator() {
    return ::geteuid() == 0;
}

// Runs `testFunction` ("name" or "name:row") of this suite again as the user nobody; the
// child's result is the test's. The suite runs from a copy in a temporary folder that
// nobody may enter: a build in a private folder (a clone in a home, 0700 on Debian 12, or
// in one made by mktemp -d) is out of nobody's reach. The suites link no library of the
// build's own, so the copy runs alone; files it needs beside itself go with it.
inline void runAsNobody(const QString &testFunction, const QStringList &besideIt = {}) {
    if (QStandardPaths::findExecutable("setpriv").isEmpty())
        TAPECALC_MISSING("setpriv (util-linux) is needed to run this as nobody");
    const QFile::Permissions everyoneRuns = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                            QFile::ExeOther;
    QTemporaryDir reachable;
    const QString suite =
        reachable.filePath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    QVERIFY(QFile::setPermissions(reachable.path(), everyoneRuns) &&
            QFile::copy(QCoreApplication::applicationFilePath(), suite) &&
            QFile::setPermissions(suite, everyoneRuns));
    for (const QString &file : besideIt) {
        const QString copy = reachable.filePath(QFileInfo(file).fileName());
        QVERIFY(QFile::copy(file, copy) && QFile::setPermissions(copy, everyoneRuns));
    }
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", suite, "-silent",
                            testFunction});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitCode(), 0);
}
#endif
