// Text rendered with FreeType from the DejaVu fonts.
#pragma once
#include <string>

#include "content/raster.h"

namespace vantrose {

// Font files of the DejaVu family that every machine of ours has.
constexpr const char* sans = "DejaVuSans.ttf";
constexpr const char* sans_bold = "DejaVuSans-Bold.ttf";
constexpr const char* serif = "DejaVuSerif.ttf";
constexpr const char* serif_bold = "DejaVuSerif-Bold.ttf";

struct TextStyle {
    const char* font = sans_bold;
    float size = 16;     // em height in pixels
    float xscale = 1;    // horizontal stretch (below 1 condenses)
    float tracking = 0;  // extra pixels between letters
    float slant = 0;     // shear: x += slant * height above the baseline
    bool hinted = false; // grid-fitted outlines (crisper small text)
    float embolden = 0;  // pixels added to the stroke width
};

// Coverage of the text, `margin` empty pixels around its ink; `baseline` receives the row of the
// baseline in the mask and `origin` the column where the pen started.
Mask text_mask(const std::string& text, const TextStyle& style, int margin = 0,
               int* baseline = nullptr, int* origin = nullptr);

// Width of the text's ink in pixels.
int text_width(const std::string& text, const TextStyle& style);

// Coverage of the text drawn `ss` times larger and reduced again: smoother large lettering.
Mask text_mask_smooth(const std::string& text, const TextStyle& style, int ss, int margin = 0);

} // namespace vantrose
