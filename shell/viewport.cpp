// The picture's place and enlargement in an output of any size.
#include "shell/viewport.h"

#include <algorithm>
#include <cstdint>

namespace vantrose {

Viewport fit_viewport(int out_w, int out_h, int pic_w, int pic_h, int aspect_w, int aspect_h,
                      bool whole_only) {
    out_w = std::max(out_w, 1);
    out_h = std::max(out_h, 1);
    Viewport v{};
    const int whole = std::min(out_w / pic_w, out_h / pic_h);
    if (whole_only && whole >= 1) {
        v.w = whole * pic_w;
        v.h = whole * pic_h;
        v.scale_x = v.scale_y = whole;
    } else {
        // 64-bit products: outputs of any size keep their aspect exactly to the pixel.
        if (int64_t{out_w} * aspect_h >= int64_t{out_h} * aspect_w) {
            v.h = out_h;
            v.w = static_cast<int>((int64_t{out_h} * aspect_w + aspect_h / 2) / aspect_h);
        } else {
            v.w = out_w;
            v.h = static_cast<int>((int64_t{out_w} * aspect_h + aspect_w / 2) / aspect_w);
        }
        v.w = std::clamp(v.w, 1, out_w);
        v.h = std::clamp(v.h, 1, out_h);
        // Enlarging linearly instead would put two blended pixels on some dot edges.
        v.scale_x = (v.w + pic_w - 1) / pic_w;
        v.scale_y = (v.h + pic_h - 1) / pic_h;
        // whole_only on an output smaller than the picture: nearest all the way.
        v.linear = !whole_only && (v.w != v.scale_x * pic_w || v.h != v.scale_y * pic_h);
    }
    v.x = (out_w - v.w) / 2;
    v.y = (out_h - v.h) / 2;
    return v;
}

Aspect shown_aspect(int pic_w, int pic_h, bool square_dots) {
    return square_dots ? Aspect{pic_w, pic_h} : Aspect{4, 3};
}

} // namespace vantrose
