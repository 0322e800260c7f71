#include "content/text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

namespace vantrose {
namespace {

FT_Face face_for(const char* file) {
    static FT_Library library = nullptr;
    static std::map<std::string, FT_Face> faces;
    if (!library && FT_Init_FreeType(&library) != 0) throw std::runtime_error("FreeType init");
    auto it = faces.find(file);
    if (it != faces.end()) return it->second;
    const std::string path = std::string(VANTROSE_FONT_DIR) + "/" + file;
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0)
        throw std::runtime_error("cannot load font " + path);
    faces[file] = face;
    return face;
}

struct Placed {
    FT_Glyph_Metrics metrics;
    int left, top, w, h;
    std::vector<uint8_t> bits;
};

// Lays the text out glyph by glyph; calls emit(pen_x, glyph) with the pen in 26.6 units.
template <class F> void layout(const std::string& text, const TextStyle& s, F emit) {
    FT_Face face = face_for(s.font);
    FT_Set_Char_Size(face, FT_F26Dot6(std::lround(s.size * s.xscale * 64)),
                     FT_F26Dot6(std::lround(s.size * 64)), 72, 72);
    FT_Matrix shear{0x10000, FT_Fixed(std::lround(s.slant * 65536)), 0, 0x10000};
    FT_Set_Transform(face, &shear, nullptr);
    const FT_Int32 flags = s.hinted ? FT_LOAD_TARGET_NORMAL : FT_LOAD_NO_HINTING;
    long pen = 0;
    FT_UInt previous = 0;
    for (unsigned char ch : text) {
        const FT_UInt index = FT_Get_Char_Index(face, ch);
        if (previous && index && FT_HAS_KERNING(face)) {
            FT_Vector k;
            FT_Get_Kerning(face, previous, index, FT_KERNING_UNFITTED, &k);
            pen += k.x;
        }
        if (FT_Load_Glyph(face, index, flags) != 0) continue;
        const FT_GlyphSlot g = face->glyph;
        if (s.embolden > 0 && g->format == FT_GLYPH_FORMAT_OUTLINE)
            FT_Outline_Embolden(&g->outline, FT_Pos(std::lround(s.embolden * 64)));
        if (FT_Render_Glyph(g, FT_RENDER_MODE_NORMAL) != 0) continue;
        Placed p;
        p.metrics = g->metrics;
        p.left = g->bitmap_left;
        p.top = g->bitmap_top;
        p.w = int(g->bitmap.width);
        p.h = int(g->bitmap.rows);
        p.bits.resize(size_t(p.w) * size_t(p.h));
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x)
                p.bits[size_t(y * p.w + x)] = g->bitmap.buffer[y * g->bitmap.pitch + x];
        emit(pen, p);
        pen += g->advance.x + long(std::lround(s.tracking * 64));
        previous = index;
    }
}

} // namespace

Mask text_mask(const std::string& text, const TextStyle& style, int margin, int* baseline,
               int* origin) {
    int x0 = 1 << 30, x1 = -(1 << 30), y0 = 1 << 30, y1 = -(1 << 30);
    layout(text, style, [&](long pen, const Placed& p) {
        if (p.w == 0) return;
        const int px = int(pen >> 6) + p.left;
        x0 = std::min(x0, px);
        x1 = std::max(x1, px + p.w);
        y0 = std::min(y0, -p.top);
        y1 = std::max(y1, -p.top + p.h);
    });
    if (x0 > x1) {
        if (baseline) *baseline = margin;
        if (origin) *origin = margin;
        return Mask(2 * margin + 1, 2 * margin + 1);
    }
    Mask m(x1 - x0 + 2 * margin, y1 - y0 + 2 * margin);
    layout(text, style, [&](long pen, const Placed& p) {
        const int px = int(pen >> 6) + p.left - x0 + margin;
        const int py = -p.top - y0 + margin;
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x) {
                float& a = m.at(px + x, py + y);
                a = std::min(1.0f, a + p.bits[size_t(y * p.w + x)] / 255.0f);
            }
    });
    if (baseline) *baseline = margin - y0;
    if (origin) *origin = margin - x0;
    return m;
}

int text_width(const std::string& text, const TextStyle& style) {
    const Mask m = text_mask(text, style);
    return m.w;
}

Mask text_mask_smooth(const std::string& text, const TextStyle& style, int ss, int margin) {
    TextStyle big = style;
    big.size *= float(ss);
    big.tracking *= float(ss);
    big.embolden *= float(ss);
    big.hinted = false;
    Mask m = text_mask(text, big, margin * ss);
    // Round the size up to a whole number of output pixels.
    Mask padded(((m.w + ss - 1) / ss) * ss, ((m.h + ss - 1) / ss) * ss);
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) padded.at(x, y) = m.at(x, y);
    return downsample(padded, ss);
}

} // namespace vantrose
