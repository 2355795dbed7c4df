#include "tests/bass_decoders/decode_fixtures.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "bass/decoders/builtin_decoders.h"
#include "platform/input_file.h"

namespace decodetest {

std::string FixturePath(const char* file) {
    return std::string(TAMBER_SOURCE_DIR "/tests/fixtures/decode/") + file;
}

std::vector<uint8_t> LoadFixture(const char* file) {
    std::string bytes;
    if (!ReadWholeFile(FixturePath(file), bytes, 16u << 20)) return {};
    return {bytes.begin(), bytes.end()};
}

namespace {

uint32_t JsonNumber(const std::string& json, const char* key) {
    std::string quoted = std::string("\"") + key + "\":";
    size_t at = json.find(quoted);
    return at == std::string::npos ? 0 : static_cast<uint32_t>(std::strtoul(json.c_str() + at + quoted.size(), nullptr, 10));
}

Reference DecodeReference(const char* file) {
    Reference ref;
    std::string out = "/tmp/tamber_reference_" + std::to_string(getpid()) + "_" + file + ".f32";
    std::string command = "/usr/bin/python3 '" TAMBER_SOURCE_DIR "/tests/fixtures/decode/reference_decode.py' '" +
        FixturePath(file) + "' '" + out + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return ref;
    std::string json;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) json += line;
    if (pclose(pipe) != 0) return ref;
    std::string bytes;
    // Reference decodes are a few seconds: far below this.
    if (ReadWholeFile(out, bytes, 64u << 20)) {
        ref.Rate = JsonNumber(json, "rate");
        ref.Channels = JsonNumber(json, "channels");
        ref.Samples.resize(bytes.size() / sizeof(float));
        std::memcpy(ref.Samples.data(), bytes.data(), ref.Samples.size() * sizeof(float));
    }
    std::remove(out.c_str());
    return ref;
}

}  // namespace

const Reference& ReferenceFor(const char* file) {
    static std::map<std::string, Reference> cache;
    auto found = cache.find(file);
    if (found == cache.end()) found = cache.emplace(file, DecodeReference(file)).first;
    return found->second;
}

DecoderInfo OpenBytes(const std::vector<uint8_t>& bytes) {
    // The decoder keeps the reader: it holds a pointer to the caller's bytes,
    // which outlive it in every test.
    const std::vector<uint8_t>* data = &bytes;
    ReadAtFn read = [data](uint64_t offset, uint8_t* buffer, uint32_t count) -> uint32_t {
        if (offset >= data->size()) return 0;
        uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(count, data->size() - offset));
        std::memcpy(buffer, data->data() + offset, n);
        return n;
    };
    return OpenBuiltInDecoder(read, bytes.size());
}

std::vector<float> ReadAll(Decoder& decoder, uint32_t channels, uint64_t maxFrames) {
    constexpr uint32_t PieceFrames = 1001;
    std::vector<float> out;
    std::vector<float> piece(PieceFrames * channels);
    while (out.size() / channels < maxFrames) {
        uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(PieceFrames, maxFrames - out.size() / channels));
        uint32_t got = decoder.Read(piece.data(), want);
        if (got == 0) break;
        out.insert(out.end(), piece.begin(), piece.begin() + std::min(got, want) * channels);
    }
    return out;
}

namespace {

struct Energy {
    double Diff = 0;
    double Ref = 0;
    uint64_t Frames = 0;
};

// decoded frame i against reference frame at + i - lag, over decoded frames [0, count).
Energy Compare(const std::vector<float>& decoded, const Reference& ref, uint64_t at, int64_t lag, uint64_t count) {
    Energy e;
    const uint32_t ch = ref.Channels;
    const int64_t refFrames = static_cast<int64_t>(ref.Frames());
    for (uint64_t i = 0; i < count; ++i) {
        int64_t j = static_cast<int64_t>(at + i) - lag;
        if (j < 0 || j >= refFrames) continue;
        for (uint32_t c = 0; c < ch; ++c) {
            double d = decoded[i * ch + c];
            double r = ref.Samples[static_cast<size_t>(j) * ch + c];
            e.Diff += (d - r) * (d - r);
            e.Ref += r * r;
        }
        ++e.Frames;
    }
    return e;
}

double Db(const Energy& e) {
    if (e.Ref <= 0) return 0;
    return e.Diff <= 0 ? -300 : 10 * std::log10(e.Diff / e.Ref);
}

}  // namespace

Alignment Align(const std::vector<float>& decoded, const Reference& ref, uint64_t at, int64_t window) {
    Alignment best;
    if (ref.Channels == 0) return best;
    const uint64_t frames = decoded.size() / ref.Channels;
    // The lag is found on a stretch of the start; noise matches at one lag only.
    constexpr uint64_t SearchFrames = 4096;
    // Long enough that every lag in the window overlaps SearchFrames.
    const uint64_t search = std::min<uint64_t>(frames, SearchFrames + static_cast<uint64_t>(window));
    double bestRatio = INFINITY;
    for (int64_t lag = -window; lag <= window; ++lag) {
        Energy e = Compare(decoded, ref, at, lag, search);
        // Half the stretch at least: a lag that overlaps a few frames proves nothing.
        if (e.Frames * 2 < std::min(search, SearchFrames) || e.Ref <= 0) continue;
        double ratio = e.Diff / e.Ref;
        if (ratio < bestRatio) {
            bestRatio = ratio;
            best.Lag = lag;
        }
    }
    double nextLag = INFINITY;
    for (int64_t lag : {best.Lag - 1, best.Lag + 1}) {
        Energy e = Compare(decoded, ref, at, lag, search);
        if (e.Ref > 0) nextLag = std::min(nextLag, Db(e));
    }
    best.NeighbourDb = nextLag;
    Energy all = Compare(decoded, ref, at, best.Lag, frames);
    best.DiffDb = Db(all);
    best.Compared = all.Frames;
    return best;
}

uint64_t IntegerMismatches(const std::vector<float>& decoded, const Reference& ref, uint64_t at, int bits,
    uint64_t* firstMismatch) {
    const double scale = std::ldexp(1.0, bits - 1);
    uint64_t mismatches = 0;
    *firstMismatch = UINT64_MAX;
    for (size_t i = 0; i < decoded.size(); ++i) {
        size_t j = at * ref.Channels + i;
        if (j >= ref.Samples.size()) {
            ++mismatches;  // decoded past the reference's end
            continue;
        }
        if (std::lround(decoded[i] * scale) != std::lround(ref.Samples[j] * scale)) {
            if (mismatches++ == 0) *firstMismatch = i / ref.Channels;
        }
    }
    return mismatches;
}

}  // namespace decodetest
