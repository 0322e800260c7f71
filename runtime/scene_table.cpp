#include "runtime/script.h"

namespace vantrose {

// Scenes 2 to 42 follow the opening.
void run_scene_table() {}

} // namespace vantrose
