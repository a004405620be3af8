// The window started as the program starts it: shown, and the start's work that waits for
// the first frame (recovery of journals, removal of cut-off saves) done.
#pragma once

#include "ui/form1.h"

#include <QSignalSpy>

namespace tapecalc {

// False when that work did not end within ten seconds.
inline bool showStarted(Form1 &form) {
    QSignalSpy started(&form, &Form1::started);
    form.show();
    return started.wait(10000);
}

} // namespace tapecalc
