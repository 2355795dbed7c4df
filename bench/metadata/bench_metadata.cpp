// ReadTrackInfo over a few hundred files per format, and TagLib reading
// title, artist, album and length of the same files, in one run. The files
// are copies of tests/fixtures/metadata/bench_seed.<ext>, made at start.

#include "metadata/track_info.h"

#include <benchmark/benchmark.h>

#ifdef TAMBER_BENCH_TAGLIB
#include <taglib/fileref.h>
#include <taglib/tag.h>
#endif

#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr int CopiesPerFormat = 200;
const char* const Formats[] = {"mp3", "flac", "ogg", "m4a", "wma"};

namespace fs = std::filesystem;

// The generated files, by extension; removed at exit.
class BenchFiles {
public:
    BenchFiles()
    {
        Dir = fs::temp_directory_path() / ("tamber_bench_metadata_" + std::to_string(fs::hash_value(fs::current_path()) ^ reinterpret_cast<uintptr_t>(this)));
        fs::create_directories(Dir);
        for (const char* ext : Formats) {
            const fs::path seed = fs::path(TAMBER_SOURCE_DIR) / "tests/fixtures/metadata" / (std::string("bench_seed.") + ext);
            if (!fs::exists(seed))
                continue;
            std::vector<std::string>& paths = ByFormat[ext];
            for (int i = 0; i < CopiesPerFormat; ++i) {
                const fs::path copy = Dir / (std::to_string(i) + "." + ext);
                fs::copy_file(seed, copy, fs::copy_options::overwrite_existing);
                paths.push_back(copy.string());
            }
        }
    }
    ~BenchFiles()
    {
        std::error_code ignored;
        fs::remove_all(Dir, ignored);
    }
    std::map<std::string, std::vector<std::string>> ByFormat;

private:
    fs::path Dir;
};

void ReadOurs(benchmark::State& state, const std::vector<std::string>* paths)
{
    for (auto _ : state) {
        for (const std::string& path : *paths) {
            TrackInfo info;
            ReadTrackInfo(path, info);
            benchmark::DoNotOptimize(info.Title.data());
            benchmark::DoNotOptimize(info.DurationText.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(paths->size()));
}

#ifdef TAMBER_BENCH_TAGLIB
void ReadTagLib(benchmark::State& state, const std::vector<std::string>* paths)
{
    for (auto _ : state) {
        for (const std::string& path : *paths) {
            TagLib::FileRef file(path.c_str(), true, TagLib::AudioProperties::Average);
            if (file.isNull() || !file.tag())
                continue;
            benchmark::DoNotOptimize(file.tag()->title().to8Bit(true));
            benchmark::DoNotOptimize(file.tag()->artist().to8Bit(true));
            benchmark::DoNotOptimize(file.tag()->album().to8Bit(true));
            if (file.audioProperties())
                benchmark::DoNotOptimize(file.audioProperties()->lengthInSeconds());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(paths->size()));
}
#endif

}  // namespace

int main(int argc, char** argv)
{
    BenchFiles files;
    for (const auto& [ext, paths] : files.ByFormat) {
        benchmark::RegisterBenchmark(("ReadTrackInfo/" + ext).c_str(), ReadOurs, &paths)->Unit(benchmark::kMillisecond);
#ifdef TAMBER_BENCH_TAGLIB
        benchmark::RegisterBenchmark(("TagLib/" + ext).c_str(), ReadTagLib, &paths)->Unit(benchmark::kMillisecond);
#endif
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
