#include "content/font.h"
#include "content/hires.h"
#include "content/pictures.h"
#include "content/textures.h"
#include "content/textures3d.h"

namespace vantrose {
static Art grad(int w, int h) {
    Art a;
    a.image = Indexed(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) a.image.at(x, y) = uint8_t((x ^ y) & 255);
    put_ramp(a.palette, 0, 256, theme::copper);
    return a;
}
Art blank_picture() {
    return grad(320, 200);
}
Art nebula_picture() {
    return grad(320, 200);
}
Art credit_card(int) {
    return grad(320, 200);
}
Art sunset_picture() {
    return grad(320, 200);
}
Art rings_picture() {
    return grad(320, 200);
}
Art spiral_picture() {
    return grad(320, 200);
}
Art pool_picture() {
    return grad(320, 200);
}
Art title_picture() {
    return grad(640, 480);
}
Art aurora_picture() {
    return grad(640, 480);
}
Art eclipse_picture() {
    return grad(640, 480);
}
} // namespace vantrose
