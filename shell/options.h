// The command line: how the program is started (dialog or --mode, window or headless, clocks,
// output).
#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace vantrose {

struct Options {
    int mode = 0;        // 0: ask in the mode dialog; 400 or 480: skip it
    bool window = false; // a resizable window instead of full-screen
    std::string data_dir = ".";
    bool data_given = false;    // --data was given
    bool headless = false;      // no window, no audio device
    bool real_clock = false;    // --clock real (with --headless)
    bool virtual_clock = false; // --clock virtual (with a window)
    uint32_t refresh = 60;      // virtual refresh rate
    uint64_t frames = 0;        // end like a quit after this many presented frames (0: no limit)
    int scene = 1;              // --scene: the scenes before this one run unseen
    std::string dump_dir;       // write presented frames as PNG here
    uint64_t dump_every = 1;
    std::string record_file;  // --record implies headless: no window, virtual clock
    int scale = 1;            // --scale: whole-number nearest-neighbour upscale of the recording
    uint32_t fps = 0;         // --fps HZ: the show's frame rate in a window (0: the default)
    bool fps_display = false; // --fps display: frames follow the display's flip, unpaced without it
    bool integer_scale = false; // whole multiples of the picture only
    bool square_dots = false;   // 640 x 400 at 16:10 instead of the 4:3 of its monitors
    bool trace = false;
    bool stats = false;
    bool help = false;
    bool version = false;
};

extern Options options;

// Fills `result` from the arguments; on a bad command line returns false with `error` saying why.
// One option: its name, its argument's shape (none when it takes no value), its help text (lines
// split by newlines) and what it sets.
struct OptionRow {
    const char* name;
    const char* argument;
    const char* help;
    bool (*apply)(Options& result, const char* value, std::string& error);
};
std::span<const OptionRow> option_rows();

bool parse_options(int argc, char** argv, Options& result, std::string& error);

// Usage text for --help and for bad command lines.
const char* usage_text();

// The virtual clock runs the show: headless without --clock real, a window with --clock virtual,
// or recording.
bool virtual_clock_on();

// Without --data: the current folder when it holds the archive, else the data folder beside the
// program (build/<preset>/data beside build/<preset>/vantrose) when that one does.
void find_data_dir();

// Paths of the show's data files in the data folder.
std::string music_path();

} // namespace vantrose
