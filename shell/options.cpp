// The command line: one table of options, from which the parser and the usage text both come.
#include "shell/options.h"

#include <charconv>
#include <cstring>
#include <filesystem>

#include "platform/sys.h"

namespace vantrose {

Options options;

namespace {

constexpr uint64_t scene_count = 42;

// A whole decimal number in [low, high]; nothing else accepted.
bool parse_number(const char* text, uint64_t low, uint64_t high, uint64_t& value) {
    const char* end = text + std::strlen(text);
    if (text == end) return false;
    auto [ptr, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && ptr == end && value >= low && value <= high;
}

// The value of `name` as a number in [low, high], or `error` saying what it takes.
bool number_value(const char* name, const char* value, uint64_t low, uint64_t high,
                  const char* takes, uint64_t& number, std::string& error) {
    if (parse_number(value, low, high, number)) return true;
    error = std::string(name) + " takes " + takes + ", not '" + value + "'";
    return false;
}

bool non_empty(const char* name, const char* value, const char* what, std::string& error) {
    if (*value) return true;
    error = std::string(name) + " needs " + what;
    return false;
}

using Apply = bool (*)(Options& o, const char* v, std::string& error);

// clang-format off
const OptionRow rows[] = {
    {"--mode", "400|480", "skip the mode dialog",
     [](Options& o, const char* v, std::string& e) {
         uint64_t n = 0;
         if (!parse_number(v, 400, 480, n) || (n != 400 && n != 480)) {
             e = "--mode takes 400 or 480, not '" + std::string(v) + "'";
             return false;
         }
         o.mode = static_cast<int>(n);
         return true;
     }},
    {"--window", nullptr, "a resizable window instead of full-screen",
     [](Options& o, const char*, std::string&) { return o.window = true; }},
    {"--data", "DIR", "folder holding vantrose.dat and vantrose.s3m (default: the\n"
                      "current folder, else the data folder beside the program)",
     [](Options& o, const char* v, std::string& e) {
         if (!non_empty("--data", v, "a folder", e)) return false;
         o.data_dir = v;
         return o.data_given = true;
     }},
    {"--headless", nullptr, "no window, no audio device, virtual clock",
     [](Options& o, const char*, std::string&) { return o.headless = true; }},
    {"--refresh", "HZ", "virtual refresh rate (default 60)",
     [](Options& o, const char* v, std::string& e) {
         uint64_t n = 0;
         if (!number_value("--refresh", v, 1, 1000, "a whole number of hertz from 1 to 1000", n, e))
             return false;
         o.refresh = static_cast<uint32_t>(n);
         return true;
     }},
    {"--clock", "real|virtual", "real: with --headless, the real timer thread and wall-time\n"
                                "music; virtual: with a window, frames unpaced, no sound",
     [](Options& o, const char* v, std::string& e) {
         if (std::strcmp(v, "real") != 0 && std::strcmp(v, "virtual") != 0) {
             e = "--clock takes 'real' or 'virtual', not '" + std::string(v) + "'";
             return false;
         }
         o.real_clock = std::strcmp(v, "real") == 0;
         o.virtual_clock = !o.real_clock;
         return true;
     }},
    {"--scene", "N", "start at scene N (1 to 42); the scenes before it run unseen",
     [](Options& o, const char* v, std::string& e) {
         uint64_t n = 0;
         if (!number_value("--scene", v, 1, scene_count, "a scene number from 1 to 42", n, e))
             return false;
         o.scene = static_cast<int>(n);
         return true;
     }},
    {"--frames", "N", "end like a quit after N presented frames",
     [](Options& o, const char* v, std::string& e) {
         return number_value("--frames", v, 1, UINT64_MAX, "a positive whole number", o.frames, e);
     }},
    {"--dump", "DIR", "write presented frames as PNG into DIR",
     [](Options& o, const char* v, std::string& e) {
         if (!non_empty("--dump", v, "a folder", e)) return false;
         o.dump_dir = v;
         return true;
     }},
    {"--dump-every", "K", "only every K-th presented frame (default 1)",
     [](Options& o, const char* v, std::string& e) {
         return number_value("--dump-every", v, 1, UINT64_MAX, "a positive whole number",
                             o.dump_every, e);
     }},
    {"--record", "FILE", "render the show to a video file (.mp4 to share, .mkv lossless)",
     [](Options& o, const char* v, std::string& e) {
         if (!non_empty("--record", v, "a file name", e)) return false;
         o.record_file = v;
         return true;
     }},
    {"--scale", "K", "with --record to .mkv: enlarge the picture K times (1 to 8)",
     [](Options& o, const char* v, std::string& e) {
         uint64_t n = 0;
         if (!number_value("--scale", v, 1, 8, "a whole number from 1 to 8", n, e)) return false;
         o.scale = static_cast<int>(n);
         return true;
     }},
    {"--fps", "HZ|display", "the show's frame rate in a window, 30 to 240 (default: the\n"
                            "display's refresh up to 75 Hz, else 60); display: follow it",
     [](Options& o, const char* v, std::string& e) {
         uint64_t n = 0;
         if (std::strcmp(v, "display") == 0) return o.fps_display = true;
         if (!number_value("--fps", v, 30, 240,
                           "a whole number of frames a second from 30 to 240, or 'display'", n, e))
             return false;
         o.fps = static_cast<uint32_t>(n);
         return true;
     }},
    {"--integer-scale", nullptr, "scale the picture by whole multiples only, square dots\n"
                                 "(an exact 4:3 would take blocks of 5 x 6)",
     [](Options& o, const char*, std::string&) { return o.integer_scale = true; }},
    {"--square-dots", nullptr, "640 x 400 with square dots (16:10) instead of 4:3",
     [](Options& o, const char*, std::string&) { return o.square_dots = true; }},
    {"--trace", nullptr, "a line on stderr per scene start and 3D phase change;\n"
                          "each scene's checksum at the end",
     [](Options& o, const char*, std::string&) { return o.trace = true; }},
    {"--stats", nullptr, "frame and timing figures on stderr at the end",
     [](Options& o, const char*, std::string&) { return o.stats = true; }},
    {"--help", nullptr, "this text (also -h)",
     [](Options& o, const char*, std::string&) { return o.help = true; }},
    {"--version", nullptr, "the program's version",
     [](Options& o, const char*, std::string&) { return o.version = true; }},
};
// clang-format on

const OptionRow* find_row(const std::string& name) {
    for (const OptionRow& row : rows)
        if (name == row.name || (name == "-h" && std::strcmp(row.name, "--help") == 0)) return &row;
    return nullptr;
}

} // namespace

std::span<const OptionRow> option_rows() {
    return rows;
}

const char* usage_text() {
    static const std::string text = [] {
        constexpr size_t column = 22;
        std::string t = "usage: vantrose [options]\n";
        for (const OptionRow& row : rows) {
            std::string left = std::string("  ") + row.name;
            if (row.argument) left += std::string(" ") + row.argument;
            left.resize(std::max(left.size() + 1, column), ' ');
            for (const char* line = row.help; *line;) {
                const char* end = std::strchr(line, '\n');
                if (!end) end = line + std::strlen(line);
                t += left + std::string(line, end) + "\n";
                left.assign(column, ' ');
                line = *end ? end + 1 : end;
            }
        }
        return t + "keys during the show: Escape ends it, Alt+Enter full-screen or window, F12 or\n"
                   "  Print Screen saves the frame as vantrose-FRAME.png, Space or P pauses, M "
                   "mutes,\n"
                   "  + and - set the listening volume\n";
    }();
    return text.c_str();
}

bool parse_options(int argc, char** argv, Options& result, std::string& error) {
    result = Options{};
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        const OptionRow* row = find_row(name);
        if (!row) {
            error = "unknown option '" + name + "'";
            return false;
        }
        const char* value = "";
        if (row->argument) {
            if (i + 1 >= argc) {
                error = name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (!row->apply(result, value, error)) return false;
    }
    if (!result.record_file.empty()) {
        if (result.real_clock) {
            error = "--record runs the virtual clock; it cannot be combined with --clock real";
            return false;
        }
        result.headless = true;
    } else if (result.scale != 1) {
        error = "--scale enlarges a recording; it needs --record";
        return false;
    }
    return true;
}

bool virtual_clock_on() {
    if (!options.record_file.empty()) return true;
    return options.headless ? !options.real_clock : options.virtual_clock;
}

void find_data_dir() {
    std::error_code failed;
    if (options.data_given || std::filesystem::exists("vantrose.dat", failed)) return;
    const std::filesystem::path program = program_folder();
    if (program.empty()) return;
    // Beside the program (as unzipped on Windows) or in the build's data folder beside it.
    for (const std::filesystem::path& dir : {program, program / "data"}) {
        if (!std::filesystem::exists(dir / "vantrose.dat", failed)) continue;
        options.data_dir = dir.string();
        return;
    }
}

std::string music_path() {
    return options.data_dir + "/vantrose.s3m";
}

} // namespace vantrose
