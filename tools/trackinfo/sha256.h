#pragma once
// SHA-256 of a byte block, as lowercase hex: how trackinfo identifies a
// picture without printing it.

#include <cstdint>
#include <span>
#include <string>

std::string Sha256Hex(std::span<const uint8_t> bytes);
