// What the calculator asks of the platform: voice cues, a message, the end of the
// program. The window plays them; tests record them.
#pragma once

#include <string_view>

namespace tapecalc {

// What the calculator tells the user; the window words it.
enum class Message {
    squareRootOfNegative, // the square root key with a negative entry
    logarithmOfZero,      // the logarithm key with 0
    logarithmOfNegative,  // the logarithm key with a negative entry
    tapeFull,             // an operator or equals with an entry when the tape holds no more lines
};

class Requests {
  public:
    virtual ~Requests() = default;

    // Cue file names are bare names in the sound folder ("加.wav"); an empty name is a
    // request too (it stops the sounding cue).
    virtual void playCue(std::string_view file) = 0; // returns at once, cuts the sounding cue
    virtual void playCueBlocking(std::string_view file) = 0; // returns when the cue has ended
    virtual void showMessage(Message message) = 0;           // modal, OK only
    virtual void endProgram() = 0;
};

} // namespace tapecalc
