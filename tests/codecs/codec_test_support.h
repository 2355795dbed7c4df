#pragma once
// Shared by the codec core tests: fixtures, whole decodes and the reference
// files make_references.py writes.

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/codec_source.h"

inline std::string CodecFixture(const std::string& name) {
    std::string path = std::string(TAMBER_SOURCE_DIR) + "/tests/fixtures/audio/codecs/" + name;
#ifdef _WIN32
    // Under Wine the source tree is reached through drive Z:.
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
#endif
    return path;
}

inline std::vector<uint8_t> ReadFixtureBytes(const std::string& name) {
    std::ifstream in(CodecFixture(name), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Everything Read hands out, up to maxFrames (a guard: a decoder that never
// ends fails the test instead of hanging it).
inline std::vector<float> DecodeAll(CodecSource& source, uint64_t maxFrames, uint32_t chunkFrames = 4096) {
    const uint32_t channels = source.Format().Channels;
    std::vector<float> all;
    std::vector<float> chunk(size_t{chunkFrames} * channels);
    while (all.size() / channels < maxFrames) {
        uint32_t got = source.Read(chunk.data(), chunkFrames);
        if (got == 0) break;
        all.insert(all.end(), chunk.begin(), chunk.begin() + size_t{got} * channels);
    }
    return all;
}

// "key value" lines first, then rows of numbers.
struct ReferenceFile {
    std::vector<std::pair<std::string, std::string>> Keys;
    std::vector<std::vector<double>> Rows;
    std::string Value(const std::string& key) const {
        for (const auto& [k, v] : Keys)
            if (k == key) return v;
        return {};
    }
};

inline ReferenceFile ReadReference(const std::string& name) {
    ReferenceFile ref;
    std::ifstream in(CodecFixture(name));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        if (!line.empty() && (std::isalpha(static_cast<unsigned char>(line[0])))) {
            std::string key, value;
            words >> key >> value;
            ref.Keys.emplace_back(key, value);
            continue;
        }
        std::vector<double> row;
        for (double v; words >> v;) row.push_back(v);
        if (!row.empty()) ref.Rows.push_back(row);
    }
    return ref;
}
