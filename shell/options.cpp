#include "shell/options.h"

#include <charconv>
#include <cstring>

namespace vantrose {

Options options;

namespace {

// A whole decimal number in [low, high]; nothing else accepted.
bool parse_number(const char* text, uint64_t low, uint64_t high, uint64_t& value) {
    const char* end = text + std::strlen(text);
    if (text == end) return false;
    auto [ptr, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && ptr == end && value >= low && value <= high;
}

} // namespace

const char* usage_text() {
    return "usage: vantrose [options]\n"
           "  --mode 400|480      skip the mode dialog\n"
           "  --window            a resizable window instead of full-screen\n"
           "  --data DIR          folder holding vantrose.dat and vantrose.s3m (default: .)\n"
           "  --headless          no window, no audio device, virtual clock\n"
           "  --refresh HZ        virtual refresh rate (default 60)\n"
           "  --clock real        with --headless: real timer thread and wall-time music\n"
           "  --clock virtual     with a window: the virtual clock, frames unpaced, no sound\n"
           "  --frames N          end like a quit after N presented frames\n"
           "  --dump DIR          write presented frames as PNG into DIR\n"
           "  --dump-every K      only every K-th presented frame (default 1)\n"
           "  --record FILE       render the show to a video file (.mkv lossless, .mp4)\n"
           "  --scale K           with --record: enlarge the picture K times (1 to 8)\n"
           "  --fps HZ|display    the show's frame rate in a window, 30 to 240 (default: the\n"
           "                      display's refresh up to 75 Hz, else 60); display: follow it\n"
           "  --integer-scale     scale the picture by whole multiples only\n"
           "  --trace             a line on stderr per scene start and 3D phase change\n"
           "  --stats             frame and timing figures on stderr at the end\n"
           "  --help, --version\n"
           "keys during the show: Escape ends it, Alt+Enter full-screen or window, F12 or\n"
           "  Print Screen saves the frame as vantrose-FRAME.png, Space or P pauses, M mutes,\n"
           "  + and - set the listening volume\n";
}

bool parse_options(int argc, char** argv, Options& result, std::string& error) {
    result = Options{};
    std::string clock;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        const bool takes_value = name == "--mode" || name == "--data" || name == "--refresh" ||
                                 name == "--clock" || name == "--frames" || name == "--dump" ||
                                 name == "--dump-every" || name == "--record" ||
                                 name == "--scale" || name == "--fps";
        const char* value = nullptr;
        if (takes_value) {
            if (i + 1 >= argc) {
                error = name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        uint64_t number = 0;
        if (name == "--mode") {
            if (!parse_number(value, 400, 480, number) || (number != 400 && number != 480)) {
                error = "--mode takes 400 or 480, not '" + std::string(value) + "'";
                return false;
            }
            result.mode = static_cast<int>(number);
        } else if (name == "--window") {
            result.window = true;
        } else if (name == "--data") {
            if (!*value) {
                error = "--data needs a folder";
                return false;
            }
            result.data_dir = value;
        } else if (name == "--headless") {
            result.headless = true;
        } else if (name == "--refresh") {
            if (!parse_number(value, 1, 1000, number)) {
                error = "--refresh takes a whole number of hertz from 1 to 1000, not '" +
                        std::string(value) + "'";
                return false;
            }
            result.refresh = static_cast<uint32_t>(number);
        } else if (name == "--clock") {
            if (std::strcmp(value, "real") != 0 && std::strcmp(value, "virtual") != 0) {
                error = "--clock takes 'real' or 'virtual', not '" + std::string(value) + "'";
                return false;
            }
            clock = value;
        } else if (name == "--frames") {
            if (!parse_number(value, 1, UINT64_MAX, number)) {
                error = "--frames takes a positive whole number, not '" + std::string(value) + "'";
                return false;
            }
            result.frames = number;
        } else if (name == "--dump") {
            if (!*value) {
                error = "--dump needs a folder";
                return false;
            }
            result.dump_dir = value;
        } else if (name == "--dump-every") {
            if (!parse_number(value, 1, UINT64_MAX, number)) {
                error =
                    "--dump-every takes a positive whole number, not '" + std::string(value) + "'";
                return false;
            }
            result.dump_every = number;
        } else if (name == "--record") {
            if (!*value) {
                error = "--record needs a file name";
                return false;
            }
            result.record_file = value;
        } else if (name == "--scale") {
            if (!parse_number(value, 1, 8, number)) {
                error =
                    "--scale takes a whole number from 1 to 8, not '" + std::string(value) + "'";
                return false;
            }
            result.scale = static_cast<int>(number);
        } else if (name == "--fps") {
            if (std::strcmp(value, "display") == 0) {
                result.fps_display = true;
            } else if (parse_number(value, 30, 240, number)) {
                result.fps = static_cast<uint32_t>(number);
            } else {
                error = "--fps takes a whole number of frames a second from 30 to 240, or "
                        "'display', not '" +
                        std::string(value) + "'";
                return false;
            }
        } else if (name == "--integer-scale") {
            result.integer_scale = true;
        } else if (name == "--trace") {
            result.trace = true;
        } else if (name == "--stats") {
            result.stats = true;
        } else if (name == "--help" || name == "-h") {
            result.help = true;
        } else if (name == "--version") {
            result.version = true;
        } else {
            error = "unknown option '" + name + "'";
            return false;
        }
    }
    // Headless runs default to the virtual clock, windows to the real one; --clock overrides.
    result.real_clock = clock == "real";
    result.virtual_clock = clock == "virtual";
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

std::string music_path() {
    return options.data_dir + "/vantrose.s3m";
}

} // namespace vantrose
