#include "content/lettering.h"

#include <algorithm>
#include <cmath>

namespace vantrose {

void draw_lettering(Canvas& c, const Mask& m, int x, int y, const Lettering& s) {
    // Room for the bevel's blur and the outline.
    const int margin = std::max(s.bevel * 3, s.outline) + 2;
    const Mask face = pad(m, margin);
    const int ox = x - margin, oy = y - margin;
    if (s.outline > 0) {
        Mask rim = dilate(face, s.outline);
        for (int k = s.depth; k >= 0; --k)
            paint(c, rim, ox + int(std::lround(k * s.dx)), oy + int(std::lround(k * s.dy)),
                  s.outline_colour);
    }
    for (int k = s.depth; k >= 1; --k) {
        const Rgb col = gradient(s.side, float(k) / float(s.depth));
        paint(c, face, ox + int(std::lround(k * s.dx)), oy + int(std::lround(k * s.dy)), col);
    }
    // Vertical extent of the ink, for the face gradient.
    int top = face.h, bottom = 0;
    for (int yy = 0; yy < face.h; ++yy)
        for (int xx = 0; xx < face.w; ++xx)
            if (face.at(xx, yy) > 0.5f) {
                top = std::min(top, yy);
                bottom = std::max(bottom, yy);
            }
    if (bottom < top) return;
    Mask gloss;
    const Mask shade = bevel_light(face, s.bevel, s.relief, s.light_x, s.light_y, &gloss);
    paint_with(c, face, ox, oy, [&](int cx, int cy) {
        const int fx = cx - ox, fy = cy - oy;
        const float t = float(fy - top) / float(std::max(1, bottom - top));
        const Rgb base = gradient(s.face, t) * shade.at(fx, fy);
        return clamp01(screen(base, Rgb{1, 0.95f, 0.85f} * (gloss.at(fx, fy) * s.specular)));
    });
}

} // namespace vantrose
