// The picture's fit in outputs of any size: aspect, centring, whole factors and when linear
// follows.
#include <gtest/gtest.h>

#include "shell/viewport.h"

using namespace vantrose;

TEST(Viewport, FitsTheAspectSharplyInAnyOutput) {
    struct Case {
        int out_w, out_h, pic_h, aspect_w, aspect_h;
        bool whole_only;
        Viewport want;
    };
    const Case cases[] = {
        {1920, 1080, 400, 4, 3, false, {240, 0, 1440, 1080, 3, 3, true}},  // dots 1.2 times as tall
        {1280, 1024, 400, 4, 3, false, {0, 32, 1280, 960, 2, 3, true}},    // bars above and below
        {1920, 1080, 400, 16, 10, false, {96, 0, 1728, 1080, 3, 3, true}}, // square dots
        {1920, 1080, 480, 4, 3, false, {240, 0, 1440, 1080, 3, 3, true}},
        {1280, 960, 480, 4, 3, false, {0, 0, 1280, 960, 2, 2, false}},    // whole: nearest alone
        {3200, 2400, 400, 4, 3, false, {0, 0, 3200, 2400, 5, 6, false}},  // exact 4:3 in 5x6 blocks
        {1280, 800, 400, 4, 3, false, {106, 0, 1067, 800, 2, 2, true}},   // a browser window
        {2560, 1600, 400, 4, 3, false, {213, 0, 2133, 1600, 4, 4, true}}, // HiDPI: 2 px a point
        {1001, 777, 400, 4, 3, false, {0, 13, 1001, 751, 2, 2, true}},    // odd sizes round
        {1920, 1080, 400, 4, 3, true, {320, 140, 1280, 800, 2, 2, false}}, // whole multiples only
        {3840, 2160, 400, 4, 3, true, {320, 80, 3200, 2000, 5, 5, false}}, // square dots, not 4:3
        {320, 240, 400, 4, 3, false, {0, 0, 320, 240, 1, 1, true}}, // smaller than the picture
        {320, 240, 400, 4, 3, true, {0, 0, 320, 240, 1, 1, false}}, // no whole multiple fits
        {0, -5, 400, 4, 3, false, {0, 0, 1, 1, 1, 1, true}},        // no output at all
    };
    for (const Case& c : cases) {
        const Viewport v =
            fit_viewport(c.out_w, c.out_h, 640, c.pic_h, c.aspect_w, c.aspect_h, c.whole_only);
        const Viewport& w = c.want;
        EXPECT_TRUE(v.x == w.x && v.y == w.y && v.w == w.w && v.h == w.h &&
                    v.scale_x == w.scale_x && v.scale_y == w.scale_y && v.linear == w.linear)
            << c.out_w << "x" << c.out_h << " 640x" << c.pic_h << " at " << c.aspect_w << ":"
            << c.aspect_h << (c.whole_only ? " whole" : "") << ": got " << v.x << "," << v.y << " "
            << v.w << "x" << v.h << " scale " << v.scale_x << "x" << v.scale_y
            << (v.linear ? " linear" : "");
    }
}
