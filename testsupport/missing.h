// A tool or a server a test needs is not there (strace, poppler's PDF tools, a printer
// queue, a sound server …). A developer's run skips the test, saying what is missing;
// a run that must test everything fails it instead, since Qt Test and CTest count a skip
// as a pass: test.sh sets TAPECALC_REQUIRE_TOOLS=1. A macro, as QSKIP and QFAIL end the
// test function they stand in. Not for what a platform lacks by its nature.
#pragma once

#include <QTest>

#define TAPECALC_MISSING(why)                                                                      \
    do {                                                                                           \
        if (qEnvironmentVariableIntValue("TAPECALC_REQUIRE_TOOLS") != 0)                           \
            QFAIL(why);                                                                            \
        QSKIP(why);                                                                                \
    } while (false)
