// What an administrator's rights would hide (a read-only folder, a file no one may read):
// a suite that runs as root runs such a test again as the user nobody. Every library's
// suites use it, as CI runs them as root.
#pragma once

#include "testsupport/missing.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#ifdef Q_OS_UNIX
#include <unistd.h>

// Whether this runs as an administrator, whom no permission stops.
inline bool asAdministrator() {
    return ::geteuid() == 0;
}

// Runs `testFunction` ("name" or "name:row") of this suite again as the user nobody; the
// child's result is the test's.
inline void runAsNobody(const QString &testFunction) {
    if (QStandardPaths::findExecutable("setpriv").isEmpty())
        TAPECALC_MISSING("setpriv (util-linux) is needed to run this as nobody");
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                            QCoreApplication::applicationFilePath(), "-silent", testFunction});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitCode(), 0);
}
#endif
