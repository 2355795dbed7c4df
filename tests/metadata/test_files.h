#pragma once
// Temporary files for reader tests: bytes built in a test are written to a
// file of their own (unique name, chosen extension) that goes away with the
// object.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

class TempFile {
public:
    // extension without the dot ("mp3"); empty for a name without one.
    TempFile(std::span<const uint8_t> bytes, std::string_view extension)
    {
        static std::atomic<unsigned> counter{0};
        static const unsigned processTag = std::random_device{}();
        std::string name = "tamber_test_" + std::to_string(processTag) + "_" + std::to_string(counter++);
        if (!extension.empty()) {
            name += '.';
            name.append(extension);
        }
        FilePath = std::filesystem::temp_directory_path() / name;
        Write(bytes);
    }
    TempFile(const std::vector<uint8_t>& bytes, std::string_view extension)
        : TempFile(std::span<const uint8_t>(bytes), extension)
    {
    }
    ~TempFile()
    {
        std::error_code ignored;
        std::filesystem::remove(FilePath, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // The path as program text (ASCII: the temp folder and the generated name).
    std::string Path() const { return FilePath.string(); }
    const std::filesystem::path& FsPath() const { return FilePath; }

    // Replaces the file's content.
    void Write(std::span<const uint8_t> bytes) const
    {
        std::ofstream out(FilePath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    // Replaces the content with head, holeBytes zero bytes and tail. The hole
    // is left sparse (nothing written), so a file can claim gigabytes cheaply.
    void WriteWithHole(std::span<const uint8_t> head, uint64_t holeBytes, std::span<const uint8_t> tail) const
    {
        Write(head);
        std::ofstream out(FilePath, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(static_cast<std::streamoff>(head.size() + holeBytes));
        out.write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
    }

private:
    std::filesystem::path FilePath;
};

// Bytes of a text literal, without the terminating NUL ("ID3" -> 49 44 33).
inline std::vector<uint8_t> Bytes(std::string_view text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}
