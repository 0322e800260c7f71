// Rendering the module for the clocks: the audio callback, wall-time catch-up and lockstep.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vantrose {

// Renders `frames` stereo sample frames of the playing module at the master volume; silence
// when no module plays. Publishes the order and row reached. Unheard samples (no device, no
// recording) are mixed with the cheapest resampler: the position moves exactly the same.
void render_music(int16_t* samples, size_t frames, bool heard);

// Closes the module without the stop and free messages (ending before the show starts).
void discard_music();

} // namespace vantrose
