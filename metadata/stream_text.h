#pragma once
// Display texts of stream properties shared by the container readers: the
// channel words (program text, code page 936) and the play length.

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::string_view MonoText = "\xB5\xA5\xC9\xF9\xB5\xC0";          // 单声道
inline constexpr std::string_view StereoText = "\xC1\xA2\xCC\xE5\xC9\xF9";        // 立体声
inline constexpr std::string_view MultiChannelText = "\xB6\xE0\xC9\xF9\xB5\xC0";  // 多声道
inline constexpr std::string_view UnknownText = "\xCE\xB4\xD6\xAA";               // 未知

// "mm:ss" of samples / rate, truncated; empty when either is 0, since a
// damaged header must not turn into a division by zero or a 00:00 length.
std::string SampleDurationText(uint64_t samples, uint64_t rate);
// "mm:ss" of whole seconds (truncated); empty when not above 0. Lengths too
// long for an int are clamped rather than wrapped.
std::string SecondsDurationText(double seconds);
