// The dialogs' bitmap font: an 8-point face of DejaVu at 96 dots an inch, glyph by glyph.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "content/archive_writer.h"

namespace vantrose {

struct BitmapGlyph {
    int left = 0, top = 0; // the ink's first column right of the pen, first row above the baseline
    int w = 0, h = 0;      // the ink's size
    int advance = 0;       // the pen's step, whole pixels
    uint32_t offset = 0;   // the ink's first byte in the coverage, row-major
};

struct BitmapFont {
    int height = 0, ascent = 0;      // a line's rows, and the baseline's row in it
    std::vector<BitmapGlyph> glyphs; // characters 32..126
    Bytes coverage;                  // 0 paper .. 255 ink
};

// The font file at 8 points, hinted as a screen font is, rendered with grey edges.
BitmapFont make_dialog_font(const char* file);

// The C++ source of one font as the declarations of resources/resources.h name it.
std::string dialog_font_source(const BitmapFont& font, const std::string& name);

} // namespace vantrose
