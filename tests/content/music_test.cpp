#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <stdexcept>
#include <string>
#include <unistd.h>

#include "content/compose.h"
#include "content/music.h"
#include "content/s3m_writer.h"
#include "content/synth.h"

using namespace vantrose;

namespace {

// A module loaded by libopenmpt; whatever libopenmpt logs while loading is kept.
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
    std::string text(int pattern, int row, int channel, int what) const {
        const char* s =
            openmpt_module_format_pattern_row_channel_command(mod, pattern, row, channel, what);
        std::string out = s ? s : "";
        openmpt_free_string(s);
        return out;
    }
    int sample_number(const std::string& name) const {
        for (int i = 0; i < openmpt_module_get_num_samples(mod); ++i) {
            const char* s = openmpt_module_get_sample_name(mod, i);
            const bool same = name == s;
            openmpt_free_string(s);
            if (same) return i + 1;
        }
        return 0;
    }
};

uint32_t read16(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8;
}
uint32_t read32(const Bytes& b, size_t at) {
    return read16(b, at) | read16(b, at + 2) << 16;
}

// Two channels, two samples (the second looped), two patterns, orders 1 0 1.
S3mModule tiny_module() {
    S3mModule m;
    m.title = "tiny";
    m.speed = 4;
    m.tempo = 160;
    m.pannings = {3, 12};
    S3mSample a{"first", std::vector<int16_t>(100, 1000), 8363, 0, 0, 64};
    S3mSample b{"second", {-32768, -1, 0, 32767}, 22050, 1, 4, 40};
    m.samples = {a, b};
    m.patterns.assign(2, S3mPattern(s3m_rows * 2));
    S3mCell& c = m.patterns[1][5 * 2 + 1];
    c = {s3m_note(48), 2, 33, 'D' - 'A' + 1, 0x0F};
    m.patterns[1][7 * 2].volume = 20;
    m.orders = {1, 0, 1};
    return m;
}

const Bytes& show_module() {
    static const Bytes module = build_module();
    return module;
}

std::string run(const std::string& command) {
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

// ---- The writer ----------------------------------------------------------------------------

TEST(S3mWriter, LibopenmptReadsBackOrdersPatternsSamplesAndCells) {
    const Bytes file = write_s3m(tiny_module());
    EXPECT_EQ(std::string(file.begin() + 0x2C, file.begin() + 0x30), "SCRM");
    EXPECT_EQ(file[0x1C], 0x1A);
    EXPECT_EQ(read16(file, 0x20), 4u); // three orders, padded to an even count
    EXPECT_EQ(file[0x60 + 3], 255);

    Player p(file);
    EXPECT_EQ(p.log, "");
    ASSERT_EQ(openmpt_module_get_num_orders(p.mod), 3);
    EXPECT_EQ(openmpt_module_get_order_pattern(p.mod, 0), 1);
    EXPECT_EQ(openmpt_module_get_order_pattern(p.mod, 1), 0);
    EXPECT_EQ(openmpt_module_get_num_patterns(p.mod), 2);
    EXPECT_EQ(openmpt_module_get_num_channels(p.mod), 2);
    EXPECT_EQ(p.sample_number("second"), 2);
    EXPECT_EQ(p.command(1, 5, 1, OPENMPT_MODULE_COMMAND_NOTE), 61); // C-4: libopenmpt's middle C
    EXPECT_EQ(p.command(1, 5, 1, OPENMPT_MODULE_COMMAND_INSTRUMENT), 2);
    EXPECT_EQ(p.command(1, 5, 1, OPENMPT_MODULE_COMMAND_VOLUME), 33);
    EXPECT_EQ(p.text(1, 5, 1, OPENMPT_MODULE_COMMAND_EFFECT), "D");
    EXPECT_EQ(p.command(1, 5, 1, OPENMPT_MODULE_COMMAND_PARAMETER), 0x0F);
    EXPECT_EQ(p.command(1, 7, 0, OPENMPT_MODULE_COMMAND_VOLUME), 20);
    EXPECT_EQ(p.command(1, 7, 0, OPENMPT_MODULE_COMMAND_NOTE), 0);
    // Speed 4 at tempo 160: 64 rows of 62.5 ms per order.
    EXPECT_DOUBLE_EQ(openmpt_module_get_duration_seconds(p.mod), 12.0);
}

TEST(S3mWriter, SampleHeadersPointAtUnsigned16BitData) {
    const Bytes file = write_s3m(tiny_module());
    const size_t orders = read16(file, 0x20);
    const size_t header = read16(file, 0x60 + orders + 2) * 16; // the second sample
    EXPECT_EQ(std::string(file.begin() + header + 0x4C, file.begin() + header + 0x50), "SCRS");
    EXPECT_EQ(read32(file, header + 0x10), 4u);     // length in samples
    EXPECT_EQ(read32(file, header + 0x14), 1u);     // loop start
    EXPECT_EQ(read32(file, header + 0x18), 4u);     // loop end
    EXPECT_EQ(file[header + 0x1F], 1 | 4);          // looped, 16-bit
    EXPECT_EQ(read32(file, header + 0x20), 22050u); // C-4 rate
    const size_t data = (file[header + 0x0D] << 16 | read16(file, header + 0x0E)) * 16;
    ASSERT_LE(data + 8, file.size());
    EXPECT_EQ(read16(file, data), 0x0000u); // -32768
    EXPECT_EQ(read16(file, data + 2), 0x7FFFu);
    EXPECT_EQ(read16(file, data + 4), 0x8000u);
    EXPECT_EQ(read16(file, data + 6), 0xFFFFu);
}

TEST(S3mWriter, PacksOnlyWhatACellHolds) {
    S3mModule m = tiny_module();
    const Bytes file = write_s3m(m);
    const size_t orders = read16(file, 0x20);
    const size_t empty = read16(file, 0x60 + orders + 4) * 16; // pattern 0
    EXPECT_EQ(read16(file, empty), 2u + 64u);                  // one end byte per row
    const size_t full = read16(file, 0x60 + orders + 6) * 16;
    EXPECT_EQ(read16(file, full), 2u + 64u + 6u + 2u); // a whole cell and a volume alone
    EXPECT_EQ(file[full + 2 + 5], 1 | 0x20 | 0x40 | 0x80);
    EXPECT_EQ(file[full + 2 + 5 + 6 + 2], 0 | 0x40);
}

TEST(S3mWriter, RejectsModulesTheFormatCannotHold) {
    auto rejects = [](auto change) {
        S3mModule m = tiny_module();
        change(m);
        EXPECT_THROW(write_s3m(m), std::invalid_argument);
    };
    rejects([](S3mModule& m) { m.pannings.assign(33, 7); });
    rejects([](S3mModule& m) { // nine channels on the left
        m.pannings.assign(9, 0);
        m.patterns.assign(2, S3mPattern(s3m_rows * 9));
    });
    rejects([](S3mModule& m) { m.orders = {}; });
    rejects([](S3mModule& m) { m.orders = {2}; });
    rejects([](S3mModule& m) { m.patterns[0].pop_back(); });
    rejects([](S3mModule& m) { m.patterns[0][0].volume = 65; });
    rejects([](S3mModule& m) { m.patterns[0][0].instrument = 3; });
    rejects([](S3mModule& m) { m.patterns[0][0].note = 0x4C; });
    rejects([](S3mModule& m) { m.samples[1].loop_end = 5; });
    rejects([](S3mModule& m) { m.samples[0].c2spd = 70000; });
    rejects([](S3mModule& m) { m.patterns.resize(101, m.patterns[0]); });
    EXPECT_THROW(s3m_note(96), std::invalid_argument);
    EXPECT_THROW(s3m_note(-1), std::invalid_argument);
    EXPECT_EQ(s3m_note(12 * 5 + 9), 0x59); // A-5
}

// ---- The instruments -----------------------------------------------------------------------

TEST(Synth, SineAndNoteFrequencies) {
    EXPECT_EQ(sine_q15(0), 0);
    EXPECT_EQ(sine_q15(1u << 30), 32768);
    EXPECT_EQ(sine_q15(1u << 31), 0);
    EXPECT_EQ(sine_q15(3u << 30), -32768);
    EXPECT_NEAR(sine_q15(0x15555555), 16384, 1); // 30 degrees
    EXPECT_EQ(note_hz_q16(69), 440 << 16);
    EXPECT_EQ(note_hz_q16(57), 220 << 16);
    EXPECT_EQ(note_hz_q16(21), int64_t(27.5 * 65536));
    EXPECT_NEAR(note_hz_q16(60) / 65536.0, 261.6256, 0.001);
    EXPECT_NEAR(note_hz_q16(36) / 65536.0, 65.4064, 0.001);
}

namespace {

const std::vector<Instrument>& instruments() {
    static const std::vector<Instrument> all = {
        make_kick(), make_snare(), make_clap(),  make_hat(false), make_hat(true), make_crash(),
        make_bass(), make_pad(),   make_pluck(), make_lead(),     make_bell()};
    return all;
}

const Instrument& instrument(const std::string& name) {
    for (const Instrument& i : instruments())
        if (i.sample.name == name) return i;
    throw std::logic_error("no instrument " + name);
}

// The lag between lo and hi at which the waveform best matches itself.
int best_period(const std::vector<int16_t>& x, size_t from, int lo, int hi) {
    int best = lo;
    double best_score = -1e300;
    for (int lag = lo; lag <= hi; ++lag) {
        double dot = 0, energy = 0;
        for (size_t i = from; i + size_t(lag) < x.size() && i < from + 8192; ++i) {
            dot += double(x[i]) * x[i + lag];
            energy += double(x[i + lag]) * x[i + lag];
        }
        if (dot / std::sqrt(energy) > best_score) best_score = dot / std::sqrt(energy), best = lag;
    }
    return best;
}

} // namespace

TEST(Synth, PitchedSamplesSoundTheirBaseNoteAtC4) {
    for (const char* name : {"bass", "pad", "pluck", "lead"}) {
        const Instrument& in = instrument(name);
        const double hz = note_hz_q16(in.base_note) / 65536.0;
        const int expected = int(std::lround(in.sample.c2spd / hz));
        const int period = best_period(in.sample.pcm, in.sample.loop_start + 200, expected * 2 / 3,
                                       expected * 3 / 2);
        EXPECT_NEAR(in.sample.c2spd / double(period), hz, hz * 0.01) << name;
    }
}

TEST(Synth, LoopsJoinWithoutAStep) {
    for (const char* name : {"bass", "pad", "lead"}) {
        const S3mSample& s = instrument(name).sample;
        ASSERT_LT(s.loop_start + 1000, s.loop_end) << name;
        ASSERT_EQ(s.loop_end, s.pcm.size()) << name;
        int worst = 0; // the largest second difference inside the loop
        for (size_t i = s.loop_start + 1; i + 1 < s.loop_end; ++i)
            worst = std::max(worst, std::abs(s.pcm[i + 1] - 2 * s.pcm[i] + s.pcm[i - 1]));
        const int seam =
            std::abs(s.pcm[s.loop_start] - 2 * s.pcm[s.loop_end - 1] + s.pcm[s.loop_end - 2]);
        EXPECT_LE(seam, worst) << name;
    }
}

TEST(Synth, SamplesUseTheRangeAndOneShotsEndInSilence) {
    for (const Instrument& in : instruments()) {
        const S3mSample& s = in.sample;
        ASSERT_FALSE(s.pcm.empty()) << s.name;
        int peak = 0;
        for (int16_t v : s.pcm) peak = std::max(peak, std::abs(int(v)));
        EXPECT_GT(peak, 25000) << s.name;
        EXPECT_LE(s.c2spd, 65535u) << s.name;
        if (s.loop_end > s.loop_start) continue;
        for (size_t i = s.pcm.size() - 16; i < s.pcm.size(); ++i)
            EXPECT_LT(std::abs(s.pcm[i]), 300) << s.name << " ends with a click";
    }
}

// ---- The show's module ---------------------------------------------------------------------

TEST(Module, IsTheSameEveryRunAndIsWhatTheBuildWrote) {
    EXPECT_EQ(build_module(), show_module());
    std::ifstream f(std::string(VANTROSE_DATA) + "/vantrose.s3m", std::ios::binary);
    ASSERT_TRUE(f) << "the build writes the module";
    const Bytes written((std::istreambuf_iterator<char>(f)), {});
    EXPECT_EQ(written, show_module());
}

TEST(Module, AtLeastAHundredOrdersOfFourSecondsPlayedStraightThrough) {
    Player p(show_module());
    EXPECT_EQ(p.log, "");
    const int orders = openmpt_module_get_num_orders(p.mod);
    EXPECT_GE(orders, 100);
    EXPECT_EQ(orders, music_orders);
    const double total = openmpt_module_get_duration_seconds(p.mod);
    EXPECT_GE(total, 6 * 60.0);
    EXPECT_LE(total, 7 * 60.0);
    for (int o = 0; o < orders; ++o) {
        const double start = openmpt_module_set_position_order_row(p.mod, o, 0);
        const double end =
            o + 1 < orders ? openmpt_module_set_position_order_row(p.mod, o + 1, 0) : total;
        EXPECT_GE(end - start, 3.5) << "order " << o;
        EXPECT_LE(end - start, 4.5) << "order " << o;
    }
}

TEST(Module, NoEffectJumpsBreaksLoopsOrChangesTheTempo) {
    Player p(show_module());
    const int channels = openmpt_module_get_num_channels(p.mod);
    int effects = 0;
    for (int pat = 0; pat < openmpt_module_get_num_patterns(p.mod); ++pat) {
        ASSERT_EQ(openmpt_module_get_pattern_num_rows(p.mod, pat), 64);
        for (int row = 0; row < 64; ++row)
            for (int ch = 0; ch < channels; ++ch) {
                const std::string fx = p.text(pat, row, ch, OPENMPT_MODULE_COMMAND_EFFECT);
                if (fx.empty() || fx == ".") continue;
                ++effects;
                EXPECT_EQ(fx.find_first_of("ABCST"), std::string::npos)
                    << "effect " << fx << " in pattern " << pat << " row " << row;
            }
    }
    EXPECT_EQ(effects, 0); // the arrangement needs none: volumes do all the shaping
}

// The orders the show's scenes wait for: the opening picture, the rotozooms, the four credit
// pictures, the pulse rotozoom's turns, twirls, the plaque, plasmas, the floor, mapped textures,
// the pictures, the ripple and the sphere.
const int show_cuts[] = {5,  8,  12, 13, 16, 17, 18, 19, 20, 23, 24, 25, 27, 28, 29, 33,
                         37, 43, 44, 48, 52, 56, 62, 66, 70, 73, 77, 78, 81, 84, 94};

TEST(Module, EveryShowCutChangesThePatternAndStartsWithACrash) {
    Player p(show_module());
    const int crash = p.sample_number("crash");
    ASSERT_GT(crash, 0);
    const int channels = openmpt_module_get_num_channels(p.mod);
    for (int cut : show_cuts) {
        const int pat = openmpt_module_get_order_pattern(p.mod, cut);
        EXPECT_NE(pat, openmpt_module_get_order_pattern(p.mod, cut - 1)) << "order " << cut;
        bool crashed = false;
        for (int ch = 0; ch < channels; ++ch)
            crashed |= p.command(pat, 0, ch, OPENMPT_MODULE_COMMAND_INSTRUMENT) == crash;
        EXPECT_TRUE(crashed) << "order " << cut;
    }
}

TEST(Module, NothingClipsNoOrderIsSilentNoVoiceHangsAndTheEndMeetsTheStart) {
    Player p(show_module());
    const int channels = openmpt_module_get_num_channels(p.mod);
    auto plays = [&](int order, int ch) { // a note starts on the channel in this order
        const int pat = openmpt_module_get_order_pattern(p.mod, order);
        for (int row = 0; row < 64; ++row) {
            const int note = p.command(pat, row, ch, OPENMPT_MODULE_COMMAND_NOTE);
            if (note >= 1 && note <= 120) return true;
        }
        return false;
    };
    constexpr int rate = 48000, frames = 256;
    std::vector<float> buf(2 * frames);
    std::vector<double> energy(music_orders + 1, 0), count(music_orders + 1, 0);
    double peak = 0;
    size_t got;
    while ((got = openmpt_module_read_interleaved_float_stereo(p.mod, rate, frames, buf.data()))) {
        const int order = std::clamp(openmpt_module_get_current_order(p.mod), 0, music_orders);
        for (size_t i = 0; i < 2 * got; ++i) {
            peak = std::max(peak, double(std::fabs(buf[i])));
            energy[order] += double(buf[i]) * buf[i];
        }
        count[order] += 2.0 * got;
        // Voices left over from an earlier order have died away by the second half of one
        // that does not play them.
        if (order >= music_orders || openmpt_module_get_current_row(p.mod) < 32) continue;
        for (int ch = 0; ch < channels; ++ch) {
            if (plays(order, ch)) continue;
            EXPECT_LT(openmpt_module_get_current_channel_vu_mono(p.mod, ch), 0.01)
                << "channel " << ch << " hangs in order " << order;
        }
    }
    EXPECT_LT(peak, 0.89); // at least 1 dB under full scale
    EXPECT_GT(peak, 0.4);
    std::vector<double> rms(music_orders);
    for (int o = 0; o < music_orders; ++o) {
        rms[o] = std::sqrt(energy[o] / std::max(1.0, count[o]));
        EXPECT_GT(rms[o], 0.01) << "order " << o << " is silent";
    }
    // The song winds down into its quiet start, so looping back is not a jump.
    const double body = rms[50];
    EXPECT_LT(rms.back(), body / 2);
    EXPECT_LT(rms.front(), body / 2);
    EXPECT_LT(std::max(rms.front(), rms.back()) / std::min(rms.front(), rms.back()), 2.0);
}

TEST(Module, LibopenmptAndLibxmpReadTheSameSong) {
    if (run("command -v openmpt123 && command -v xmp").find("xmp") == std::string::npos)
        GTEST_SKIP() << "openmpt123 or xmp missing";
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("vantrose_music_test_" + std::to_string(getpid()) + ".s3m");
    write_file(path.string(), show_module());
    const std::string openmpt = run("openmpt123 --info '" + path.string() + "'");
    const std::string xmp = run("xmp --load-only -v '" + path.string() + "'");
    std::filesystem::remove(path);

    std::smatch m;
    ASSERT_TRUE(std::regex_search(openmpt, m, std::regex(R"(Orders\.+: (\d+))"))) << openmpt;
    const int openmpt_orders = std::stoi(m[1]);
    ASSERT_TRUE(std::regex_search(openmpt, m, std::regex(R"(Duration\.+: (\d+):(\d+\.\d+))")));
    const double openmpt_seconds = std::stoi(m[1]) * 60 + std::stod(m[2]);
    ASSERT_TRUE(std::regex_search(xmp, m, std::regex(R"(Module length: (\d+) patterns)"))) << xmp;
    const int xmp_orders = std::stoi(m[1]);
    ASSERT_TRUE(std::regex_search(xmp, m, std::regex(R"(Duration\s*: (\d+)min(\d+)s)")));
    const double xmp_seconds = std::stoi(m[1]) * 60 + std::stoi(m[2]);

    EXPECT_EQ(openmpt_orders, music_orders);
    EXPECT_EQ(xmp_orders, music_orders);
    EXPECT_NEAR(xmp_seconds, openmpt_seconds, openmpt_seconds * 0.01);
    EXPECT_NEAR(openmpt_seconds, music_orders * 4.0, 0.01);
    for (const std::string& out : {openmpt, xmp}) {
        EXPECT_EQ(lower(out).find("warning"), std::string::npos) << out;
        EXPECT_EQ(lower(out).find("error"), std::string::npos) << out;
    }
}
