// A Requests that records what the calculator asked for, for the core tests.
#pragma once

#include "core/requests.h"

#include <string>
#include <vector>

namespace tapecalc {

struct Recorder : Requests {
    // One entry a request: "cue:加.wav", "blocking:zsw.wav", "message:…", "end".
    std::vector<std::string> log;

    void playCue(std::string_view file) override { log.push_back("cue:" + std::string(file)); }
    void playCueBlocking(std::string_view file) override {
        log.push_back("blocking:" + std::string(file));
    }
    void showMessage(Message message) override {
        static const char *const names[] = {"squareRootOfNegative", "logarithmOfZero",
                                            "logarithmOfNegative", "tapeFull"};
        log.push_back(std::string("message:") + names[static_cast<int>(message)]);
    }
    void endProgram() override { log.push_back("end"); }

    std::string joined() const {
        std::string all;
        for (const auto &entry : log)
            all += (all.empty() ? "" : " ") + entry;
        return all;
    }
};

} // namespace tapecalc
