// The voice cues: the names of their files in the sound folder, in one place.
#pragma once

#include <string_view>

namespace tapecalc::cues {

inline constexpr std::string_view add = "加.wav";
inline constexpr std::string_view subtract = "减.wav";
inline constexpr std::string_view multiply = "乘.wav";
inline constexpr std::string_view divide = "除.wav";
inline constexpr std::string_view equals = "等于.wav";
inline constexpr std::string_view clearAll = "归零.wav";
inline constexpr std::string_view clearEntry = "清除.wav";
inline constexpr std::string_view erase = "删除.wav"; // Backspace and the delete key
inline constexpr std::string_view point = "d.wav";
inline constexpr std::string_view minus = "负.wav";
inline constexpr std::string_view total = "zsw.wav"; // opens the read-out of the total
inline constexpr std::string_view digits[10] = {"0.wav", "1.wav", "2.wav", "3.wav", "4.wav",
                                                "5.wav", "6.wav", "7.wav", "8.wav", "9.wav"};

} // namespace tapecalc::cues
