#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "effects2d/glyphs.h"
#include "effects2d/pulse_rotozoom.h"
#include "effects2d/scroller.h"
#include "runtime/ticks.h"
#include "tests/effects2d/rotozoom_helpers.h"

using namespace vantrose;
using namespace rotozoom_test;

namespace {

using Line = std::string;

// The text split at its line ends, up to (not including) the end byte.
std::vector<Line> text_lines() {
    std::vector<Line> lines(1);
    for (uint8_t c : greetings_text) {
        if (c == 0xFF) break;
        if (c == 0xFE) {
            lines.emplace_back();
        } else {
            lines.back() += static_cast<char>(c);
        }
    }
    lines.pop_back(); // the end line
    return lines;
}

const Glyph* glyph_of(char c, int& band) {
    if (c >= 'a' && c <= 'z') return band = 0, &glyphs_lower[c - 'a'];
    if (c >= 'A' && c <= 'Z') return band = 40, &glyphs_upper[c - 'A'];
    band = 75;
    if (c >= '0' && c <= '9') return &glyphs_digits[c - '0'];
    const std::string signs = "!?:.,+-/";
    const size_t k = signs.find(c);
    return k == std::string::npos ? nullptr : &glyphs_digits[10 + k];
}

int line_width(const Line& line) {
    int width = 0, band = 0;
    for (char c : line) {
        if (c == ' ') {
            width += 5;
        } else if (const Glyph* g = glyph_of(c, band)) {
            width += g->width;
        } else {
            ADD_FAILURE() << "no glyph for '" << c << "'";
        }
    }
    return width;
}

// Glyph row r of a line, pixel by pixel, as the font shows it.
Bytes pixel_row(const Bytes& font, const Line& line, int r) {
    Bytes row;
    int band = 0;
    for (char c : line) {
        if (c == ' ') {
            row.insert(row.end(), 5, 0);
        } else if (const Glyph* g = glyph_of(c, band)) {
            for (int x = 0; x < g->width; ++x) row.push_back(font[(band + r) * 320 + g->x + x]);
        }
    }
    return row;
}

// A font picture in which every pixel differs from its neighbours and none is 0.
Bytes synthetic_font() {
    Bytes font(65536, 0);
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x)
            font[y * 320 + x] = static_cast<uint8_t>(1 + (x * 7 + y * 13) % 250);
    }
    return font;
}

// For looking at: every glyph an outlined box in its own colour, one column of background on
// its right.
Bytes box_font() {
    Bytes font(65536, 0);
    auto draw = [&](const Glyph* glyphs, int count, int band, int colour) {
        for (int k = 0; k < count; ++k) {
            const Glyph& g = glyphs[k];
            for (int y = 3; y < 28; ++y) {
                for (int x = 0; x + 1 < g.width; ++x) {
                    const bool edge = y == 3 || y == 27 || x == 0 || x + 2 == g.width;
                    font[(band + y) * 320 + g.x + x] =
                        edge ? static_cast<uint8_t>(colour + 4 * k) : 0;
                }
            }
        }
    };
    draw(glyphs_lower, 26, band_row_lower, 10);
    draw(glyphs_upper, 26, band_row_upper, 120);
    draw(glyphs_digits, 18, band_row_digits, 180);
    return font;
}

// The texture after `frames` scroller frames from a clear texture, without timer steps: one
// line every 31 frames, each frame's bottom row is the one before with the line's pixels over
// its start.
Bytes reference_texture(const Bytes& font, int frames) {
    const std::vector<Line> lines = text_lines();
    std::vector<Bytes> bottoms;
    Bytes bottom(256, 0);
    for (int m = 0; m < frames; ++m) {
        const size_t line = m / 31;
        if (line < lines.size()) {
            const Bytes row = pixel_row(font, lines[line], m % 31);
            std::copy(row.begin(), row.end(), bottom.begin());
        }
        bottoms.push_back(bottom);
    }
    Bytes texture(65536, 0);
    for (int m = std::max(0, frames - 256); m < frames; ++m) {
        std::copy(bottoms[m].begin(), bottoms[m].end(),
                  texture.begin() + 256 * (255 - (frames - 1 - m)));
    }
    return texture;
}

struct ScrollerTest : ::testing::Test {
    Bytes texture = Bytes(80000, 0);
    Bytes font = synthetic_font();

    void SetUp() override {
        scroll_target = texture.data();
        scroll_font = font.data();
        text_pos = 0;
        scroll_row.store(0);
        scroll_done = 0;
        scroll_ticks = 0;
    }
    uint8_t* bottom() { return texture.data() + 255 * 256; }
    Bytes bottom_row() { return Bytes(bottom(), bottom() + 256); }
    uint32_t line_start(size_t line) {
        uint32_t pos = 0;
        for (size_t k = 0; k < line; ++k)
            pos = std::find(greetings_text + pos, greetings_text + 794, 0xFE) - greetings_text + 1;
        return pos;
    }
};

} // namespace

// ---------------------------------------------------------------------------------------------
// The greetings text

TEST(GreetingsText, Layout) {
    EXPECT_EQ(sizeof(greetings_text), 794u);
    EXPECT_EQ(greetings_text[793], 0xFF);
    EXPECT_EQ(greetings_text[792], 0xFE); // the end byte stands alone on its line
    EXPECT_EQ(std::count(greetings_text, greetings_text + 794, 0xFF), 1);

    const std::vector<Line> lines = text_lines();
    ASSERT_EQ(lines.size(), 39u);
    EXPECT_EQ(lines[0], "        Group greets go to:");
    EXPECT_EQ(lines[1], "");
    std::set<std::string> names;
    for (int k = 2; k < 30; ++k) {
        const Line& line = lines[k];
        const size_t lead = line.find_first_not_of(' ');
        ASSERT_NE(lead, std::string::npos) << k;
        EXPECT_GE(lead, 8u) << line;
        EXPECT_LE(lead, 19u) << line;
        EXPECT_NE(line.back(), ' ') << line;
        names.insert(line.substr(lead));
    }
    EXPECT_EQ(names.size(), 28u);
    for (int k = 30; k < 33; ++k) EXPECT_EQ(lines[k], std::string(29, ' '));
    for (int k = 33; k < 39; ++k) EXPECT_EQ(lines[k], "");
}

TEST(GreetingsText, EveryLineFitsTheTextureAndTheWidestFillsIt) {
    int widest = 0;
    for (const Line& line : text_lines()) {
        const int width = line_width(line);
        EXPECT_LE(width, 256) << line;
        widest = std::max(widest, width);
    }
    EXPECT_EQ(widest, 256);
}

// ---------------------------------------------------------------------------------------------
// Writing one row

TEST_F(ScrollerTest, FirstCallDrawsRowZeroOfTheTitle) {
    draw_text_row();
    const Bytes want = pixel_row(font, text_lines()[0], 0);
    ASSERT_EQ(want.size(), 233u);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), bottom()));
    EXPECT_EQ(scroll_row.load(), 1u);
    EXPECT_EQ(text_pos, 0u);
    EXPECT_EQ(scroll_done, 0u);
}

TEST_F(ScrollerTest, LineEndsAfter31RowsAndTheEmptyLineWritesNothing) {
    for (int n = 0; n < 31; ++n) draw_text_row();
    EXPECT_EQ(scroll_row.load(), 31u);
    EXPECT_EQ(text_pos, 0u);
    EXPECT_TRUE(std::equal(bottom(), bottom() + 233, pixel_row(font, text_lines()[0], 30).begin()));

    std::fill(bottom(), bottom() + 256, 0x42);
    draw_text_row();
    EXPECT_EQ(text_pos, 28u);
    EXPECT_EQ(scroll_row.load(), 1u);
    EXPECT_EQ(bottom_row(), Bytes(256, 0x42));
}

TEST_F(ScrollerTest, EmptyLineRepeatsTheLastRowOfTheLineBefore) {
    for (int n = 0; n < 62; ++n) scroller_frame();
    // Frame 31 drew the title's last row; frames 32 to 62 (the empty line) kept it.
    const Bytes last(texture.begin() + 224 * 256, texture.begin() + 225 * 256);
    for (int row = 225; row < 256; ++row) {
        EXPECT_TRUE(std::equal(last.begin(), last.end(), texture.begin() + row * 256)) << row;
    }
    EXPECT_FALSE(std::equal(last.begin(), last.end(), texture.begin() + 223 * 256));
}

TEST_F(ScrollerTest, LineOf29SpacesClearsColumns0To144Only) {
    text_pos = line_start(30);
    ASSERT_EQ(std::string(greetings_text + text_pos, greetings_text + text_pos + 29),
              std::string(29, ' '));
    std::fill(bottom(), bottom() + 256, 0x77);
    draw_text_row();
    for (int x = 0; x < 145; ++x) ASSERT_EQ(bottom()[x], 0) << x;
    for (int x = 145; x < 256; ++x) ASSERT_EQ(bottom()[x], 0x77) << x;
}

TEST_F(ScrollerTest, CodesWithoutGlyphAreSkippedInPlace) {
    const uint8_t with_hash[] = {'a', '#', 0x01, 0xFD, 'b', 0xFE};
    const uint8_t plain[] = {'a', 'b', 0xFE};
    EXPECT_EQ(draw_line_row(with_hash, sizeof with_hash, 3), 0xFE);
    const Bytes skipped = bottom_row();
    std::fill(bottom(), bottom() + 256, 0);
    draw_line_row(plain, sizeof plain, 3);
    EXPECT_EQ(skipped, bottom_row());
    EXPECT_EQ(bottom()[25], 0); // nothing beyond "ab" (12 + 13 pixels)
}

TEST_F(ScrollerTest, SignsUseTheDigitBand) {
    const uint8_t line[] = {'9', '!', '/', 0xFE};
    draw_line_row(line, sizeof line, 7);
    // '9' at 105 (12 wide), '!' at 117 (6), '/' at 170 (12), all from row 75 + 7.
    const uint8_t* band = font.data() + 82 * 320;
    EXPECT_TRUE(std::equal(band + 105, band + 117, bottom()));
    EXPECT_TRUE(std::equal(band + 117, band + 123, bottom() + 12));
    EXPECT_TRUE(std::equal(band + 170, band + 182, bottom() + 18));
    EXPECT_EQ(bottom()[30], 0);
}

TEST_F(ScrollerTest, TooWideLineIsCutAtTheTextureEdge) {
    // 40 'W' would be 640 pixels: the row stops at column 255, nothing past the texture moves.
    texture.resize(65536 + 64, 0);
    std::fill(texture.begin() + 65536, texture.end(), 0xAB);
    scroll_target = texture.data();
    Bytes line(40, 'W');
    line.push_back(0xFE);
    EXPECT_EQ(draw_line_row(line.data(), line.size(), 0), 0xFE);
    for (size_t k = 65536; k < texture.size(); ++k) ASSERT_EQ(texture[k], 0xAB);
    const Bytes full = pixel_row(font, std::string(40, 'W'), 0);
    EXPECT_TRUE(std::equal(full.begin(), full.begin() + 256, bottom()));

    // A glyph across the edge keeps its first columns; spaces are cut the same way.
    Bytes spaces(52, ' ');
    spaces.push_back(0xFE);
    std::fill(texture.begin() + 65536, texture.end(), 0xAB);
    draw_line_row(spaces.data(), spaces.size(), 0);
    for (size_t k = 65536; k < texture.size(); ++k) ASSERT_EQ(texture[k], 0xAB);
}

TEST_F(ScrollerTest, LineWithoutTerminatorEndsTheText) {
    const uint8_t line[] = {'a', 'b'};
    EXPECT_EQ(draw_line_row(line, sizeof line, 0), 0xFF);
}

// ---------------------------------------------------------------------------------------------
// Timer steps and the end

TEST_F(ScrollerTest, TimerStepSkipsAGlyphRow) {
    for (int n = 0; n < 5; ++n) draw_text_row();
    for (int t = 0; t < 18; ++t) scroll_tick();
    EXPECT_EQ(scroll_row.load(), 6u);
    draw_text_row();
    EXPECT_TRUE(std::equal(bottom(), bottom() + 233, pixel_row(font, text_lines()[0], 6).begin()));
}

TEST_F(ScrollerTest, TimerStepAt31StillMovesToTheNextLine) {
    for (int n = 0; n < 31; ++n) draw_text_row();
    for (int t = 0; t < 18; ++t) scroll_tick();
    EXPECT_EQ(scroll_row.load(), 32u);
    draw_text_row();
    EXPECT_EQ(text_pos, 28u);
    EXPECT_EQ(scroll_row.load(), 1u);
}

TEST_F(ScrollerTest, EndFlagOnTheFirstRowOfTheEndLine) {
    text_pos = 793;
    std::fill(bottom(), bottom() + 256, 0x31);
    draw_text_row();
    EXPECT_EQ(scroll_done, 1u);
    EXPECT_EQ(scroll_row.load(), 1u);
    EXPECT_EQ(bottom_row(), Bytes(256, 0x31));
}

TEST_F(ScrollerTest, WithoutTimerStepsTheEndComesOnCall1210) {
    for (int n = 1; n < 1210; ++n) {
        scroller_frame();
        ASSERT_EQ(scroll_done, 0u) << n;
    }
    scroller_frame();
    EXPECT_EQ(scroll_done, 1u);
    EXPECT_EQ(text_pos, 793u);
}

TEST_F(ScrollerTest, CallsAfterTheEndStayOnTheEndLine) {
    // The script stops at the flag; a scroller called on anyway must not walk off the text.
    text_pos = 793;
    for (int n = 0; n < 100; ++n) {
        draw_text_row();
        if (n % 7 == 0) scroll_row.store(40);
    }
    EXPECT_EQ(text_pos, 793u);
    EXPECT_EQ(scroll_done, 1u);
    text_pos = 5000;
    draw_text_row();
    EXPECT_EQ(scroll_done, 1u);
}

TEST_F(ScrollerTest, ScrollMovesRowsUpAndKeepsTheBottomRow) {
    for (int k = 0; k < 65536; ++k) texture[k] = static_cast<uint8_t>(k >> 8);
    std::fill(texture.begin() + 65536, texture.end(), 0x5C);
    scroll_texture_up();
    for (int row = 0; row < 255; ++row) ASSERT_EQ(texture[row * 256 + 17], row + 1);
    EXPECT_EQ(bottom_row(), Bytes(256, 255));
    for (size_t k = 65536; k < 80000; ++k) ASSERT_EQ(texture[k], 0x5C);
}

// ---------------------------------------------------------------------------------------------
// Golden textures, checked against a frame-by-frame rebuild from the text.

TEST_F(ScrollerTest, GoldenFrames1And2And100) {
    Checksums sums;
    for (int n = 1; n <= 100; ++n) {
        scroller_frame();
        if (n <= 2 || n == 100) {
            SCOPED_TRACE(n);
            const Bytes want = reference_texture(font, n);
            EXPECT_TRUE(std::equal(want.begin(), want.end(), texture.begin()));
        }
        if (n <= 2 || n == 100) sums[n] = checksum(texture.data(), 65536);
    }
    EXPECT_EQ(sums, (Checksums{{1, 6668467745233845313ull},
                               {2, 14646076699762633005ull},
                               {100, 14560289742249748614ull}}));
}

TEST_F(ScrollerTest, RebuildAgreesAfterAWholeScreenOfText) {
    for (int n = 1; n <= 700; ++n) scroller_frame();
    const Bytes want = reference_texture(font, 700);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), texture.begin()));
}

// The closing scene without its transfer: rotozoom of the texture, then the scroller.
TEST_F(ScrollerTest, PicturesOfTheClosingScene) {
    font = box_font();
    scroll_font = font.data();
    ClosingRotozoomState s{0, 0};
    Bytes frame(64000);
    bool written = true;
    for (int n = 1; n <= 600 && written; ++n) {
        closing_rotozoom_frame(s, texture.data(), frame.data());
        scroller_frame();
        if (n == 300)
            written = write_png("scroller_texture_300", texture.data(), 256, 256, test_palette());
        if (n == 300 || n == 500) {
            written =
                write_png("closing_" + std::to_string(n), frame.data(), 320, 200, test_palette());
        }
    }
    if (!written) GTEST_SKIP() << "set VANTROSE_PNG_DIR to write the pictures";
}
