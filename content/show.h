// The show's archive entries, index by index.
#pragma once
#include <string>
#include <vector>

#include "content/palettes.h"
#include "content/raster.h"

namespace vantrose {

enum class Kind { palette, picture, map, bytes };

struct Entry {
    Bytes data;
    Kind kind = Kind::bytes;
    int w = 0, h = 0; // pictures, textures and byte maps
    int palette = -1; // entry of the palette a picture is shown with
    std::string name;
};

constexpr int entry_count = 56;

// All 56 entries of vantrose.dat, each at its index.
std::vector<Entry> build_show();

} // namespace vantrose
