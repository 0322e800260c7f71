// The shell: command line, start-up and shutdown order, display set-up failures, the module
// player and its bad modules, the real timer's schedule and pause, and the virtual clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "capture/stats.h"
#include "capture/trace.h"
#include "platform/platform.h"
#include "shell/clock.h"
#include "shell/display.h"
#include "shell/music.h"
#include "shell/music_render.h"
#include "shell/options.h"
#include "shell/startup.h"
#include "shell/timer.h"
#include "tests/shell/fake_platform.h"
#include "tests/shell/tiny_s3m.h"

using namespace vantrose;
using test_support::tiny_s3m;

namespace {

// A command line given as one string, words split at spaces ('' for an empty word).
bool parse(const std::string& line, Options& result, std::string& error) {
    std::vector<std::string> words{"vantrose"};
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w == "''" ? "" : w);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    return parse_options(static_cast<int>(argv.size()), argv.data(), result, error);
}

std::vector<uint8_t> frame(frame_bytes, 0);

// A fresh shell over the fake platform, with a data folder of its own.
struct Shell : ::testing::Test {
    test_support::FakePlatform fake;
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("vantrose-shell-" + std::to_string(::getpid()));
    void SetUp() override {
        options = Options{};
        options.headless = true;
        platform = headless_platform();
        true_color_frame = frame.data();
        screen_height = 400;
        app_active = 1;
        clear_quit();
        reset_clock();
        reset_stats();
        set_timer_routine(nullptr);
        std::filesystem::create_directories(dir);
        options.data_dir = dir.string();
    }
    void TearDown() override {
        discard_music();
        sound_close();
        set_timer_routine(nullptr);
        platform = headless_platform();
        options = Options{};
        true_color_frame = nullptr;
        clear_quit();
        std::filesystem::remove_all(dir);
    }
    void module(const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(test_support::write_bytes(music_path(), bytes));
    }
    std::string captured(void (*work)()) {
        ::testing::internal::CaptureStderr();
        work();
        return ::testing::internal::GetCapturedStderr();
    }
};

std::atomic<int> ticks_seen{0};
void count_tick() {
    ++ticks_seen;
}

} // namespace

TEST(Options, EveryOptionTheClockItChoosesAndBadCommandLines) {
    Options o;
    std::string error;
    EXPECT_TRUE(parse("", o, error) && o.mode == 0 && o.data_dir == "." && o.refresh == 60 &&
                o.dump_every == 1);
    ASSERT_TRUE(parse("--mode 480 --window --data /d --headless --refresh 70 --clock real --frames "
                      "600 --dump /f --dump-every 100 --trace --stats --fps 30 --integer-scale",
                      o, error))
        << error;
    EXPECT_TRUE(o.mode == 480 && o.window && o.headless && o.real_clock && o.trace && o.stats);
    EXPECT_TRUE(o.data_dir == "/d" && o.dump_dir == "/f" && o.refresh == 70 && o.frames == 600 &&
                o.dump_every == 100 && o.fps == 30 && o.integer_scale);
    EXPECT_TRUE(parse("--fps 240", o, error) && o.fps == 240 && !o.integer_scale && !o.fps_display);
    EXPECT_TRUE(parse("--fps display", o, error) && o.fps == 0 && o.fps_display);
    for (const auto& [line, virtual_clock] : {std::pair{"--headless", true},
                                              {"--headless --clock real", false},
                                              {"--mode 400", false},
                                              {"--mode 400 --window --clock virtual", true},
                                              {"--clock virtual --clock real", false},
                                              {"--record show.mkv", true}}) {
        ASSERT_TRUE(parse(line, options, error)) << error;
        EXPECT_EQ(virtual_clock_on(), virtual_clock) << line;
    }
    options = Options{};
    // One bad command line per kind, split at '|'.
    std::istringstream bad(
        "--mode 640|--mode|--bogus|--clock fast|--clock Virtual|--mode 400x|--mode +400|"
        "--refresh 0|--refresh 1001|--refresh 59.94|--frames 0|--frames 99999999999999999999999|"
        "--dump-every 0|--dump ''|--data ''|--record|mode|--scale 2|--record show.mkv --clock "
        "real|--fps|--fps 29|--fps 241|--fps 0|--fps -60|--fps 60.5|--fps ''|--fps Display|"
        "--fps 60Hz");
    for (std::string line; std::getline(bad, line, '|');) {
        error.clear();
        EXPECT_FALSE(parse(line, o, error)) << line;
        EXPECT_FALSE(error.empty()) << line;
    }
    options = Options{};
}

TEST_F(Shell, QuitIsSeenAtTheNextPresentedFrameThenShutdownInOrder) {
    platform = &fake;
    options.headless = false;
    module(tiny_s3m());
    EXPECT_EXIT(
        {
            setup_display();
            sound_init();
            load_music();
            play_music();
            present_frame();
            post_quit(); // as Escape would, between two frames
            std::fprintf(stderr, "[quit posted]\n");
            present_frame();
            std::exit(3);
        },
        ::testing::ExitedWithCode(0),
        "quit posted\\]\n\\[present\\]\n\\[pump_events\\]\n\\[pause_audio\\]\n\\[close_audio\\]\n"
        "\\[release_display\\]\n\\[show_cursor\\]\n$");
}

TEST_F(Shell, DisplaySetUpRunsInOrderAndEachFailingStepHasItsMessage) {
    platform = &fake;
    EXPECT_EQ(captured([] { create_display_object(), setup_display(); }),
              "[create_display_object]\n[hide_cursor]\n[create_window]\n[set_cooperative_level]\n"
              "[set_display_mode]\n[create_surface]\n[get_back_buffer]\n");
    const std::pair<const char*, const char*> cases[] = {
        {"create_window", "SetCooperativeLevel error"},
        {"set_cooperative_level", "SetCooperativeLevel error"},
        {"set_display_mode", "SetDisplayMode error"},
        {"create_surface", "CreateSurface error"},
        {"get_back_buffer", "GetAttachedSurface error"},
        {"create_display_object", "DirectDrawCreate error"}};
    for (const auto& [step, text] : cases) {
        fake.fail = step;
        const std::string out = captured([] {
            if (create_display_object()) {
                EXPECT_FALSE(setup_display());
            }
        });
        EXPECT_NE(out.find(std::string("[box DDRAW ERROR: ") + text + "]"), std::string::npos)
            << out;
        if (fake.fail != "get_back_buffer") {
            EXPECT_EQ(out.find("[get_back_buffer]"), std::string::npos) << step;
        }
    }
    // An inactive application shows nothing but still pumps.
    fake.fail.clear();
    app_active = 0;
    EXPECT_EQ(captured([] { present_frame(); }), "[pump_events]\n");
}

TEST_F(Shell, BadModulesEndWithStatusOneNamingTheFile) {
    const std::vector<uint8_t> whole = tiny_s3m();
    std::vector<uint8_t> nothing_to_play = tiny_s3m(2);
    nothing_to_play[96] = nothing_to_play[97] = 0xFF; // both orders end the song
    const std::pair<std::vector<uint8_t>, const char*> cases[] = {
        {std::vector<uint8_t>(4000, 0x41), "vantrose.s3m is not an S3M module"},
        {{}, "vantrose.s3m is not an S3M module"},
        {std::vector<uint8_t>(whole.begin(), whole.begin() + 99), "vantrose.s3m is truncated"},
        {std::vector<uint8_t>(whole.begin(), whole.begin() + 180), "vantrose.s3m is truncated"},
        {std::vector<uint8_t>(whole.begin(), whole.end() - 1), "vantrose.s3m is truncated"},
        {nothing_to_play, "has no orders to play"}};
    for (const auto& [bytes, message] : cases) {
        module(bytes);
        EXPECT_EXIT(load_music(), ::testing::ExitedWithCode(1), message) << message;
    }
    std::filesystem::remove(music_path());
    // Without a module the sound and the display close in order before the exit.
    platform = &fake;
    options.headless = false;
    setup_display();
    sound_init();
    EXPECT_EXIT(load_music(), ::testing::ExitedWithCode(1),
                "cannot open the music module .*vantrose.s3m.*box "
                "vantrose.*close_audio.*release_display.*show_cursor");
}

TEST_F(Shell, StopWithNothingLoadedReportsBothFailedSteps) {
    module(tiny_s3m());
    sound_init();
    load_music();
    platform = &fake;
    discard_music();
    const std::string out = captured([] { stop_music(); }); // nothing loaded: both steps fail
    EXPECT_NE(out.find("[box Error: StopSong]"), std::string::npos) << out;
    EXPECT_NE(out.find("[box Error: FreeSong]"), std::string::npos) << out;
}

TEST(RealTimer, TicksFallOnA20MsGridAndStartAfreshAfterAStall) {
    using namespace std::chrono;
    const steady_clock::time_point start{seconds(1000)};
    steady_clock::time_point due = next_tick_deadline(start, start);
    for (int k = 1; k < 50; ++k)
        due = next_tick_deadline(due, due + milliseconds(7)); // ticks run late
    EXPECT_EQ(due - start, milliseconds(1000)) << "fifty ticks a second";
    // A late tick keeps the grid; a stall of over a second starts it afresh.
    EXPECT_EQ(next_tick_deadline(due, due + milliseconds(900)), due + milliseconds(20));
    EXPECT_EQ(next_tick_deadline(due, due + seconds(3)), due + seconds(3) + milliseconds(20));
}

TEST(RealTimer, NoTickWhilePausedAndTheNextFallsAFullPeriodAfterResuming) {
    options = Options{};
    options.headless = options.real_clock = true;
    const auto wait_for_ticks = [](int at_least) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (ticks_seen < at_least && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return ticks_seen.load();
    };
    ticks_seen = 0;
    set_timer_routine(count_tick);
    start_timer();
    ASSERT_GE(wait_for_ticks(2), 2);
    pause_timer(true);
    const int held = ticks_seen;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(ticks_seen, held) << "ticks ran while paused";
    const auto resumed = std::chrono::steady_clock::now();
    pause_timer(false);
    ASSERT_GT(wait_for_ticks(held + 1), held);
    // Not the missed ticks in a burst: the schedule starts again from the resume.
    EXPECT_GE(std::chrono::steady_clock::now() - resumed, std::chrono::milliseconds(19));
    stop_timer();
    set_timer_routine(nullptr);
    options = Options{};
}

namespace {
// Written by the tick and by the work between ticks without atomics: only the exclusion
// between_ticks promises keeps this race-free (tsan checks it).
int shared_phase = 0;
std::atomic<bool> in_tick{false};
std::atomic<int> busy_ticks{0}, overlaps{0};
} // namespace

TEST(RealTimer, BetweenTicksNeverOverlapsATick) {
    options = Options{};
    options.headless = options.real_clock = true;
    set_timer_routine([] {
        in_tick = true;
        shared_phase += 2;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        in_tick = false;
        ++busy_ticks;
    });
    start_timer();
    for (int i = 0; i < 40 || busy_ticks < 5; ++i) {
        between_ticks([] {
            overlaps += in_tick ? 1 : 0;
            shared_phase = 0;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    stop_timer();
    set_timer_routine(nullptr);
    options = Options{};
    EXPECT_EQ(overlaps, 0);
}

TEST_F(Shell, VirtualClockTicksFiftyTimesAVirtualSecondFromTheTimersStart) {
    for (uint32_t refresh : {60u, 70u, 50u, 144u, 1u}) {
        options.refresh = refresh;
        reset_clock();
        ticks_seen = 0;
        set_timer_routine(count_tick);
        for (uint32_t f = 0; f < refresh; ++f) show_frame();
        EXPECT_EQ(ticks_seen, 0) << "no ticks before the timer starts";
        start_timer();
        for (uint32_t f = 0; f < 4 * refresh; ++f) show_frame();
        EXPECT_EQ(ticks_seen, 200) << refresh << " Hz";
    }
    // At 60 Hz the first tick falls in the second frame; a new routine takes the next tick.
    options.refresh = 60;
    reset_clock();
    ticks_seen = 0;
    start_timer();
    show_frame();
    EXPECT_EQ(ticks_seen, 0);
    show_frame();
    EXPECT_EQ(ticks_seen, 1);
    set_timer_routine(nullptr);
    const uint64_t before = tick_count();
    for (int f = 0; f < 6; ++f) show_frame();
    EXPECT_EQ(ticks_seen, 1);
    EXPECT_EQ(tick_count(), before + 5) << "an empty slot still counts its ticks";
}

// The per-scene checksums tell runs apart: a change of any bit of a frame shows, also in a word's
// high bits and in the bytes after the last whole block, and so does the order of two frames.
TEST(FrameChecksum, EveryBitCountsAndSoDoesTheOrderOfFrames) {
    std::vector<uint8_t> frame(1000); // fifteen blocks of 64 bytes and 40 more
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(7 * i);
    std::set<uint64_t> seen{frame_checksum(frame.data(), frame.size(), checksum_seed)};
    for (size_t i = 0; i < frame.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            frame[i] ^= static_cast<uint8_t>(1 << bit);
            seen.insert(frame_checksum(frame.data(), frame.size(), checksum_seed));
            frame[i] ^= static_cast<uint8_t>(1 << bit);
        }
    }
    EXPECT_EQ(seen.size(), 8 * frame.size() + 1);
    const std::vector<uint8_t> other(1000, 0x55);
    const auto chain = [](const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
        return frame_checksum(b.data(), b.size(),
                              frame_checksum(a.data(), a.size(), checksum_seed));
    };
    EXPECT_NE(chain(frame, other), chain(other, frame));
}
