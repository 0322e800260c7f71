// Where the picture goes in an output of any size: the same numbers for every backend.
#pragma once

namespace vantrose {

struct Viewport {
    int x, y, w, h;       // the picture's rectangle in the output, black around it
    int scale_x, scale_y; // whole-factor nearest-neighbour enlargement made first
    bool linear;          // then linear the rest of the way (else nearest alone)
};

// The largest area of the displayed aspect aspect_w : aspect_h (4:3 for the 400-line picture
// as its monitors showed it, the picture's own 640:400 for square dots) centred in an output of
// out_w x out_h pixels. Sharp: each axis first enlarged by the largest whole factor that fits,
// then linear, so every dot keeps the same width and only the pixel where two dots meet is
// blended. `whole_only`: whole multiples of the picture with square dots and wider borders,
// where at least one fits.
Viewport fit_viewport(int out_w, int out_h, int pic_w, int pic_h, int aspect_w, int aspect_h,
                      bool whole_only);

} // namespace vantrose
