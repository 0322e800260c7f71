#include "content/resources_gen.h"

#include <algorithm>
#include <cmath>

#include "content/lettering.h"
#include "content/palettes.h"
#include "content/text.h"

namespace vantrose {
namespace {

// Grey levels of the badge palette's entries 224..255.
constexpr int badge_greys[32] = {63, 61, 58, 56, 54, 52, 50, 48, 46, 44, 41, 39, 37, 35, 33, 31,
                                 29, 27, 24, 22, 20, 18, 16, 14, 12, 10, 7,  5,  3,  1,  0,  63};
constexpr int badge_first = 229, badge_last = 251;

// The badge value whose grey is nearest to a level.
uint8_t badge_value(float grey_level) {
    int best = badge_first;
    for (int v = badge_first; v <= badge_last; ++v)
        if (std::fabs(float(badge_level(v)) - grey_level) <
            std::fabs(float(badge_level(best)) - grey_level))
            best = v;
    return uint8_t(best);
}

Bytes make_badge() {
    TextStyle style{serif_bold, 21, 0.92f, 0.6f};
    Mask text = text_mask_smooth("Vantrose", style, 4, 2);
    const int w = 110, h = 25;
    Mask m(w, h);
    const int ox = (w - text.w) / 2, oy = (h - text.h) / 2;
    for (int y = 0; y < text.h; ++y)
        for (int x = 0; x < text.w; ++x)
            if (x + ox >= 0 && y + oy >= 0 && x + ox < w && y + oy < h)
                m.at(x + ox, y + oy) = text.at(x, y);
    const Mask rim = dilate(m, 1);
    Mask gloss;
    const Mask shade = bevel_light(m, 1, 3, -1, -1.4f, &gloss);
    Bytes out(size_t(w) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float ink = m.at(x, y), edge = rim.at(x, y);
            if (edge < 0.4f) continue; // beyond the dark rim: see-through
            // Bright brushed grey at the top of the letters, darker at their foot.
            const float t = clamp01((float(y) - 4.0f) / 16.0f);
            const float face =
                (52.0f - 18.0f * t) * std::min(1.2f, shade.at(x, y)) + 10.0f * gloss.at(x, y);
            const float grey = mixf(6.0f, std::min(52.0f, face), ink);
            out[size_t(y) * w + size_t(x)] = badge_value(grey);
        }
    return out;
}

Bytes make_dialog_picture() {
    constexpr int ss = 3, w = 213, h = 133;
    Canvas letters(w * ss, h * ss);
    TextStyle style{serif_bold, 64.0f * ss, 1.0f, 1.0f * ss};
    // Sized to leave room for the extrusion on the right.
    style.size *= float(172 * ss) / float(text_width("Quorv", style));
    const Mask m = text_mask("Quorv", style);
    const int x = (w * ss - m.w) / 2 - 4 * ss, y = 30 * ss;
    Lettering copper;
    copper.face = {{0.0f, hex(0xffd8a0)},
                   {0.45f, hex(0xd88040)},
                   {0.55f, hex(0x9c4818)},
                   {1.0f, hex(0xe89a58)}};
    copper.side = {{0.0f, hex(0x7a3412)}, {1.0f, hex(0x1e0804)}};
    copper.depth = 8 * ss;
    copper.dx = 0.55f;
    copper.dy = 0.8f;
    copper.bevel = 2 * ss;
    copper.relief = 10;
    copper.specular = 0.9f;
    draw_lettering(letters, m, x, y, copper);
    // The letters stand on a black mirror: a faded reflection below their foot.
    Canvas c(w * ss, h * ss);
    const int foot = y + m.h + int(8 * ss * 0.8f);
    for (int yy = 0; yy < c.h; ++yy)
        for (int xx = 0; xx < c.w; ++xx) {
            Rgb p = letters.at(xx, yy);
            const int mirror = 2 * foot - yy;
            if (yy > foot && mirror >= 0 && mirror < c.h) {
                const float fade = 0.28f * (1.0f - clamp01(float(yy - foot) / (30.0f * ss)));
                p = p + letters.at(xx, mirror) * fade;
            }
            c.at(xx, yy) = p;
        }
    const Canvas small = downsample(c, ss);
    Bytes out(size_t(w) * h * 3);
    for (size_t i = 0; i < small.px.size(); ++i) {
        const Rgb p = clamp01(small.px[i]);
        out[i * 3] = uint8_t(std::lround(p.r * 255));
        out[i * 3 + 1] = uint8_t(std::lround(p.g * 255));
        out[i * 3 + 2] = uint8_t(std::lround(p.b * 255));
    }
    return out;
}

std::string escaped(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

void append_array(std::string& out, const Bytes& data) {
    for (size_t i = 0; i < data.size(); ++i) {
        out += std::to_string(data[i]);
        out += ',';
        if (i % 24 == 23) out += '\n';
    }
}

} // namespace

int badge_level(int value) {
    return value >= 224 && value <= 255 ? badge_greys[value - 224] : 0;
}

Resources build_resources() {
    Resources r;
    r.title_badge = make_badge();
    r.dialog_picture = make_dialog_picture();
    r.credits = {"Code: Kelvane  Graphics: Mirrow  Music: Tonsk",
                 "2nd in the PC demo competition at Lumenfest 1998",
                 "Linux conversion with SDL2 and libopenmpt"};
    r.dialog_font = make_dialog_font(sans);
    r.caption_font = make_dialog_font(sans_bold);
    return r;
}

std::string resources_source(const Resources& r) {
    std::string out = "// Made by vantrose-content: do not edit.\n"
                      "#include \"resources/resources.h\"\n\nnamespace vantrose {\n\n";
    out += "const uint8_t title_badge[title_badge_width * title_badge_height] = {\n";
    append_array(out, r.title_badge);
    out += "};\n\nconst uint8_t dialog_picture[dialog_picture_width * dialog_picture_height * 3] = "
           "{\n";
    append_array(out, r.dialog_picture);
    out += "};\n\nconst char* const about_credits[3] = {\n";
    for (const std::string& line : r.credits) out += "    \"" + escaped(line) + "\",\n";
    out += "};\n\n";
    out += dialog_font_source(r.dialog_font, "dialog_font");
    out += dialog_font_source(r.caption_font, "dialog_caption_font");
    out += "} // namespace vantrose\n";
    return out;
}

} // namespace vantrose
