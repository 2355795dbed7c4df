#pragma once
// Which files the module plug-in plays: XM, IT, S3M and MOD, told apart by
// their magic bytes. The renderer knows many more formats, and some of its
// loaders (15-sample Soundtracker files have no magic at all) would take
// almost any file the library's own decoders refused.

#include <cstddef>
#include <cstdint>
#include <span>

// Enough of the start of a file for ModuleFormatOf.
constexpr size_t ModuleHeadBytes = 1084;

enum class ModuleFormat { None, Xm, It, S3m, Mod };

// head: the first ModuleHeadBytes of the file, or all of a shorter one.
ModuleFormat ModuleFormatOf(std::span<const uint8_t> head);

// A MOD whose samples, as its headers declare them, lie within the file.
// The renderer takes sample lengths on trust and, playing one that runs far
// past the file's end, writes outside its buffers.
bool ModSamplesFitFile(std::span<const uint8_t> file);
