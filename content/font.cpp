#include "content/font.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "content/quantize.h"
#include "content/text.h"
#include "effects2d/glyphs.h"

namespace vantrose {
namespace {

// Row of the baseline within a glyph's 31 rows: room for capitals above and descenders below.
constexpr int baseline_row = 23;

struct Band {
    int top;
    const Glyph* glyphs;
    std::string chars;
};

std::vector<Band> bands() {
    std::string lower, upper, digits;
    for (char c = 'a'; c <= 'z'; ++c) lower += c;
    for (char c = 'A'; c <= 'Z'; ++c) upper += c;
    for (char c = '0'; c <= '9'; ++c) digits += c;
    digits += digit_band_signs;
    return {{band_row_lower, glyphs_lower, lower},
            {band_row_upper, glyphs_upper, upper},
            {band_row_digits, glyphs_digits, digits}};
}

// Coverage of one character drawn into its box, narrowed until it leaves a gap of one
// pixel on each side.
void draw_glyph(Mask& page, char ch, int band_top, Glyph box) {
    TextStyle style{sans_bold, 28, 0.74f, 0};
    style.embolden = 0.9f;
    Mask m;
    int baseline = 0;
    const int room = std::max(2, int(box.width) - 2);
    for (int attempt = 0; attempt < 12; ++attempt) {
        m = text_mask(std::string(1, ch), style, 0, &baseline);
        if (m.w <= room) break;
        style.xscale *= float(room) / float(m.w) * 0.98f;
    }
    const int left = int(box.x) + (int(box.width) - m.w + 1) / 2;
    const int top = band_top + baseline_row - baseline;
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            const int px = left + x, py = top + y;
            // Ink stays inside the box: its columns and the band's 31 rows.
            if (px < int(box.x) || px >= int(box.x + box.width)) continue;
            if (py < band_top || py >= band_top + glyph_rows) continue;
            page.at(px, py) = std::max(page.at(px, py), m.at(x, y));
        }
}

} // namespace

Art scroller_font() {
    Mask ink(320, 200);
    for (const Band& b : bands())
        for (size_t i = 0; i < b.chars.size(); ++i) draw_glyph(ink, b.chars[i], b.top, b.glyphs[i]);
    // Copper letters, gold at the top and deep copper at the foot, bevelled and lit from above.
    const Stops face = {{0.0f, hex(0xfff0b0)},
                        {0.3f, hex(0xf0b060)},
                        {0.62f, hex(0xc8642a)},
                        {1.0f, hex(0x7a2c10)}};
    Mask gloss;
    const Mask light = bevel_light(ink, 1, 4, -0.8f, -1.4f, &gloss);
    Canvas c(320, 200);
    Mask alpha(320, 200);
    for (const Band& b : bands())
        for (int y = b.top; y < b.top + glyph_rows; ++y)
            for (int x = 0; x < 320; ++x) {
                const float a = ink.at(x, y);
                if (a < 0.04f) continue;
                const float t = float(y - b.top - 3) / float(baseline_row - 3);
                Rgb p = gradient(face, t) * std::min(1.25f, light.at(x, y));
                p = screen(p, hex(0xffffff) * (0.6f * gloss.at(x, y)));
                c.at(x, y) = clamp01(p) * std::min(1.0f, a * 1.15f);
                alpha.at(x, y) = 1;
            }
    Art out;
    out.image = quantize(c, out.palette, 1, 255, 0.0f, &alpha);
    return out;
}

} // namespace vantrose
