#include "ui/text_formats.h"

#include "graphics/graphics_device.h"
#include "ui/report_error.h"

#include <string>

TextFormatLayer gRegular14Format;
TextFormatLayer gTitleFormat;
TextFormatLayer gBodyFormat;
TextFormatLayer gSmallFormat;
TextFormatLayer gLyricMainCurrentFormat;
TextFormatLayer gLyricMainFormat;
TextFormatLayer gLyricSecondCurrentFormat;
TextFormatLayer gLyricSecondFormat;
TextFormatLayer gPageTitleFormat;
TextFormatLayer gRegular20Format;
TextFormatLayer gSectionTitleFormat;
TextFormatLayer gCaptionFormat;

namespace {

constexpr const char* FontFamily = "Microsoft Yahei UI";

struct FormatSpec {
    TextFormatLayer* Format;
    DWRITE_FONT_WEIGHT Weight;
    float Size;
    DWRITE_TEXT_ALIGNMENT Alignment;
    DWRITE_WORD_WRAPPING Wrapping;
};

constexpr DWRITE_FONT_WEIGHT Regular = DWRITE_FONT_WEIGHT_NORMAL;
constexpr DWRITE_FONT_WEIGHT Bold = DWRITE_FONT_WEIGHT_BOLD;
constexpr DWRITE_TEXT_ALIGNMENT Leading = DWRITE_TEXT_ALIGNMENT_LEADING;
constexpr DWRITE_TEXT_ALIGNMENT Centre = DWRITE_TEXT_ALIGNMENT_CENTER;
constexpr DWRITE_WORD_WRAPPING NoWrap = DWRITE_WORD_WRAPPING_NO_WRAP;
constexpr DWRITE_WORD_WRAPPING Wrap = DWRITE_WORD_WRAPPING_WRAP;

}  // namespace

void CreateTextFormats() {
    const FormatSpec specs[] = {
        {&gRegular14Format, Regular, 14, Leading, NoWrap},
        {&gTitleFormat, Bold, 18, Leading, NoWrap},
        {&gBodyFormat, Regular, 15, Leading, NoWrap},
        {&gSmallFormat, Regular, 11, Leading, NoWrap},
        {&gLyricMainCurrentFormat, Bold, 17, Centre, Wrap},
        {&gLyricMainFormat, Regular, 17, Centre, Wrap},
        {&gLyricSecondCurrentFormat, Bold, 15, Centre, Wrap},
        {&gLyricSecondFormat, Regular, 15, Centre, Wrap},
        {&gPageTitleFormat, Bold, 20, Leading, NoWrap},
        {&gRegular20Format, Regular, 20, Leading, NoWrap},
        {&gSectionTitleFormat, Bold, 17, Leading, NoWrap},
        {&gCaptionFormat, Regular, 13, Leading, NoWrap},
    };
    for (const FormatSpec& spec : specs) {
        if (!gDWriteFactory.CreateTextFormat(FontFamily, spec.Size, *spec.Format, spec.Weight)) {
            ReportError(ReportLevelError, "TextFormatCreateFailed", std::to_string(gDWriteFactory.LastResult()).c_str(),
                        "TextFormats");
            continue;
        }
        spec.Format->SetTextAlignment(spec.Alignment);
        spec.Format->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);
        spec.Format->SetWordWrapping(spec.Wrapping);
    }
}
