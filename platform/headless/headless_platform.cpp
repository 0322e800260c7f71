// No window, no audio device: every display step succeeds, frames go only to the frame hooks.
#include "platform/platform.h"

namespace vantrose {

namespace {

class HeadlessPlatform final : public Platform {
  public:
    bool create_display_object() override { return true; }
    void show_cursor(bool) override {}
    bool create_window(int) override { return true; }
    bool set_cooperative_level() override { return true; }
    bool set_display_mode(int) override { return true; }
    bool create_surface(int) override { return true; }
    bool get_back_buffer() override { return true; }
    void destroy_window() override {}
    void show_window() override {}
    void release_display() override {}
    void present(const uint8_t*, int) override {}
    void pump_events() override {}
    void message_box(const char*, const char*) override {}
};

} // namespace

Platform* headless_platform() {
    static HeadlessPlatform headless;
    return &headless;
}

Platform* platform = headless_platform();

} // namespace vantrose
