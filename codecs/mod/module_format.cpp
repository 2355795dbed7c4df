#include "codecs/mod/module_format.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

constexpr std::string_view XmMagic = "Extended Module: ";
constexpr std::string_view ItMagic = "IMPM";
constexpr size_t S3mMagicAt = 44;
constexpr std::string_view S3mMagic = "SCRM";
constexpr size_t ModTagAt = 1080;  // after the title, 31 sample headers and the order table
constexpr size_t ModTagBytes = 4;
// The 4-channel ProTracker tags and the multichannel ones of its successors.
constexpr std::string_view ModTags[] = {"M.K.", "M!K!", "M&K!", "FLT4", "FLT8", "CD81", "OKTA", "OCTA", "FA04", "FA06", "FA08"};

bool Has(std::span<const uint8_t> head, size_t at, std::string_view magic) {
    return head.size() >= at + magic.size() && std::string_view(reinterpret_cast<const char*>(head.data() + at), magic.size()) == magic;
}

bool IsModTag(std::string_view tag) {
    for (std::string_view known : ModTags)
        if (tag == known) return true;
    auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    // "6CHN" .. "9CHN", "10CH" .. "32CH", "TDZ4"
    if (digit(tag[0]) && tag.substr(1) == "CHN") return true;
    if (digit(tag[0]) && digit(tag[1]) && tag.substr(2) == "CH") return true;
    return tag.substr(0, 3) == "TDZ" && digit(tag[3]);
}

constexpr size_t ModSampleHeadersAt = 20;
constexpr size_t ModSampleHeaderBytes = 30;
constexpr size_t ModSampleLengthAt = 22;  // in a sample header: big-endian 16-bit words
constexpr size_t ModSamples = 31;
constexpr size_t ModOrdersAt = 952;
constexpr size_t ModOrders = 128;
constexpr size_t ModPatternRows = 64;
constexpr size_t ModNoteBytes = 4;
constexpr size_t ModTruncationSlackBytes = 1024;  // trackers cut the last sample short now and then

size_t ModChannels(std::string_view tag) {
    auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    if (tag == "FLT8" || tag == "CD81" || tag == "OKTA" || tag == "OCTA" || tag == "FA08") return 8;
    if (tag == "FA06") return 6;
    if (digit(tag[0]) && tag.substr(1) == "CHN") return static_cast<size_t>(tag[0] - '0');
    if (digit(tag[0]) && digit(tag[1]) && tag.substr(2) == "CH") return static_cast<size_t>((tag[0] - '0') * 10 + (tag[1] - '0'));
    if (tag.substr(0, 3) == "TDZ" && digit(tag[3])) return static_cast<size_t>(tag[3] - '0');
    return 4;
}

}  // namespace

bool ModSamplesFitFile(std::span<const uint8_t> file) {
    if (file.size() < ModTagAt + ModTagBytes) return false;
    size_t patterns = 0;
    for (size_t i = 0; i < ModOrders; ++i) patterns = std::max<size_t>(patterns, file[ModOrdersAt + i] + size_t{1});
    const size_t channels = ModChannels(std::string_view(reinterpret_cast<const char*>(file.data() + ModTagAt), ModTagBytes));
    uint64_t needed = ModTagAt + ModTagBytes + uint64_t{patterns} * ModPatternRows * channels * ModNoteBytes;
    for (size_t i = 0; i < ModSamples; ++i) {
        const uint8_t* header = file.data() + ModSampleHeadersAt + i * ModSampleHeaderBytes;
        needed += 2 * (uint64_t{header[ModSampleLengthAt]} << 8 | header[ModSampleLengthAt + 1]);
    }
    return needed <= file.size() + ModTruncationSlackBytes;
}

ModuleFormat ModuleFormatOf(std::span<const uint8_t> head) {
    if (Has(head, 0, XmMagic)) return ModuleFormat::Xm;
    if (Has(head, 0, ItMagic)) return ModuleFormat::It;
    if (Has(head, S3mMagicAt, S3mMagic)) return ModuleFormat::S3m;
    if (head.size() >= ModTagAt + ModTagBytes &&
        IsModTag(std::string_view(reinterpret_cast<const char*>(head.data() + ModTagAt), ModTagBytes)))
        return ModuleFormat::Mod;
    return ModuleFormat::None;
}
