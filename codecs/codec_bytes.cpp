#include <algorithm>
#include <cstring>

#include "codecs/codec_source.h"

namespace {

class FileSource final : public CodecBytes {
public:
    explicit FileSource(InputFile file) : File(std::move(file)) {}
    uint64_t Size() const override { return File.Size(); }
    size_t ReadAt(uint64_t offset, std::span<uint8_t> out) const override { return File.ReadAt(offset, out); }

private:
    InputFile File;
};

class MemorySource final : public CodecBytes {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : Bytes(bytes) {}
    uint64_t Size() const override { return Bytes.size(); }
    size_t ReadAt(uint64_t offset, std::span<uint8_t> out) const override {
        if (offset >= Bytes.size()) return 0;
        size_t count = static_cast<size_t>(std::min<uint64_t>(out.size(), Bytes.size() - offset));
        std::memcpy(out.data(), Bytes.data() + offset, count);
        return count;
    }

private:
    std::span<const uint8_t> Bytes;
};

}  // namespace

std::unique_ptr<CodecBytes> FileBytes(InputFile file) {
    if (!file.IsOpen()) return nullptr;
    return std::make_unique<FileSource>(std::move(file));
}

std::unique_ptr<CodecBytes> MemoryBytes(std::span<const uint8_t> bytes) { return std::make_unique<MemorySource>(bytes); }
