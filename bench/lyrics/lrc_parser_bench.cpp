// Parsing cost of large lyric files. The generated file looks like a long
// bilingual LRC: every original line is followed by its translation at the
// same time, a few lines stand out of order and every tenth carries two tags.

#include "lrc/lrc_file.h"
#include "lrc/lrc_parser.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

std::u16string GenerateLrc(int lineCount)
{
    std::u16string file = u"[ti:\u6B4C\u540D]\r\n[ar:\u6B4C\u624B]\r\n[offset:0]\r\n";
    char tag[32];
    for (int i = 0; i < lineCount; ++i) {
        // Pairs share a time; every 50th pair is moved back a little.
        const int centiseconds = (i / 2) * 150 - ((i / 2) % 50 == 49 ? 400 : 0);
        std::snprintf(tag, sizeof tag, "[%02d:%02d.%02d]", centiseconds / 6000, centiseconds / 100 % 60,
                      centiseconds % 100);
        file.append(tag, tag + std::char_traits<char>::length(tag));
        if (i % 20 == 0) {
            std::snprintf(tag, sizeof tag, "[%02d:%02d.%02d]", centiseconds / 6000 + 100, centiseconds / 100 % 60,
                          centiseconds % 100);
            file.append(tag, tag + std::char_traits<char>::length(tag));
        }
        if (i % 2 == 0)
            file += u"\u8FD9\u662F\u4E00\u884C\u6B4C\u8BCD\u3000\u6211\u4EEC\u4E00\u8D77\u5531";  // 这是一行歌词　我们一起唱
        else
            file += u"  This is the translated line, sung together  ";
        file += u"\r\n";
    }
    return file;
}

void ParseLrcLines(benchmark::State& state)
{
    const std::u16string file = GenerateLrc(static_cast<int>(state.range(0)));
    size_t entries = 0;
    for (auto _ : state) {
        const std::vector<LrcLine> lines = ParseLrc(file);
        entries = lines.size();
        benchmark::DoNotOptimize(lines.data());
    }
    state.counters["entries"] = static_cast<double>(entries);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size() * sizeof(char16_t)));
}

// The whole path of the library but the file system: UTF-8 bytes with a mark
// decoded, then parsed.
void DecodeAndParseUtf8(benchmark::State& state)
{
    const std::u16string text = GenerateLrc(static_cast<int>(state.range(0)));
    std::string bytes = "\xEF\xBB\xBF";
    for (const char16_t unit : text) {
        if (unit < 0x80) {
            bytes.push_back(static_cast<char>(unit));
        } else {  // the generated text holds no surrogates
            bytes.push_back(static_cast<char>(0xE0 | unit >> 12));
            bytes.push_back(static_cast<char>(0x80 | (unit >> 6 & 0x3F)));
            bytes.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        }
    }
    for (auto _ : state) {
        const std::optional<std::u16string> decoded = DecodeLrcBytes(bytes, 0, LrcTextInCodePage);
        const std::vector<LrcLine> lines = ParseLrc(*decoded);
        benchmark::DoNotOptimize(lines.data());
    }
}

}  // namespace

BENCHMARK(ParseLrcLines)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeAndParseUtf8)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
