// The floor of key-to-voice on this machine, for tools/bench-voice.sh: a bare X window
// that, on each key press, writes a cue's samples into one PulseAudio stream kept open
// with a 5 ms target length. Usage: bench_voice_floor CUE.wav (16-bit PCM).
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <pulse/simple.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::uint32_t le(const char *p, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(p[i]);
    return v;
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc != 2)
        return 2;
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<char> file{std::istreambuf_iterator<char>(in), {}};
    pa_sample_spec sampleSpec{PA_SAMPLE_S16LE, 0, 0};
    const char *pcm = nullptr;
    std::size_t bytes = 0;
    for (std::size_t at = 12; at + 8 <= file.size();) {
        const std::size_t size = le(&file[at + 4], 4);
        if (std::memcmp(&file[at], "fmt ", 4) == 0) {
            sampleSpec.channels = static_cast<std::uint8_t>(le(&file[at + 10], 2));
            sampleSpec.rate = le(&file[at + 12], 4);
        } else if (std::memcmp(&file[at], "data", 4) == 0) {
            pcm = &file[at + 8];
            bytes = std::min(size, file.size() - at - 8);
        }
        at += 8 + size + (size & 1);
    }
    if (!pcm || !pa_sample_spec_valid(&sampleSpec)) {
        std::fprintf(stderr, "%s: not a 16-bit PCM WAV\n", argv[1]);
        return 1;
    }

    const auto target = static_cast<std::uint32_t>(pa_usec_to_bytes(5000, &sampleSpec));
    const pa_buffer_attr attr{std::uint32_t(-1), target, std::uint32_t(-1), std::uint32_t(-1),
                              std::uint32_t(-1)};
    int error = 0;
    pa_simple *stream = pa_simple_new(nullptr, "voice floor", PA_STREAM_PLAYBACK, nullptr, "cue",
                                      &sampleSpec, nullptr, &attr, &error);
    Display *display = XOpenDisplay(nullptr);
    if (!stream || !display)
        return 1;
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 200, 100, 0, 0, 0);
    const long pid = getpid();
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char *>(&pid), 1);
    XSelectInput(display, window, KeyPressMask);
    XMapWindow(display, window);
    XFlush(display);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == KeyPress)
            pa_simple_write(stream, pcm, bytes, &error);
    }
}
