// Drives the Windows sound output the way the player does, for tools/windows/cue-output.sh,
// which records what comes out: a 440 Hz tone cut after 300 ms by an 880 Hz tone of
// 300 ms, silence, then a 440 Hz tone cut to silence after 200 ms.
#include "audio/cueoutput.h"

#include <windows.h>

#include <cmath>
#include <vector>

namespace {

std::vector<char> tone(int ms, double hz) {
    std::vector<char> pcm;
    for (int i = 0; i < 22050 * ms / 1000; ++i) {
        const auto v =
            static_cast<short>(std::lround(16384 * std::sin(6.283185307 * hz * i / 22050)));
        pcm.push_back(static_cast<char>(v & 0xFF));
        pcm.push_back(static_cast<char>((v >> 8) & 0xFF));
    }
    return pcm;
}

} // namespace

int main() {
    using namespace tapecalc;
    const std::unique_ptr<CueOutput> out = makeCueOutput();
    const PcmFormat format{PcmSample::Int16, 22050, 1};
    if (!out->takes(format) || out->takes({PcmSample::Float, 48000, 2}))
        return 1;
    const std::vector<char> low = tone(900, 440), high = tone(300, 880);
    out->open();
    Sleep(300);
    out->start(format, low.data(), low.size());
    Sleep(300);
    out->start(format, high.data(), high.size());
    Sleep(800);
    out->start(format, low.data(), low.size());
    Sleep(200);
    out->cut();
    Sleep(500);
    return 0;
}
