#pragma once
// The twelve DirectWrite text formats of the user interface, created once at
// window creation. Family "Microsoft Yahei UI", the user's default locale.

#include "graphics/graphics_layer.h"

extern TextFormatLayer gRegular14Format;
extern TextFormatLayer gTitleFormat;
extern TextFormatLayer gBodyFormat;
extern TextFormatLayer gSmallFormat;  // text alignment changed while drawing, leading at frame end
extern TextFormatLayer gLyricMainCurrentFormat;
extern TextFormatLayer gLyricMainFormat;
extern TextFormatLayer gLyricSecondCurrentFormat;
extern TextFormatLayer gLyricSecondFormat;
extern TextFormatLayer gPageTitleFormat;
extern TextFormatLayer gRegular20Format;
extern TextFormatLayer gSectionTitleFormat;
extern TextFormatLayer gCaptionFormat;

void CreateTextFormats();
