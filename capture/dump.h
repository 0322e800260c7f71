// Frames written as PNG: the --dump folder and the saved frame on screen.
#pragma once
#include <cstdint>
#include <string>

namespace vantrose {

// Makes the --dump folder and checks that it takes files; false with the reason in `error`.
bool prepare_dump_folder(const std::string& dir, std::string& error);
// Writes a 640 x height frame of blue, green, red, unused as an RGB PNG; false on failure.
bool write_png(const std::string& path, const uint8_t* frame, int height);

} // namespace vantrose
