#include "codecs/mod/module_format.h"

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

}  // namespace

ModuleFormat ModuleFormatOf(std::span<const uint8_t> head) {
    if (Has(head, 0, XmMagic)) return ModuleFormat::Xm;
    if (Has(head, 0, ItMagic)) return ModuleFormat::It;
    if (Has(head, S3mMagicAt, S3mMagic)) return ModuleFormat::S3m;
    if (head.size() >= ModTagAt + ModTagBytes &&
        IsModTag(std::string_view(reinterpret_cast<const char*>(head.data() + ModTagAt), ModTagBytes)))
        return ModuleFormat::Mod;
    return ModuleFormat::None;
}
