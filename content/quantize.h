// Reduction of a float colour picture to palette indices.
#pragma once
#include "content/palettes.h"
#include "content/raster.h"

namespace vantrose {

// Chooses `count` colours for the picture (median cut, refined by k-means, in 6-bit levels),
// writes them to palette entries first..first+count-1 and returns the picture as indices into
// them, with error diffusion of strength `dither` (0 = none, 1 = full Floyd-Steinberg).
// Where `alpha` is given, pixels whose alpha is 0 get index 0 and take no part.
Indexed quantize(const Canvas& c, Palette& pal, int first, int count, float dither,
                 const Mask* alpha = nullptr);

// The picture in 256 colours of its own palette.
Art quantized(const Canvas& c, float dither);

} // namespace vantrose
