// --trace lines and --stats figures: where the show is, by frame, tick and music position.
#pragma once
#include <cstdint>

namespace vantrose {

// A scene of the show starts (1..42).
void note_scene_start(int scene);
// The scene playing now (0 before the first), and forgetting it (tests).
int scene_playing();
void forget_scene();
// A 3D runner enters its phase (1..3).
void note_phase_change(int phase);
// An archive entry has been loaded into a buffer of the show.
void note_load(uint32_t entry, const uint8_t* destination);

} // namespace vantrose
