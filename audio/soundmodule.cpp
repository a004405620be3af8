// The entry point of the sound module (tapecalc-sound: the system output and its library,
// PulseAudio's with what it loads in turn), which the program loads once its window is up.
#include "audio/cueoutput.h"
#include "modules/moduleentry.h"

TAPECALC_MODULE_ENTRY(tapecalc::CueOutput) {
    return tapecalc::makeCueOutput().release();
}
