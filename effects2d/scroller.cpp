#include "effects2d/scroller.h"

#include <algorithm>
#include <cstring>

#include "effects2d/glyphs.h"
#include "runtime/ticks.h"

namespace vantrose {

uint8_t* scroll_target = nullptr;
uint8_t* scroll_font = nullptr;
uint8_t* scroll_pal = nullptr;
uint32_t scroll_done = 0;
uint32_t text_pos = 0;

namespace {

constexpr uint8_t eol = end_of_line;
constexpr uint8_t eot = end_of_text;

} // namespace

// Each line: the leading spaces that centre it, the name, the end of the line.
// clang-format off
const uint8_t greetings_text[794] = {
    // 8 spaces, "Group greets go to:"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'G', 'r', 'o', 'u', 'p', ' ', 'g', 'r', 'e', 'e', 't',
    's', ' ', 'g', 'o', ' ', 't', 'o', ':', eol,
    // empty
    eol,
    // 10 spaces, "Copper Heron"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'C', 'o', 'p', 'p', 'e', 'r', ' ', 'H', 'e',
    'r', 'o', 'n', eol,
    // 8 spaces, "Velvet Oscillator Labs"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'V', 'e', 'l', 'v', 'e', 't', ' ', 'O', 's', 'c', 'i',
    'l', 'l', 'a', 't', 'o', 'r', ' ', 'L', 'a', 'b', 's', eol,
    // 10 spaces, "Moss Protocol"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'M', 'o', 's', 's', ' ', 'P', 'r', 'o', 't',
    'o', 'c', 'o', 'l', eol,
    // 18 spaces, "Tolva"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'T',
    'o', 'l', 'v', 'a', eol,
    // 8 spaces, "Nimbus Foundry"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'N', 'i', 'm', 'b', 'u', 's', ' ', 'F', 'o', 'u', 'n',
    'd', 'r', 'y', eol,
    // 10 spaces, "Pixel Orchard"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'P', 'i', 'x', 'e', 'l', ' ', 'O', 'r', 'c',
    'h', 'a', 'r', 'd', eol,
    // 8 spaces, "Saffron Vectors"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'S', 'a', 'f', 'f', 'r', 'o', 'n', ' ', 'V', 'e', 'c',
    't', 'o', 'r', 's', eol,
    // 9 spaces, "Hollow Lattice"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'H', 'o', 'l', 'l', 'o', 'w', ' ', 'L', 'a', 't',
    't', 'i', 'c', 'e', eol,
    // 8 spaces, "Quiet Magnetron"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'Q', 'u', 'i', 'e', 't', ' ', 'M', 'a', 'g', 'n', 'e',
    't', 'r', 'o', 'n', eol,
    // 10 spaces, "Amber Raster"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'A', 'm', 'b', 'e', 'r', ' ', 'R', 'a', 's',
    't', 'e', 'r', eol,
    // 10 spaces, "Lunar Ferrule"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'L', 'u', 'n', 'a', 'r', ' ', 'F', 'e', 'r',
    'r', 'u', 'l', 'e', eol,
    // 10 spaces, "Glass Abacus"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'G', 'l', 'a', 's', 's', ' ', 'A', 'b', 'a',
    'c', 'u', 's', eol,
    // 8 spaces, "Umber Sprite Co."
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'U', 'm', 'b', 'e', 'r', ' ', 'S', 'p', 'r', 'i', 't',
    'e', ' ', 'C', 'o', '.', eol,
    // 17 spaces, "Ixora 9"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'I', 'x',
    'o', 'r', 'a', ' ', '9', eol,
    // 10 spaces, "Halcyon Sync"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'H', 'a', 'l', 'c', 'y', 'o', 'n', ' ', 'S',
    'y', 'n', 'c', eol,
    // 11 spaces, "Ochre Phase"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'O', 'c', 'h', 'r', 'e', ' ', 'P', 'h',
    'a', 's', 'e', eol,
    // 9 spaces, "Static Meadow"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'S', 't', 'a', 't', 'i', 'c', ' ', 'M', 'e', 'a',
    'd', 'o', 'w', eol,
    // 10 spaces, "Brass Palette"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'B', 'r', 'a', 's', 's', ' ', 'P', 'a', 'l',
    'e', 't', 't', 'e', eol,
    // 8 spaces, "Indigo Gearbox"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'I', 'n', 'd', 'i', 'g', 'o', ' ', 'G', 'e', 'a', 'r',
    'b', 'o', 'x', eol,
    // 8 spaces, "Marrow Tracker"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'M', 'a', 'r', 'r', 'o', 'w', ' ', 'T', 'r', 'a', 'c',
    'k', 'e', 'r', eol,
    // 10 spaces, "Lichen Works"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'L', 'i', 'c', 'h', 'e', 'n', ' ', 'W', 'o',
    'r', 'k', 's', eol,
    // 9 spaces, "Cinder Modem"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'C', 'i', 'n', 'd', 'e', 'r', ' ', 'M', 'o', 'd',
    'e', 'm', eol,
    // 18 spaces, "Plinth"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'P',
    'l', 'i', 'n', 't', 'h', eol,
    // 11 spaces, "Polder Beam"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'P', 'o', 'l', 'd', 'e', 'r', ' ', 'B',
    'e', 'a', 'm', eol,
    // 9 spaces, "Juniper Dither"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'J', 'u', 'n', 'i', 'p', 'e', 'r', ' ', 'D', 'i',
    't', 'h', 'e', 'r', eol,
    // 10 spaces, "Wobble Forge"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'W', 'o', 'b', 'b', 'l', 'e', ' ', 'F', 'o',
    'r', 'g', 'e', eol,
    // 10 spaces, "Tangent Cafe"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'T', 'a', 'n', 'g', 'e', 'n', 't', ' ', 'C',
    'a', 'f', 'e', eol,
    // 10 spaces, "Zephyr Blitter"
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 'Z', 'e', 'p', 'h', 'y', 'r', ' ', 'B', 'l',
    'i', 't', 't', 'e', 'r', eol,
    // 29 spaces
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', eol,
    // 29 spaces
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', eol,
    // 29 spaces
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
    ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', eol,
    // empty
    eol,
    // empty
    eol,
    // empty
    eol,
    // empty
    eol,
    // empty
    eol,
    // empty
    eol,
    // the end
    eot,
};
// clang-format on

namespace {

constexpr uint32_t text_size = sizeof(greetings_text);
constexpr uint32_t texture_row = 256;
constexpr uint32_t bottom_row = 255 * texture_row;
constexpr uint32_t font_row = 320;

// Where the glyph of `code` lies in the font picture; false for codes without a glyph.
bool find_glyph(uint8_t code, Glyph& glyph, int& band_row) {
    if (code >= 'a' && code <= 'z') {
        glyph = glyphs_lower[code - 'a'];
        band_row = band_row_lower;
        return true;
    }
    if (code >= 'A' && code <= 'Z') {
        glyph = glyphs_upper[code - 'A'];
        band_row = band_row_upper;
        return true;
    }
    band_row = band_row_digits;
    if (code >= '0' && code <= '9') {
        glyph = glyphs_digits[code - '0'];
        return true;
    }
    for (int k = 0; digit_band_signs[k] != 0; ++k) {
        if (code == static_cast<uint8_t>(digit_band_signs[k])) {
            glyph = glyphs_digits[10 + k];
            return true;
        }
    }
    return false;
}

// Index of the first byte of the line after the one at `pos`. The end line has no successor:
// moving on from it stays on it, so nothing past the text is ever read.
uint32_t next_line(uint32_t pos) {
    uint32_t end = pos;
    while (end < text_size && greetings_text[end] < end_of_line) ++end;
    if (end < text_size && greetings_text[end] == end_of_line) return end + 1;
    return pos;
}

} // namespace

uint8_t draw_line_row(const uint8_t* line, uint32_t length, uint32_t r) {
    uint8_t* out = scroll_target + bottom_row;
    uint32_t x = 0;
    for (uint32_t k = 0; k < length; ++k) {
        const uint8_t code = line[k];
        if (code == end_of_line || code == end_of_text) return code;
        // Columns past 255 would run off the texture: a line too wide is cut at the edge.
        if (code == ' ') {
            const uint32_t n = std::min<uint32_t>(space_width, texture_row - x);
            std::memset(out + x, 0, n);
            x += n;
            continue;
        }
        Glyph glyph;
        int band_row;
        if (!find_glyph(code, glyph, band_row)) continue;
        const uint32_t n = std::min<uint32_t>(glyph.width, texture_row - x);
        std::memcpy(out + x, scroll_font + (band_row + r) * font_row + glyph.x, n);
        x += n;
    }
    return end_of_text;
}

void scroll_texture_up() {
    std::memmove(scroll_target, scroll_target + texture_row, bottom_row);
}

void draw_text_row() {
    uint32_t r = scroll_row.load();
    if (r > glyph_rows - 1) {
        // A timer step landing between the load and the exchange would only have pushed the
        // row further past the end of the line, which this reset absorbs anyway.
        scroll_row.exchange(0);
        r = 0;
        text_pos = next_line(text_pos);
    }
    const uint32_t pos = std::min(text_pos, text_size);
    const uint8_t end = draw_line_row(greetings_text + pos, text_size - pos, r);
    scroll_row.fetch_add(1);
    if (end == end_of_text) scroll_done = 1;
}

void scroller_frame() {
    scroll_texture_up();
    draw_text_row();
}

} // namespace vantrose
