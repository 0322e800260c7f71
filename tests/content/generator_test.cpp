// The generator as the build runs it: same bytes every run, resources, command line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "archive_reader.h"
#include "content/archive_writer.h"
#include "resources/resources.h"

namespace fs = std::filesystem;
using archive_test::Bytes;

namespace {

int run(const std::string& args) {
    const std::string cmd = std::string(VANTROSE_CONTENT_BIN) + " " + args + " >/dev/null 2>&1";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

fs::path scratch(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() /
                         ("vantrose-content-test-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    return dir;
}

} // namespace

TEST(Generator, TwoRunsWriteTheSameBytes) {
    const fs::path a = scratch("a"), b = scratch("b");
    ASSERT_EQ(run("--out " + a.string() + " --resources " + (a / "res.cpp").string()), 0);
    ASSERT_EQ(run("--out " + b.string() + " --resources " + (b / "res.cpp").string()), 0);
    for (const char* file : {"vantrose.dat", "vantrose.s3m", "res.cpp"}) {
        const Bytes first = archive_test::read_file((a / file).string());
        const Bytes second = archive_test::read_file((b / file).string());
        EXPECT_FALSE(first.empty() && std::string(file) != "vantrose.s3m") << file;
        EXPECT_TRUE(first == second) << file << " differs between runs";
    }
    // The build's own copy came from the same generator.
    const Bytes built = archive_test::read_file(std::string(VANTROSE_DATA) + "/vantrose.dat");
    EXPECT_TRUE(built == archive_test::read_file((a / "vantrose.dat").string()));
    fs::remove_all(a);
    fs::remove_all(b);
}

TEST(Generator, RefusesAnUnknownOptionAndAMissingValue) {
    EXPECT_EQ(run("--bogus"), 2);
    EXPECT_EQ(run("--out"), 2);
}

TEST(Generator, ReportsAnUnwritableDestination) {
    EXPECT_EQ(run("--out /proc/vantrose-cannot-be-here"), 1);
}

TEST(RlePacking, RoundTripsThroughTheArchiveFormat) {
    // Every byte value, runs longer than one token, and literals next to runs.
    vantrose::Bytes data;
    uint32_t state = 12345;
    for (int i = 0; i < 5000; ++i) {
        state = state * 1103515245u + 12345u;
        const uint8_t v = uint8_t(state >> 24);
        const int run_length = (state >> 8) % 7 == 0 ? int((state >> 12) % 300) : 1;
        data.insert(data.end(), size_t(run_length), v);
    }
    for (int v = 0; v < 256; ++v) data.push_back(uint8_t(v));
    const vantrose::Bytes packed = vantrose::rle_pack(data);
    EXPECT_EQ(archive_test::rle_decode(packed.data(), packed.size()), data);
    // No token holds a run byte of 128 (a run of nothing), and every literal is below 128.
    for (size_t i = 0; i < packed.size();) {
        ASSERT_NE(packed[i], 128);
        i += packed[i] < 128 ? 1 : 2;
    }
}

TEST(RlePacking, DecoderRejectsARunCutShort) {
    const uint8_t cut[] = {5, 0x83};
    EXPECT_THROW(archive_test::rle_decode(cut, sizeof cut), std::runtime_error);
    const uint8_t nothing[] = {128, 9, 4};
    EXPECT_EQ(archive_test::rle_decode(nothing, sizeof nothing), (Bytes{4}));
}

TEST(BuildArchive, ManyEntriesReadBackThroughTheTrailer) {
    std::vector<vantrose::Bytes> entries;
    for (int i = 0; i < 40; ++i)
        entries.push_back(vantrose::Bytes(size_t(i * 37 % 300), uint8_t(i * 7)));
    const archive_test::Archive archive(vantrose::build_archive(entries));
    ASSERT_EQ(archive.count(), 40u);
    for (size_t i = 0; i < 40; ++i) EXPECT_EQ(archive.entry(i), entries[i]) << "entry " << i;
}

TEST(Resources, TitleBadgeUsesOnlyTransparencyAndTheBadgeGreys) {
    std::set<int> values(vantrose::title_badge, vantrose::title_badge + 110 * 25);
    EXPECT_TRUE(values.count(0)) << "the badge needs see-through pixels";
    int ink = 0;
    for (int v : values) {
        if (v == 0) continue;
        EXPECT_GE(v, 229);
        EXPECT_LE(v, 251);
    }
    for (uint8_t v : vantrose::title_badge) ink += v != 0;
    // Lettering, not a filled box or a few specks.
    EXPECT_GT(ink, 110 * 25 / 6);
    EXPECT_LT(ink, 110 * 25 * 2 / 3);
    // Both bright faces and the dark rim are there.
    EXPECT_TRUE(values.count(229) || values.count(230) || values.count(231));
    EXPECT_TRUE(values.count(249) || values.count(250) || values.count(251));
}

TEST(Resources, DialogPictureIsCopperOnBlack) {
    const uint8_t* p = vantrose::dialog_picture;
    const int n = 213 * 133;
    int black = 0, copper = 0;
    for (int i = 0; i < n; ++i) {
        const int r = p[i * 3], g = p[i * 3 + 1], b = p[i * 3 + 2];
        if (r + g + b < 24) ++black;
        if (r > 120 && r > g && g > b) ++copper;
    }
    // Corners are black; the lettering is warm.
    EXPECT_LT(p[0] + p[1] + p[2], 10);
    EXPECT_GT(black, n / 3);
    EXPECT_GT(copper, n / 20);
}

TEST(Resources, ThreeCreditLinesShortEnoughForTheAboutBox) {
    for (const char* line : vantrose::about_credits) {
        ASSERT_NE(line, nullptr);
        EXPECT_GT(std::string(line).size(), 8u);
        EXPECT_LE(std::string(line).size(), 52u);
    }
}
