#include "content/show.h"

#include "content/cycles.h"
#include "content/font.h"
#include "content/hires.h"
#include "content/maps.h"
#include "content/pictures.h"
#include "content/textures.h"
#include "content/textures3d.h"

namespace vantrose {
namespace {

struct Builder {
    std::vector<Entry> entries = std::vector<Entry>(entry_count);

    void palette(int index, const Palette& p, const std::string& name) {
        entries[size_t(index)] = {palette_bytes(p), Kind::palette, 16, 16, -1, name};
    }
    // A picture or texture at `index` and its palette at `pal`.
    void art(int index, int pal, const Art& a, const std::string& name) {
        entries[size_t(index)] = {a.image.px, Kind::picture, a.image.w, a.image.h, pal, name};
        palette(pal, a.palette, name + " palette");
    }
    // A picture shown with a palette stored elsewhere.
    void picture(int index, int pal, const Indexed& image, const std::string& name) {
        entries[size_t(index)] = {image.px, Kind::picture, image.w, image.h, pal, name};
    }
    void map(int index, const Bytes& data, const std::string& name) {
        entries[size_t(index)] = {data, Kind::map, 320, 200, -1, name};
    }
    void bytes(int index, const Bytes& data, const std::string& name) {
        entries[size_t(index)] = {data, Kind::bytes, 320, 200, -1, name};
    }
};

} // namespace

std::vector<Entry> build_show() {
    Builder b;
    b.art(0, 1, blank_picture(), "placeholder");
    b.art(2, 3, lattice_texture(), "lattice");
    b.art(4, 5, nebula_picture(), "nebula");
    b.art(6, 7, scroller_font(), "font");
    b.art(8, 9, rings_lattice_texture(), "ring lattice");
    b.art(10, 11, credit_card(0), "card code");
    b.art(12, 13, credit_card(1), "card graphics");
    b.art(14, 15, credit_card(2), "card music");
    b.art(16, 17, ornament_texture(), "ornament");
    b.art(18, 19, sunset_picture(), "sunset");
    b.art(20, 21, rings_picture(), "rings");
    b.art(22, 23, spiral_picture(), "spiral");
    b.map(24, tunnel_map(), "tunnel map");
    b.palette(25, ice_cycle(), "plasma ice");
    b.palette(26, copper_cycle(), "wave copper");
    b.art(27, 28, title_picture(), "title");
    b.art(29, 30, credit_card(3), "card party");
    b.bytes(31, pulse_map(), "pulse map");
    b.bytes(32, wave_map(), "wave map");
    b.art(33, 34, pool_picture(), "pool");
    b.map(35, floor_map(), "floor map");
    b.art(36, 37, tiles_texture(), "tiles");
    b.picture(38, 26, marble_texture(), "marble");
    b.art(39, 40, floor_texture(), "floor 3d");
    b.art(41, 42, flutes_texture(), "flutes");
    b.art(43, 44, aurora_picture(), "aurora");
    b.art(45, 46, metal_texture(), "metal 3d");
    b.art(47, 48, plaque_texture(), "plaque 3d");
    b.palette(49, violet_cycle(), "plasma violet");
    b.art(50, 51, planet_texture(), "planet 3d");
    b.art(52, 53, chrome_texture(), "chrome 3d");
    b.art(54, 55, eclipse_picture(), "eclipse");
    return b.entries;
}

} // namespace vantrose
