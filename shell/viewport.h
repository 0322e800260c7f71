// Where the picture goes in an output of any size: the same numbers for every backend.
#pragma once

namespace vantrose {

struct Viewport {
    int x, y, w, h;       // the picture's rectangle in the output, black around it
    int scale_x, scale_y; // whole-factor nearest-neighbour enlargement made first
    bool linear;          // then linear to w x h (else nearest alone)
};

// The largest area of the displayed aspect aspect_w : aspect_h (4:3 for the 400-line picture
// as its monitors showed it, the picture's own 640:400 for square dots) centred in an output of
// out_w x out_h pixels. Sharp: each axis first enlarged by the smallest whole factor that
// reaches the area, then reduced linearly to it. Reducing samples are more than a prescaled
// pixel apart, so at most one output pixel falls where two dots meet: one blended pixel per
// dot edge, every dot the same width give or take that pixel. `whole_only`: whole multiples of
// the picture with square dots and wider borders, where at least one fits.
Viewport fit_viewport(int out_w, int out_h, int pic_w, int pic_h, int aspect_w, int aspect_h,
                      bool whole_only);

// How a pic_w x pic_h picture is shown: 4:3, as the monitors of its time showed both heights,
// or with square dots (the picture's own shape: 16:10 for 640 x 400).
struct Aspect {
    int w, h;
};
Aspect shown_aspect(int pic_w, int pic_h, bool square_dots);

} // namespace vantrose
