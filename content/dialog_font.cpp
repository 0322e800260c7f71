// The dialogs' bitmap font, rendered once with FreeType at the dialogs' size.
#include "content/dialog_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <stdexcept>

namespace vantrose {

namespace {

constexpr int points = 8, dots_per_inch = 96;
constexpr int first_char = 32, last_char = 126;

// 26.6 fixed point rounded up to whole pixels, as screen text measures its lines.
int ceil_pixels(FT_Pos v) {
    return int((v + 63) >> 6);
}

} // namespace

BitmapFont make_dialog_font(const char* file) {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) throw std::runtime_error("FreeType init");
    const std::string path = std::string(VANTROSE_FONT_DIR) + "/" + file;
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0 ||
        FT_Set_Char_Size(face, 0, points * 64, dots_per_inch, dots_per_inch) != 0) {
        FT_Done_FreeType(library);
        throw std::runtime_error("cannot load font " + path);
    }
    BitmapFont font;
    const FT_Fixed scale = face->size->metrics.y_scale;
    font.ascent = ceil_pixels(FT_MulFix(face->ascender, scale));
    font.height = ceil_pixels(FT_MulFix(face->ascender - face->descender, scale));
    for (int c = first_char; c <= last_char; ++c) {
        const FT_UInt index = FT_Get_Char_Index(face, FT_ULong(c));
        if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_TARGET_NORMAL) != 0 ||
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) {
            FT_Done_FreeType(library);
            throw std::runtime_error(path + " has no glyph for " + std::to_string(c));
        }
        const FT_GlyphSlot g = face->glyph;
        BitmapGlyph glyph;
        glyph.left = g->bitmap_left;
        glyph.top = g->bitmap_top;
        glyph.w = int(g->bitmap.width);
        glyph.h = int(g->bitmap.rows);
        glyph.advance = int((g->advance.x + 32) >> 6);
        glyph.offset = uint32_t(font.coverage.size());
        for (int y = 0; y < glyph.h; ++y)
            for (int x = 0; x < glyph.w; ++x)
                font.coverage.push_back(g->bitmap.buffer[y * g->bitmap.pitch + x]);
        font.glyphs.push_back(glyph);
    }
    FT_Done_FreeType(library);
    return font;
}

std::string dialog_font_source(const BitmapFont& font, const std::string& name) {
    std::string out =
        "const DialogGlyph " + name + "_glyphs[" + std::to_string(font.glyphs.size()) + "] = {\n";
    for (const BitmapGlyph& g : font.glyphs)
        out += "    {" + std::to_string(g.left) + ", " + std::to_string(g.top) + ", " +
               std::to_string(g.w) + ", " + std::to_string(g.h) + ", " + std::to_string(g.advance) +
               ", " + std::to_string(g.offset) + "},\n";
    out += "};\n\nconst uint8_t " + name + "_coverage[" + std::to_string(font.coverage.size()) +
           "] = {\n";
    for (size_t i = 0; i < font.coverage.size(); ++i) {
        out += std::to_string(font.coverage[i]);
        out += i % 24 == 23 ? ",\n" : ",";
    }
    out += "};\n\nconst DialogFont " + name + "{" + std::to_string(font.height) + ", " +
           std::to_string(font.ascent) + ", " + name + "_glyphs, " + name + "_coverage};\n\n";
    return out;
}

} // namespace vantrose
