// One 3D frame from the current node templates into rgb_screen.
#include "engine3d/frame.h"

#include "engine3d/pipeline.h"

namespace vantrose {

void render_frame_3d() {
    copy_node_templates();
    instance_scene();
    project_vertices();
    cull_back_faces();
    compute_depth_keys();
    if (visible_face_count >= 2) sort_faces(0, static_cast<int32_t>(visible_face_count) - 1);
    clear_frame_3d();
    draw_faces();
}

} // namespace vantrose
