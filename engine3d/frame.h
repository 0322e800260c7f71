// The frame driver and the pattern of the 3D scene runners.
#pragma once
#include <cstdint>

namespace vantrose {

void render_frame_3d();

// One phase of a runner: frames of render_frame_3d, poll_music (when `poll`) and
// present_stripes_flat until `done` holds after a frame (so at least one frame is shown).
// `done` is called with node_mutex held. Notes the phase change for --trace.
void run_phase_3d(int phase, bool poll, bool (*done)());

} // namespace vantrose
