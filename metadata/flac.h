#pragma once
// Helpers of the FLAC reader that other readers share.

#include <cstdint>
#include <span>

// The first four bytes read most significant first; 0 when fewer are given.
int32_t BigEndianInt32(std::span<const uint8_t> bytes);
