// The closing scroller against a rebuild of its texture from the greetings text, frame by frame,
// and its specified edge cases: cut lines, codes without a glyph, timer steps, the end flag.
#include <gtest/gtest.h>

#include <algorithm>

#include "effects2d/glyphs.h"
#include "effects2d/scroller.h"
#include "runtime/ticks.h"
#include "tests/effects2d/support.h"

using namespace vantrose;
using namespace vantrose::effects_test;

namespace {

// The text's lines up to the end byte.
std::vector<std::string> text_lines() {
    std::vector<std::string> lines(1);
    for (uint8_t c : greetings_text) {
        if (c == end_of_text) break;
        if (c == end_of_line) lines.emplace_back();
        if (c != end_of_line) lines.back() += static_cast<char>(c);
    }
    lines.pop_back();
    return lines;
}

// Glyph row r of a line as the font shows it: spaces 5 wide, letters and signs by their bands.
Bytes pixel_row(const Bytes& font, const std::string& line, int r) {
    Bytes row;
    const std::string signs = "!?:.,+-/";
    for (char c : line) {
        const Glyph* g = nullptr;
        int band = band_row_digits;
        if (c >= 'a' && c <= 'z') g = &glyphs_lower[c - 'a'], band = band_row_lower;
        if (c >= 'A' && c <= 'Z') g = &glyphs_upper[c - 'A'], band = band_row_upper;
        if (c >= '0' && c <= '9') g = &glyphs_digits[c - '0'];
        if (signs.find(c) != std::string::npos) g = &glyphs_digits[10 + signs.find(c)];
        if (c == ' ') row.insert(row.end(), 5, 0);
        for (int x = 0; g && x < g->width; ++x) row.push_back(font[(band + r) * 320 + g->x + x]);
    }
    return row;
}

struct Scroller : ::testing::Test {
    Bytes texture = Bytes(80000, 0), font = noise(65536, 9);
    void SetUp() override {
        scroll_target = texture.data();
        scroll_font = font.data();
        text_pos = scroll_done = scroll_ticks = 0;
        scroll_row.store(0);
    }
    Bytes bottom_row() const { return Bytes(texture.begin() + 255 * 256, texture.begin() + 65536); }
};

} // namespace

TEST_F(Scroller, TextureIsTheTextRowAfterRowWhileItMovesUp) {
    // Without timer steps: one line every 31 frames; each frame's bottom row is the one before
    // with the line's row over its start, and the texture moves up one row a frame.
    const std::vector<std::string> lines = text_lines();
    ASSERT_EQ(lines.size(), 39u);
    std::vector<Bytes> bottoms;
    Bytes bottom(256, 0);
    for (int n = 1; n <= 1210; ++n) {
        ASSERT_EQ(scroll_done, 0u) << n;
        scroller_frame();
        const size_t line = (n - 1) / 31;
        if (line < lines.size()) {
            const Bytes row = pixel_row(font, lines[line], (n - 1) % 31);
            ASSERT_LE(row.size(), 256u) << lines[line];
            std::copy(row.begin(), row.end(), bottom.begin());
        }
        bottoms.push_back(bottom);
        if (n % 97 && n != 700) continue;
        Bytes want(65536, 0);
        for (int m = std::max(0, n - 256); m < n; ++m)
            std::copy(bottoms[m].begin(), bottoms[m].end(),
                      want.begin() + 256 * (255 - (n - 1 - m)));
        ASSERT_TRUE(std::equal(want.begin(), want.end(), texture.begin())) << "frame " << n;
    }
    EXPECT_EQ(scroll_done, 1u) << "the end comes on call 1210";
    EXPECT_TRUE(
        std::all_of(texture.begin() + 65536, texture.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(Scroller, CutLinesCodesWithoutGlyphsTimerStepsAndTheEnd) {
    // A line too wide stops at column 255; codes without a glyph are skipped in place.
    Bytes wide(40, 'W');
    wide.push_back(end_of_line);
    EXPECT_EQ(draw_line_row(wide.data(), uint32_t(wide.size()), 0), end_of_line);
    const Bytes full = pixel_row(font, std::string(40, 'W'), 0);
    EXPECT_EQ(bottom_row(), Bytes(full.begin(), full.begin() + 256));
    const uint8_t with_hash[] = {'a', '#', 0x01, 0xFD, 'b', end_of_line};
    draw_line_row(with_hash, sizeof with_hash, 3);
    const Bytes ab = pixel_row(font, "ab", 3);
    EXPECT_TRUE(std::equal(ab.begin(), ab.end(), bottom_row().begin()));
    const uint8_t unended[] = {'a', 'b'};
    EXPECT_EQ(draw_line_row(unended, sizeof unended, 0), end_of_text);
    // A line of 29 spaces clears columns 0..144 only.
    std::fill(texture.begin() + 255 * 256, texture.begin() + 65536, 0x77);
    const std::string spaces(29, ' ');
    draw_line_row(reinterpret_cast<const uint8_t*>(spaces.data()), 29, 0);
    EXPECT_EQ(bottom_row()[144], 0);
    EXPECT_EQ(bottom_row()[145], 0x77);
    // Every 18 ticks the timer skips a glyph row; a step at row 31 still moves to the next line.
    for (int n = 0; n < 31; ++n) draw_text_row();
    for (int t = 0; t < 18; ++t) scroll_tick();
    EXPECT_EQ(scroll_row.load(), 32u);
    draw_text_row();
    EXPECT_EQ(text_pos, 28u);
    EXPECT_EQ(scroll_row.load(), 1u);
    // The end byte sets the flag on its first row and the scroller stays there.
    text_pos = 793;
    for (int n = 0; n < 50; ++n) draw_text_row();
    EXPECT_EQ(scroll_done, 1u);
    EXPECT_EQ(text_pos, 793u);
}
