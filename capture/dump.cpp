// --dump: the folder frames go to, and frames written as PNG.
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "capture/dump.h"
#include "platform/sys.h"
#include "shell/display.h"

namespace vantrose {

bool prepare_dump_folder(const std::string& dir, std::string& error) {
    std::error_code failed;
    std::filesystem::create_directories(dir, failed);
    if (failed) {
        error = "cannot make the --dump folder " + dir + ": " + failed.message();
        return false;
    }
    // A file made and removed now tells whether frames can be written there (permissions, a
    // read-only disk); a show whose frames would be lost is not played.
    std::string why;
    const std::string probe = make_temp_file(dir + "/.vantrose-dump-", why);
    if (probe.empty()) {
        error = "cannot write into the --dump folder " + dir + ": " + why;
        return false;
    }
    std::remove(probe.c_str());
    return true;
}

bool write_png(const std::string& path, const uint8_t* frame, int height) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(file);
        return false;
    }
    std::vector<uint8_t> row(frame_width * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    // Frames are mostly flat colour: the fast filter and level keep dumping cheap.
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, frame_width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = frame + static_cast<size_t>(y) * frame_width * 4;
        for (int x = 0; x < frame_width; ++x) {
            row[3 * x + 0] = in[4 * x + 2];
            row[3 * x + 1] = in[4 * x + 1];
            row[3 * x + 2] = in[4 * x + 0];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

} // namespace vantrose
