// The render loop of a 3D runner's phase.
#include "engine3d/frame.h"
#include "engine3d/model.h"
#include "shell/display.h"
#include "shell/music.h"
#include "capture/trace.h"

namespace vantrose {

void run_phase_3d(int phase, bool poll, bool (*done)()) {
    note_phase_change(phase);
    for (;;) {
        render_frame_3d();
        if (poll) poll_music();
        present_stripes_flat();
        // Tested after the frame is shown, so every phase shows at least one frame.
        std::lock_guard<std::mutex> lock(node_mutex);
        if (done()) return;
    }
}

} // namespace vantrose
