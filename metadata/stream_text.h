#pragma once
// Display texts of stream properties shared by the container readers: the
// channel words (program text, UTF-8) and the play length.

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::string_view MonoText = "\xE5\x8D\x95\xE5\xA3\xB0\xE9\x81\x93";          // 单声道
inline constexpr std::string_view StereoText = "\xE7\xAB\x8B\xE4\xBD\x93\xE5\xA3\xB0";        // 立体声
inline constexpr std::string_view MultiChannelText = "\xE5\xA4\x9A\xE5\xA3\xB0\xE9\x81\x93";  // 多声道
inline constexpr std::string_view UnknownText = "\xE6\x9C\xAA\xE7\x9F\xA5";               // 未知

// "mm:ss" of samples / rate, truncated; empty when either is 0, since a
// damaged header must not turn into a division by zero or a 00:00 length.
std::string SampleDurationText(uint64_t samples, uint64_t rate);
// "mm:ss" of whole seconds (truncated); empty when not above 0. Lengths too
// long for an int are clamped rather than wrapped.
std::string SecondsDurationText(double seconds);
