// The content generator: RLE packing and the archive layout, the S3M writer (header fields and
// what libopenmpt reads back), the show's module timing and cuts, and the generated archive.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <stdexcept>

#include "content/archive_writer.h"
#include "content/compose.h"
#include "content/music.h"
#include "content/s3m_writer.h"
#include "content/synth.h"
#include "resources/resources.h"
#include "runtime/archive.h"

using namespace vantrose;

namespace {

uint32_t read16(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8;
}

// A module loaded by libopenmpt, keeping whatever it logs while loading.
struct Player {
    openmpt_module* mod = nullptr;
    std::string log;
    explicit Player(const Bytes& file) {
        auto logger = [](const char* message, void* user) {
            *static_cast<std::string*>(user) += std::string(message) + "\n";
        };
        mod = openmpt_module_create_from_memory2(file.data(), file.size(), logger, &log, nullptr,
                                                 nullptr, nullptr, nullptr, nullptr);
        if (!mod) throw std::runtime_error("libopenmpt cannot load the module");
    }
    ~Player() { openmpt_module_destroy(mod); }
    int command(int pattern, int row, int channel, int what) const {
        return openmpt_module_get_pattern_row_channel_command(mod, pattern, row, channel, what);
    }
};

// Two channels, two samples (the second looped, 16-bit extremes), two patterns, orders 1 0 1.
S3mModule tiny_module() {
    S3mModule m;
    m.title = "tiny";
    m.speed = 4;
    m.tempo = 160;
    m.pannings = {3, 12};
    m.samples = {S3mSample{"first", std::vector<int16_t>(100, 1000), 8363, 0, 0, 64},
                 S3mSample{"second", {-32768, -1, 0, 32767}, 22050, 1, 4, 40}};
    m.patterns.assign(2, S3mPattern(s3m_rows * 2));
    m.patterns[1][5 * 2 + 1] = {s3m_note(48), 2, 33, 'D' - 'A' + 1, 0x0F};
    m.orders = {1, 0, 1};
    return m;
}

int run_generator(const std::string& args) {
    const int status =
        std::system((std::string(VANTROSE_CONTENT_BIN) + " " + args + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(ArchiveWriter, PacksRunsAndLaysOutTheDirectoryBeforeTheTrailer) {
    EXPECT_EQ(rle_pack({5, 7, 7, 7, 0}), (Bytes{5, 128 + 3, 7, 0}));
    EXPECT_EQ(rle_pack({200}), (Bytes{129, 200})) << "high values only travel as runs";
    EXPECT_EQ(rle_pack(Bytes(300, 9)), (Bytes{255, 9, 255, 9, 128 + 46, 9})) << "runs split at 127";
    const Bytes file = build_archive({{1, 2}, {3}});
    ASSERT_EQ(file.size(), 3u + 16u + 8u);
    EXPECT_EQ(file[file.size() - 8], file.size()) << "offsets count from the start";
    EXPECT_EQ(file[file.size() - 4], 8 * 2 + 8);
    EXPECT_EQ(file[11], 2) << "entry 1 at offset 2";
    // The generator's command line: unknown options and unwritable folders are refused.
    EXPECT_EQ(run_generator("--bogus"), 2);
    EXPECT_EQ(run_generator("--out"), 2);
    EXPECT_EQ(run_generator("--out /proc/vantrose-cannot-be-here"), 1);
}

TEST(S3mWriter, HeaderFieldsAndWhatLibopenmptReadsBack) {
    const Bytes file = write_s3m(tiny_module());
    // Scream Tracker 3 header: end-of-text mark, type 16, three orders padded to four,
    // version 3.20, unsigned samples, "SCRM", default panning present.
    const std::pair<size_t, uint32_t> fields[] = {
        {0x1C, 0x1A},   {0x1D, 16}, {0x20, 4}, {0x22, 2},   {0x24, 2},
        {0x28, 0x1320}, {0x2A, 2},  {0x31, 4}, {0x32, 160}, {0x35, 252}};
    for (const auto& [at, value] : fields)
        EXPECT_EQ(at < 0x20 || at >= 0x30 ? file[at] : read16(file, at), value) << std::hex << at;
    EXPECT_EQ(std::string(file.begin() + 0x2C, file.begin() + 0x30), "SCRM");
    EXPECT_EQ(file[0x60 + 3], 255);
    // The second sample's data: unsigned 16-bit.
    const size_t header = read16(file, 0x60 + 4 + 2) * 16;
    EXPECT_EQ(std::string(file.begin() + header + 0x4C, file.begin() + header + 0x50), "SCRS");
    EXPECT_EQ(file[header + 0x1F], 1 | 4) << "looped, 16-bit";
    const size_t data = (file[header + 0x0D] << 16 | read16(file, header + 0x0E)) * 16;
    EXPECT_EQ((Bytes{file[data], file[data + 1], file[data + 6], file[data + 7]}),
              (Bytes{0, 0, 0xFF, 0xFF}));

    Player p(file);
    EXPECT_EQ(p.log, "");
    ASSERT_EQ(openmpt_module_get_num_orders(p.mod), 3);
    EXPECT_EQ(openmpt_module_get_order_pattern(p.mod, 0), 1);
    EXPECT_EQ(openmpt_module_get_num_channels(p.mod), 2);
    EXPECT_EQ(p.command(1, 5, 1, OPENMPT_MODULE_COMMAND_NOTE), 61); // C-4: libopenmpt's middle C
    EXPECT_EQ(p.command(1, 5, 1, OPENMPT_MODULE_COMMAND_VOLUME), 33);
    EXPECT_EQ(p.command(1, 5, 1, OPENMPT_MODULE_COMMAND_PARAMETER), 0x0F);
    EXPECT_DOUBLE_EQ(openmpt_module_get_duration_seconds(p.mod), 12.0) << "speed 4, tempo 160";
    EXPECT_EQ(note_hz_q16(69), 440 << 16);
    EXPECT_EQ(sine_q15(1u << 30), 32768);
}

TEST(ShowModule, HasItsOrdersOfFourSeconds) {
    const Bytes module = build_module();
    Player p(module);
    EXPECT_EQ(p.log, "");
    const int orders = openmpt_module_get_num_orders(p.mod);
    ASSERT_EQ(orders, music_orders);
    const double total = openmpt_module_get_duration_seconds(p.mod);
    for (int o = 0; o < orders; ++o) {
        const double start = openmpt_module_set_position_order_row(p.mod, o, 0);
        const double end =
            o + 1 < orders ? openmpt_module_set_position_order_row(p.mod, o + 1, 0) : total;
        EXPECT_NEAR(end - start, 4.0, 0.5) << "order " << o;
    }
}

TEST(ShowArchive, EveryEntryFitsWhereTheShowLoadsItAndHoldsWhatItsUserNeeds) {
    const std::string path = std::string(VANTROSE_DATA) + "/vantrose.dat";
    const std::set<uint32_t> palettes = {1,  3,  5,  7,  9,  11, 13, 15, 17, 19, 21, 23, 25, 26,
                                         28, 30, 34, 37, 40, 42, 44, 46, 48, 49, 51, 53, 55};
    const std::set<uint32_t> hires = {27, 43, 54};
    auto size_of = [&](uint32_t i) -> size_t {
        if (palettes.count(i)) return 768;
        if (hires.count(i)) return 640 * 480;
        if (i == 24 || i == 35) return 128000;
        if (i == 32) return 65024; // the wave map and its profile
        const std::set<uint32_t> textures = {2, 8, 16, 36, 38, 39, 41, 45, 47, 50, 52};
        return textures.count(i) ? 65536 : 64000;
    };
    for (uint32_t i = 0; i < 56; ++i) {
        Bytes entry(size_of(i) + 1);
        uint64_t decoded = 0;
        ASSERT_EQ(load_entry_checked(path, i, entry.data(), entry.size(), &decoded),
                  ArchiveStatus::ok)
            << i;
        EXPECT_EQ(decoded, size_of(i)) << "entry " << i;
        entry.resize(decoded);
        if (palettes.count(i)) {
            EXPECT_LE(*std::max_element(entry.begin(), entry.end()), 63) << "palette " << i;
        }
    }
    uint8_t one = 0;
    EXPECT_EQ(load_entry_checked(path, 56, &one, 1), ArchiveStatus::directory_outside)
        << "56 entries";
    // The title badge: see-through pixels and the badge greys 229..251 only.
    std::set<int> values(title_badge, title_badge + 110 * 25);
    EXPECT_TRUE(values.count(0));
    EXPECT_GE(*std::next(values.begin()), 229);
    EXPECT_LE(*values.rbegin(), 251);
}
