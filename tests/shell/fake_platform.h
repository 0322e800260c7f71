// A platform that writes each call it gets on stderr (death tests read the order back) and can
// be told to fail one display step.
#pragma once
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vantrose::test_support {

class FakePlatform final : public Platform {
  public:
    std::string fail; // name of the step that fails
    AudioFill fill = nullptr;

    bool step(const char* name) {
        std::fprintf(stderr, "[%s]\n", name);
        return fail != name;
    }
    bool create_display_object() override { return step("create_display_object"); }
    void show_cursor(bool shown) override { step(shown ? "show_cursor" : "hide_cursor"); }
    bool create_window(int) override { return step("create_window"); }
    bool set_cooperative_level() override { return step("set_cooperative_level"); }
    bool set_display_mode(int) override { return step("set_display_mode"); }
    bool create_surface(int) override { return step("create_surface"); }
    bool get_back_buffer() override { return step("get_back_buffer"); }
    void destroy_window() override { step("destroy_window"); }
    void show_window() override { step("show_window"); }
    void release_display() override { step("release_display"); }
    void present(const uint8_t*, int) override { step("present"); }
    void pump_events() override { step("pump_events"); }
    void message_box(const char* caption, const char* text) override {
        std::fprintf(stderr, "[box %s: %s]\n", caption, text);
    }
    bool open_audio(AudioFill f) override {
        fill = f;
        return step("open_audio");
    }
    void start_audio() override { step("start_audio"); }
    void pause_audio() override { step("pause_audio"); }
    void lock_audio() override {}
    void unlock_audio() override {}
    void close_audio() override { step("close_audio"); }
    uint32_t queued = 0; // frames the device holds after each fill
    uint32_t audio_queued_frames() override { return queued; }

    // Dialog windows: `events` come in order (keys to the window on top), then a quit;
    // `dialogs` notes each opening and closing, `shown` the pixels shown last.
    std::deque<DialogEvent> events;
    std::string dialogs;
    std::vector<uint8_t> shown;
    int open_windows = 0, width = 0;
    std::vector<int> widths, heights; // of window 1, 2
    int open_dialog(int w, int h, const char* caption, int, int owner) override {
        dialogs += "open " + std::string(caption) + " " + std::to_string(w) + "x" +
                   std::to_string(h) + " over " + std::to_string(owner) + "; ";
        widths.resize(size_t(open_windows) + 1);
        heights.resize(size_t(open_windows) + 1);
        widths.back() = w;
        heights.back() = h;
        return ++open_windows;
    }
    void show_dialog(int window, const uint8_t* pixels) override {
        width = widths[size_t(window - 1)];
        shown.assign(pixels, pixels + size_t(width) * size_t(heights[size_t(window - 1)]) * 4);
    }
    DialogEvent next_dialog_event(int) override {
        if (events.empty()) post_quit();
        if (events.empty()) return {};
        DialogEvent e = events.front();
        events.pop_front();
        if (e.kind == DialogEvent::Kind::key) e.window = open_windows;
        return e;
    }
    void close_dialog(int window) override {
        dialogs += "close " + std::to_string(window) + "; ";
        --open_windows;
    }
};

} // namespace vantrose::test_support
