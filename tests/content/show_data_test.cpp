// The generated archive, entry by entry: sizes, and what each effect needs of its data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "archive_reader.h"
#include "effects2d/glyphs.h"
#include "runtime/archive.h"

using archive_test::Archive;
using archive_test::Bytes;

namespace {

const Archive& show() {
    static const Archive archive(
        archive_test::read_file(std::string(VANTROSE_DATA) + "/vantrose.dat"));
    return archive;
}

const Bytes& entry(size_t i) {
    static std::vector<Bytes> cache;
    if (cache.empty())
        for (size_t k = 0; k < show().count(); ++k) cache.push_back(show().entry(k));
    return cache.at(i);
}

const std::vector<size_t> palettes = {1,  3,  5,  7,  9,  11, 13, 15, 17, 19, 21, 23, 25, 26,
                                      28, 30, 34, 37, 40, 42, 44, 46, 48, 49, 51, 53, 55};
const std::vector<size_t> frames = {0, 4, 6, 10, 12, 14, 18, 20, 22, 29, 31, 33};
const std::vector<size_t> hires = {27, 43, 54};
const std::vector<size_t> textures = {2, 8, 16, 36, 38, 39, 41, 45, 47, 50, 52};
const std::vector<size_t> textures_3d = {39, 41, 45, 47, 50, 52};

// Brightness of palette entry k, 0..63.
double luma(const Bytes& pal, int k) {
    return 0.3 * pal[size_t(k) * 3] + 0.59 * pal[size_t(k) * 3 + 1] + 0.11 * pal[size_t(k) * 3 + 2];
}

int channel_step(const Bytes& pal, int a, int b) {
    int worst = 0;
    for (int c = 0; c < 3; ++c)
        worst = std::max(worst, std::abs(int(pal[size_t(a) * 3 + size_t(c)]) -
                                         int(pal[size_t(b) * 3 + size_t(c)])));
    return worst;
}

} // namespace

TEST(ShowArchive, HoldsEveryEntryAndEachDecodesWhole) {
    ASSERT_EQ(show().count(), 56u);
    for (size_t i = 0; i < 56; ++i) EXPECT_NO_THROW(entry(i)) << "entry " << i;
    // Offsets are counted from the start of the file: entry 0 starts at position 0.
    EXPECT_EQ(show().data_base, show().file.size());
}

TEST(ShowArchive, EntrySizesAreThoseTheirUsersLoad) {
    for (size_t i : palettes) EXPECT_EQ(entry(i).size(), 768u) << "palette " << i;
    for (size_t i : frames) EXPECT_EQ(entry(i).size(), 64000u) << "picture " << i;
    for (size_t i : hires) EXPECT_EQ(entry(i).size(), 307200u) << "full-screen picture " << i;
    for (size_t i : textures) EXPECT_EQ(entry(i).size(), 65536u) << "texture " << i;
    EXPECT_EQ(entry(24).size(), 128000u);
    EXPECT_EQ(entry(35).size(), 128000u);
    EXPECT_EQ(entry(32).size(), 65024u); // wave map and the wave profile after it
    size_t listed = palettes.size() + frames.size() + hires.size() + textures.size() + 3;
    EXPECT_EQ(listed, 56u);
}

TEST(ShowArchive, PalettesHoldSixBitLevels) {
    for (size_t i : palettes)
        for (uint8_t v : entry(i)) ASSERT_LE(v, 63) << "palette " << i;
}

TEST(ShowArchive, PicturesUseManyColours) {
    // Full compositions: a picture that came out flat or nearly so is a fault of the generator.
    for (size_t i : hires) {
        std::set<uint8_t> used(entry(i).begin(), entry(i).end());
        EXPECT_GT(used.size(), 200u) << "picture " << i;
    }
    for (size_t i : {4, 10, 12, 14, 18, 29}) {
        std::set<uint8_t> used(entry(size_t(i)).begin(), entry(size_t(i)).end());
        EXPECT_GT(used.size(), 100u) << "picture " << i;
    }
}

TEST(ShowArchive, PictureFadesStartAndEndBlack) {
    // The full-screen pictures fade in from black and out to black through their palettes;
    // their darkest colour should be near black so the fade reads as light coming up.
    for (size_t p : {28, 44, 55}) {
        double darkest = 63;
        for (int k = 0; k < 256; ++k) darkest = std::min(darkest, luma(entry(p), k));
        EXPECT_LT(darkest, 4) << "palette " << p;
    }
}

TEST(LayeredRotozoomTextures, HaveHolesOfIndexZeroButAreNotEmpty) {
    for (size_t i : {2, 8}) {
        const Bytes& t = entry(i);
        const double holes = double(std::count(t.begin(), t.end(), 0)) / double(t.size());
        EXPECT_GT(holes, 0.3) << "texture " << i << " needs openings to fly through";
        EXPECT_LT(holes, 0.85) << "texture " << i << " needs a lattice to see";
    }
}

TEST(LayeredRotozoomTextures, TileSeamlessly) {
    // The rotozoom repeats the texture endlessly: the last column and row run on into the first.
    for (size_t i : {2, 8, 16, 36, 38, 39, 41}) {
        const Bytes& t = entry(i);
        int seams = 0, inner = 0;
        for (int k = 0; k < 256; ++k) {
            seams += t[size_t(k) * 256 + 255] != t[size_t(k) * 256] ? 1 : 0;
            inner += t[size_t(k) * 256 + 127] != t[size_t(k) * 256 + 128] ? 1 : 0;
        }
        // A seam may change colour no more often than the texture does anywhere else.
        EXPECT_LE(seams, inner + 40) << "texture " << i;
    }
}

TEST(TexturesOf3dScenes, AreMidToBright) {
    // The shade table brings the brightness; a dark texture would stay dark in the best light.
    for (size_t i : textures_3d) {
        const Bytes& t = entry(i);
        const Bytes& pal = entry(i + 1);
        double sum = 0;
        for (uint8_t v : t) sum += luma(pal, v);
        EXPECT_GT(sum / double(t.size()), 22.0) << "texture " << i;
    }
}

TEST(CycledPalettes, JoinTheirEndToTheirStart) {
    // Rotated every frame: any large step, the wrap from 255 to 0 included, would run across
    // the picture as a seam.
    for (size_t p : {21, 23, 25, 26, 49}) {
        const Bytes& pal = entry(p);
        for (int k = 0; k < 256; ++k)
            EXPECT_LE(channel_step(pal, k, (k + 1) & 255), 6) << "palette " << p << " entry " << k;
    }
}

TEST(Ripple, PictureStaysClearOfTheRampEnds) {
    // Indices move by -17..16 and wrap without clamping: 16..238 never wraps.
    const Bytes& pic = entry(33);
    const auto [lo, hi] = std::minmax_element(pic.begin(), pic.end());
    EXPECT_GE(*lo, 16);
    EXPECT_LE(*hi, 238);
}

TEST(Ripple, PaletteIsASmoothRisingRamp) {
    // A shift must read as light and shade: brightness rises with the index, in small steps.
    const Bytes& pal = entry(34);
    for (int k = 1; k < 256; ++k) {
        EXPECT_GE(luma(pal, k) + 0.6, luma(pal, k - 1)) << "entry " << k;
        EXPECT_LE(channel_step(pal, k - 1, k), 3) << "entry " << k;
    }
    EXPECT_GT(luma(pal, 238) - luma(pal, 16), 30);
}

TEST(Ripple, WaveMapAndProfileMakeRings) {
    const Bytes& wave = entry(32);
    // Wave positions spread over the whole byte range, so the rings cross the picture.
    const auto [lo, hi] = std::minmax_element(wave.begin(), wave.begin() + 64000);
    EXPECT_LT(*lo, 10);
    EXPECT_GT(*hi, 230);
    // The profile swings both ways and reaches the extremes the amplitude is made for.
    int low = 0, high = 0;
    for (size_t i = 64000; i < 65024; ++i) {
        low = std::min(low, int(int8_t(wave[i])));
        high = std::max(high, int(int8_t(wave[i])));
    }
    EXPECT_LT(low, -100);
    EXPECT_GT(high, 100);
    // Neighbouring pixels have neighbouring wave positions: the rings are smooth.
    int jumps = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 1; x < 320; ++x)
            jumps += std::abs(int(wave[size_t(y) * 320 + size_t(x)]) -
                              int(wave[size_t(y) * 320 + size_t(x) - 1])) > 3;
    EXPECT_EQ(jumps, 0);
}

TEST(MappingTables, CoverTheTextureAndChangeSmoothly) {
    for (size_t m : {24, 35}) {
        const Bytes& map = entry(m);
        std::set<uint8_t> us, vs;
        int rough = 0;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 320; ++x) {
                const size_t p = (size_t(y) * 320 + size_t(x)) * 2;
                us.insert(map[p]);
                vs.insert(map[p + 1]);
                if (x > 0) {
                    // Differences taken modulo 256: the texture wraps.
                    const int du = int(uint8_t(map[p] - map[p - 2]));
                    rough += std::min(du, 256 - du) > 16 ? 1 : 0;
                }
            }
        EXPECT_EQ(us.size(), 256u) << "map " << m;
        // Depth runs over at least half of the texture's rows.
        EXPECT_GT(vs.size(), 110u) << "map " << m;
        EXPECT_LT(rough, 64000 / 20) << "map " << m;
    }
}

TEST(TunnelMap, WallHasNoSeam) {
    // Round a circle about the middle the column byte runs through the texture a whole number
    // of times (one or more windings, nothing left over), so the wall closes without a seam.
    const Bytes& map = entry(24);
    int total = 0, previous = -1;
    for (int a = 0; a <= 720; ++a) {
        const double t = a * 2 * M_PI / 720;
        const long x = std::lround(160 + 80 * std::cos(t)), y = std::lround(100 + 80 * std::sin(t));
        const int u = map[(size_t(y) * 320 + size_t(x)) * 2];
        if (previous >= 0) total += int(uint8_t(u - previous + 128)) - 128;
        previous = u;
    }
    EXPECT_NE(total, 0);
    EXPECT_EQ(std::abs(total) % 256, 0);
}

TEST(ScrollerFont, EveryGlyphKeepsItsInkInsideItsBox) {
    const Bytes& font = entry(6);
    // Which pixels belong to some glyph box.
    std::vector<bool> inside(64000, false);
    auto mark = [&](int band, const vantrose::Glyph* glyphs, int n) {
        for (int g = 0; g < n; ++g) {
            int ink = 0;
            for (int y = band; y < band + vantrose::glyph_rows; ++y)
                for (int x = glyphs[g].x; x < glyphs[g].x + glyphs[g].width; ++x) {
                    inside[size_t(y) * 320 + size_t(x)] = true;
                    ink += font[size_t(y) * 320 + size_t(x)] != 0;
                }
            EXPECT_GT(ink, 12) << "band " << band << " glyph " << g << " is empty";
        }
    };
    mark(vantrose::band_row_lower, vantrose::glyphs_lower, 26);
    mark(vantrose::band_row_upper, vantrose::glyphs_upper, 26);
    mark(vantrose::band_row_digits, vantrose::glyphs_digits, 18);
    for (size_t p = 0; p < 64000; ++p) {
        if (!inside[p]) {
            ASSERT_EQ(font[p], 0) << "ink outside every box at x " << p % 320 << ", y " << p / 320;
        }
    }
}

TEST(ScrollerFont, GlyphsLeaveAGapToTheirNeighbours) {
    // Boxes are packed side by side; text reads only if the letters do not touch.
    const Bytes& font = entry(6);
    for (const auto& band : {std::pair{vantrose::band_row_lower, vantrose::glyphs_lower},
                             std::pair{vantrose::band_row_upper, vantrose::glyphs_upper}})
        for (int g = 0; g < 26; ++g) {
            const int right = band.second[g].x + band.second[g].width - 1;
            int ink = 0;
            for (int y = band.first; y < band.first + vantrose::glyph_rows; ++y)
                ink += font[size_t(y) * 320 + size_t(right)] != 0;
            EXPECT_LE(ink, 2) << "band " << band.first << " glyph " << g;
        }
}

TEST(ScrollerFont, BackgroundIsPaletteEntryZeroAndInkIsVisible) {
    const Bytes& pal = entry(7);
    EXPECT_LT(luma(pal, 0), 2);
    const Bytes& font = entry(6);
    double brightest = 0;
    for (uint8_t v : font) brightest = std::max(brightest, luma(pal, v));
    EXPECT_GT(brightest, 45);
}

TEST(ShowArchive, RuntimeLoaderReadsEveryEntryIntoTheBufferTheShowGivesIt) {
    // The capacities the show loads into: work buffers, buf3, palettes, the full-screen
    // picture, the mapping table; each entry must fit and read back as our reader has it.
    const std::string path = std::string(VANTROSE_DATA) + "/vantrose.dat";
    auto capacity = [](size_t i) -> size_t {
        if (std::find(palettes.begin(), palettes.end(), i) != palettes.end()) return 768;
        if (std::find(hires.begin(), hires.end(), i) != hires.end()) return 640 * 480;
        if (i == 24 || i == 35) return 128000;
        return 65536;
    };
    for (size_t i = 0; i < 56; ++i) {
        Bytes buffer(capacity(i), 0xAA);
        uint64_t decoded = 0;
        const vantrose::ArchiveStatus status =
            vantrose::load_entry_checked(path, uint32_t(i), buffer.data(), buffer.size(), &decoded);
        ASSERT_EQ(status, vantrose::ArchiveStatus::ok) << "entry " << i << ": " << vantrose::archive_status_text(status);
        ASSERT_EQ(decoded, entry(i).size()) << "entry " << i;
        EXPECT_TRUE(std::equal(entry(i).begin(), entry(i).end(), buffer.begin())) << "entry " << i;
    }
}
