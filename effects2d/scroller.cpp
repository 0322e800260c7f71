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

// Each line: the leading spaces that centre it, the text, the end of the line; the end of the
// text alone on the last line.
constexpr char greetings_lines[] = "        Group greets go to:\xFE"
                                   "\xFE"
                                   "          Copper Heron\xFE"
                                   "        Velvet Oscillator Labs\xFE"
                                   "          Moss Protocol\xFE"
                                   "                  Tolva\xFE"
                                   "        Nimbus Foundry\xFE"
                                   "          Pixel Orchard\xFE"
                                   "        Saffron Vectors\xFE"
                                   "         Hollow Lattice\xFE"
                                   "        Quiet Magnetron\xFE"
                                   "          Amber Raster\xFE"
                                   "          Lunar Ferrule\xFE"
                                   "          Glass Abacus\xFE"
                                   "        Umber Sprite Co.\xFE"
                                   "                 Ixora 9\xFE"
                                   "          Halcyon Sync\xFE"
                                   "           Ochre Phase\xFE"
                                   "         Static Meadow\xFE"
                                   "          Brass Palette\xFE"
                                   "        Indigo Gearbox\xFE"
                                   "        Marrow Tracker\xFE"
                                   "          Lichen Works\xFE"
                                   "         Cinder Modem\xFE"
                                   "                  Plinth\xFE"
                                   "           Polder Beam\xFE"
                                   "         Juniper Dither\xFE"
                                   "          Wobble Forge\xFE"
                                   "          Tangent Cafe\xFE"
                                   "          Zephyr Blitter\xFE"
                                   "                             \xFE"
                                   "                             \xFE"
                                   "                             \xFE"
                                   "\xFE"
                                   "\xFE"
                                   "\xFE"
                                   "\xFE"
                                   "\xFE"
                                   "\xFE"
                                   "\xFF";
static_assert(sizeof(greetings_lines) == 794 + 1, "the text and the literal's own zero");

struct GreetingsBytes {
    uint8_t bytes[794];
};

consteval GreetingsBytes greetings_bytes() {
    GreetingsBytes text{};
    for (size_t i = 0; i < 794; ++i) text.bytes[i] = static_cast<uint8_t>(greetings_lines[i]);
    return text;
}

constexpr GreetingsBytes greetings_storage = greetings_bytes();

} // namespace

const uint8_t (&greetings_text)[794] = greetings_storage.bytes;

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
