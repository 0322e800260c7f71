// The contact sheet: every picture, texture, map and palette of the show as PNG files.
#pragma once
#include <string>
#include <vector>

#include "content/raster.h"
#include "content/show.h"

namespace vantrose {

// 8-bit RGB rows, top first.
void write_png(const std::string& path, int w, int h, const Bytes& rgb);
// The picture through a palette of 6-bit levels (768 bytes).
void write_indexed_png(const std::string& path, const Indexed& picture, const Bytes& palette);

// One PNG per entry (pictures and textures through their palettes, maps as colour fields,
// palettes as 16 x 16 swatches), and previews of the effects that read maps.
void write_sheet(const std::string& dir, const std::vector<Entry>& entries);

} // namespace vantrose
