#include "bass/stream_probe.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t SamplesPerFrame = 1152;  // MPEG-1 layer III
constexpr uint8_t Kbps64 = 5, Kbps128 = 9, Kbps320 = 14;

// MPEG-1 layer III frames at 44.1 kHz, stereo, no Xing or VBRI header.
void AppendFrame(std::vector<uint8_t>& file, uint8_t bitRateIndex) {
    static constexpr uint32_t Kbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    size_t bytes = 144 * Kbps[bitRateIndex] * 1000 / 44100;
    size_t at = file.size();
    file.resize(at + bytes, 0);
    file[at] = 0xFF;
    file[at + 1] = 0xFB;                              // MPEG-1, layer III, no CRC
    file[at + 2] = static_cast<uint8_t>(bitRateIndex << 4);  // 44.1 kHz, no padding
    file[at + 3] = 0x00;                              // stereo
}

// Three frames of one rate (what fooled a constant-rate guess), then a mix.
std::vector<uint8_t> VbrFrames(size_t count) {
    std::vector<uint8_t> file;
    for (size_t i = 0; i < count; ++i) AppendFrame(file, i < 3 ? Kbps128 : (i % 5 == 0 ? Kbps64 : Kbps320));
    return file;
}

void Append(std::vector<uint8_t>& file, const std::string& text) { file.insert(file.end(), text.begin(), text.end()); }

void AppendLe32(std::vector<uint8_t>& file, uint32_t v) {
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void AppendApeTag(std::vector<uint8_t>& file) {
    const std::string item = "Title\0Song";  // stands for the items; only sizes matter
    for (bool footer : {false, true}) {
        Append(file, "APETAGEX");
        AppendLe32(file, 2000);                       // version
        AppendLe32(file, 32 + 40);                    // items and footer
        AppendLe32(file, 1);                          // item count
        AppendLe32(file, 0x80000000u | (footer ? 0 : 0x20000000u));  // has a header
        file.insert(file.end(), 8, 0);                // reserved
        if (!footer) file.insert(file.end(), 40, 'x');
    }
}

void AppendLyrics3v2(std::vector<uint8_t>& file) {
    std::string body = "LYRICSBEGININD0000210LYR00011[00:01]la la";
    char size[7];
    std::snprintf(size, sizeof size, "%06zu", body.size());
    Append(file, body + size + "LYRICS200");
}

void AppendId3v1(std::vector<uint8_t>& file) {
    Append(file, "TAG");
    file.insert(file.end(), 125, 'y');
}

uint64_t ProbedFrames(const std::vector<uint8_t>& file) {
    ReadAtFn read = [&](uint64_t at, uint8_t* buffer, uint32_t bytes) -> uint32_t {
        if (at >= file.size()) return 0;
        uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(bytes, file.size() - at));
        std::memcpy(buffer, file.data() + at, n);
        return n;
    };
    ProbedStream probed;
    return ProbeStream(read, file.size(), &probed) ? probed.Frames : 0;
}

TEST(Mp3Length, CountsTheFramesOfAVbrFileAndLeavesTheTagsOut) {
    constexpr size_t Frames = 400;
    struct Case {
        const char* Name;
        void (*Tail)(std::vector<uint8_t>&);
    } cases[] = {
        {"no tags", [](std::vector<uint8_t>&) {}},
        {"ID3v1", AppendId3v1},
        {"APEv2 and ID3v1", [](std::vector<uint8_t>& f) { AppendApeTag(f); AppendId3v1(f); }},
        {"Lyrics3 and ID3v1", [](std::vector<uint8_t>& f) { AppendLyrics3v2(f); AppendId3v1(f); }},
        {"Lyrics3, APEv2 and ID3v1", [](std::vector<uint8_t>& f) { AppendLyrics3v2(f); AppendApeTag(f); AppendId3v1(f); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<uint8_t> file = VbrFrames(Frames);
        c.Tail(file);
        EXPECT_EQ(ProbedFrames(file), Frames * SamplesPerFrame);
    }
}

// Every layer's frames are walked at their true lengths: Layer I counts in
// four-byte slots, so a length rounded in bytes lands inside the next frame.
TEST(Mp3Length, CountsTheFramesOfEachLayer) {
    struct Case {
        const char* Name;
        uint8_t B1, B2, B3;
        size_t FrameBytes;
        uint64_t Samples;
    } cases[] = {
        {"MPEG-1 layer I, 448 kbit/s, padded", 0xFF, 0xE2, 0x80, 488, 384},
        {"MPEG-1 layer I, 32 kbit/s", 0xFF, 0x10, 0x00, 32, 384},
        {"MPEG-1 layer II, 384 kbit/s, 48 kHz", 0xFD, 0xE4, 0x40, 1152, 1152},
        {"MPEG-2 layer III, 40 kbit/s, mono", 0xF3, 0x50, 0xC4, 130, 576},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<uint8_t> file;
        for (int i = 0; i < 40; ++i) {
            size_t at = file.size();
            file.resize(at + c.FrameBytes, 0);
            file[at] = 0xFF;
            file[at + 1] = c.B1;
            file[at + 2] = c.B2;
            file[at + 3] = c.B3;
        }
        EXPECT_EQ(ProbedFrames(file), 40 * c.Samples);
    }
}

TEST(Mp3Length, HostileTagSizesGiveNoLengthBeyondTheFile) {
    std::vector<uint8_t> file = VbrFrames(50);
    Append(file, "999999LYRICS200");  // a size larger than the file
    EXPECT_EQ(ProbedFrames(file), 0u);
    std::vector<uint8_t> truncated = VbrFrames(50);
    truncated.resize(truncated.size() - 100);  // the last frame cut short
    EXPECT_EQ(ProbedFrames(truncated), 49u * SamplesPerFrame);
}

}  // namespace
