// The entry point of the sound module (tapecalc-sound: the system output and its library,
// PulseAudio's with what it loads in turn), which the program loads once its window is up.
#include "audio/cueoutput.h"

#if defined(_WIN32)
#define TAPECALC_EXPORT __declspec(dllexport)
#else
#define TAPECALC_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TAPECALC_EXPORT tapecalc::CueOutput *tapecalc_cue_output_1() {
    return tapecalc::makeCueOutput().release();
}
