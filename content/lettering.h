// Three-dimensional lettering: a bevelled, lit face over an extruded side, from a coverage mask.
#pragma once
#include "content/palettes.h"
#include "content/raster.h"

namespace vantrose {

struct Lettering {
    Stops face;      // face colour from the top of the letters to their bottom
    Stops side;      // extrusion colour from the face back to the far end
    int depth = 0;   // extrusion length in pixels
    float dx = 0.6f; // extrusion direction per pixel of depth
    float dy = 1.0f;
    int bevel = 3;      // bevel width in pixels
    float relief = 8;   // bevel steepness
    float light_x = -1; // light direction (towards the light)
    float light_y = -1.3f;
    float specular = 0.8f;
    int outline = 0; // dark rim around the whole, in pixels
    Rgb outline_colour{};
};

// Draws the lettering with the mask's top left corner at (x, y).
void draw_lettering(Canvas& c, const Mask& m, int x, int y, const Lettering& style);

} // namespace vantrose
