#include <atomic>
#include <thread>
#include <vector>

#include "engine3d/frame.h"
#include "shell/display.h"
#include "shell/startup.h"
#include "support.h"

using namespace vantrose;
using vantrose::test3d::Engine3d;

namespace {

int calls = 0;
bool lock_was_held = false;

class Phase : public Engine3d {
  protected:
    void SetUp() override {
        Engine3d::SetUp();
        calls = 0;
        lock_was_held = false;
        picture.assign(frame_bytes, 0);
        saved_picture = true_color_frame;
        true_color_frame = picture.data();
        app_active = 0; // nothing reaches a display
    }
    void TearDown() override {
        true_color_frame = saved_picture;
        Engine3d::TearDown();
    }
    std::vector<uint8_t> picture;
    uint8_t* saved_picture = nullptr;
};

} // namespace

TEST_F(Phase, ShowsOneFrameEvenWhenItsEndAlreadyHolds) {
    run_phase_3d(1, true, [] {
        calls++;
        return true;
    });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(at(0, 0), 0); // the frame was rendered: cleared
}

TEST_F(Phase, TestsItsEndAfterEachFrameWithTheNodesLocked) {
    run_phase_3d(2, false, [] {
        std::thread other([] {
            if (node_mutex.try_lock()) {
                node_mutex.unlock();
            } else {
                lock_was_held = true;
            }
        });
        other.join();
        node_templates[0].px += 1; // a runner writes root fields here
        return ++calls == 3;
    });
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(lock_was_held);
    EXPECT_EQ(node_templates[0].px, 3.0f);
}

TEST_F(Phase, TicksOnAnotherThreadAreSeenWhole) {
    const ModelVertex v[3] = {{0, 0, 0}, {0, 40, 0}, {40, 0, 0}};
    const Face f[1] = {{0, 1, 2, 0}};
    append_object(0, v, 3, f, 1);
    node_templates[0] = node(0);
    node_count = root_count = 1;
    std::atomic<bool> stop{false};
    // A tick that keeps px and py equal and swings the light, under the lock as ticks do.
    std::thread ticker([&] {
        while (!stop.load()) {
            std::lock_guard<std::mutex> lock(node_mutex);
            node_templates[0].px += 1;
            node_templates[0].py += 1;
            light_vector.lx = -light_vector.lx + 1;
        }
    });
    for (int frame = 0; frame < 200; frame++) {
        render_frame_3d();
        ASSERT_EQ(nodes[0].px, nodes[0].py);
    }
    stop = true;
    ticker.join();
}
