// The web backend: the page's canvas and keys, the mode dialog in HTML, and the module's samples
// handed to an AudioWorklet; the browser gets its turn between two frames (platform/web/page.js).
#include <emscripten.h>

#include <cstring>
#include <string>

#include "capture/dump.h"
#include "platform/platform.h"
#include "resources/resources.h"
#include "shell/clock.h"
#include "shell/commands.h"
#include "shell/dialogs.h"
#include "shell/display.h"
#include "shell/startup.h"
#include "shell/viewport.h"

namespace vantrose {

namespace {

// The page's side of each step (Module.page in page.js).
// clang-format off
EM_JS(void, page_open_canvas, (int height), { Module.page.openCanvas(height); });
EM_JS(void, page_draw, (const uint8_t* rgba, int height), { Module.page.draw(HEAPU8, rgba, height); });
EM_JS(void, page_queue_audio, (const int16_t* samples, int frames), {
    Module.page.queueAudio(HEAP16, samples, frames);
});
EM_JS(void, page_message, (const char* caption, const char* text), {
    Module.page.message(UTF8ToString(caption), UTF8ToString(text));
});
EM_JS(void, page_full_screen, (), { Module.page.toggleFullScreen(); });
EM_JS(void, page_save_frame, (const uint8_t* rgba, int height, const char* name), {
    Module.page.saveFrame(HEAPU8, rgba, height, UTF8ToString(name));
});
#if VANTROSE_ASYNCIFY
EM_ASYNC_JS(void, page_turn, (), { await Module.page.turn(); });
EM_ASYNC_JS(int, page_mode_dialog, (const uint8_t* picture, int width, int height,
                                    const char* c0, const char* c1, const char* c2), {
    return await Module.page.modeDialog(HEAPU8, picture, width, height,
                                        [UTF8ToString(c0), UTF8ToString(c1), UTF8ToString(c2)]);
});
#else
// Built without ASYNCIFY only to measure what it costs: the test mode alone runs, never yielding.
void page_turn() {}
int page_mode_dialog(const uint8_t*, int, int, const char*, const char*, const char*) {
    return 0;
}
#endif
// clang-format on

// The canvas takes red, green, blue, alpha: the frame's blue, green, red, unused reordered.
uint8_t canvas_pixels[frame_width * frame_rows * 4];

// The samples of each presented frame on the virtual clock go to the page's sound.
void queue_audio(const uint8_t*, int, const int16_t* audio, size_t frames) {
    if (frames != 0) page_queue_audio(audio, static_cast<int>(frames));
}

void to_canvas(const uint8_t* frame, int height) {
    const size_t pixels = static_cast<size_t>(frame_width) * height;
    for (size_t i = 0; i < pixels; ++i) {
        canvas_pixels[4 * i + 0] = frame[4 * i + 2];
        canvas_pixels[4 * i + 1] = frame[4 * i + 1];
        canvas_pixels[4 * i + 2] = frame[4 * i + 0];
        canvas_pixels[4 * i + 3] = 255;
    }
}

class WebPlatform final : public Platform {
  public:
    // The page is there, with its canvas, before the program starts.
    bool create_display_object() override { return true; }
    void show_cursor(bool) override {}
    bool create_window(int height) override {
        page_open_canvas(height);
        return true;
    }
    bool set_cooperative_level() override { return true; }
    // The page draws the 640 x height picture into its own canvas with web_fit's numbers.
    bool set_display_mode(int) override { return true; }
    bool create_surface(int) override { return true; }
    bool get_back_buffer() override { return true; }
    void destroy_window() override {}
    void show_window() override {
        app_active = 1;
        frame_sink = queue_audio;
    }
    void release_display() override { frame_sink = nullptr; }
    void present(const uint8_t* frame, int height) override {
        to_canvas(frame, height);
        page_draw(canvas_pixels, height);
    }
    // The page's turn is the wait: pump_events hands the browser its turn.
    void wait_for_input() override {}
    const char* error_text() override { return "no canvas"; }
    // Alt+Enter comes inside the key's own event, where the browser allows full screen.
    void toggle_full_screen() override { page_full_screen(); }
    // The frame goes to the viewer as a PNG download.
    bool offer_frame(const uint8_t* frame, int height, const char* name) override {
        to_canvas(frame, height);
        page_save_frame(canvas_pixels, height, name);
        return true;
    }
    // The browser's turn: its events run (Escape posts the quit) and the show waits for the next
    // display refresh, at most 60 a second, and while the sound is far enough ahead.
    void pump_events() override { page_turn(); }
    void message_box(const char* caption, const char* text) override {
        page_message(caption, text);
    }
};

} // namespace

Platform* window_platform() {
    static WebPlatform web;
    return &web;
}

// The mode dialog and its About box are HTML in the page; the page answers with the mode.
int run_mode_dialog() {
    const int chosen = page_mode_dialog(dialog_picture, dialog_picture_width, dialog_picture_height,
                                        about_credits[0], about_credits[1], about_credits[2]);
    if (chosen != 400 && chosen != 480) return 1;
    screen_height = chosen;
    return 0;
}

// A page has no folder to write PNG files into: --dump is a native option.
bool prepare_dump_folder(const std::string&, std::string& error) {
    error = "a page cannot write files: --dump is an option of the program";
    return false;
}
bool write_png(const std::string&, const uint8_t*, int) {
    return false;
}

} // namespace vantrose

// A key in the page, as the show's own key (vantrose::Key's order).
extern "C" EMSCRIPTEN_KEEPALIVE void web_key(int key, int alt, int shift, int repeat) {
    using vantrose::Key;
    const bool known = key >= 0 && key <= static_cast<int>(Key::print_screen);
    vantrose::key_pressed(
        {known ? static_cast<Key>(key) : Key::other, alt != 0, shift != 0, repeat != 0});
}

// A button of the page's own (pause, sound, full screen) as the show's command.
extern "C" EMSCRIPTEN_KEEPALIVE void web_command(int command) {
    using vantrose::Command;
    if (command > 0 && command <= static_cast<int>(Command::volume_down))
        vantrose::run_command(static_cast<Command>(command));
}

// Whether the show waits in its pause: the page holds the sound meanwhile.
extern "C" EMSCRIPTEN_KEEPALIVE int web_paused() {
    return vantrose::show_paused() ? 1 : 0;
}

// The picture's place in the page's canvas, the same numbers the native window uses: x, y, w,
// h, the whole-factor prescale across and down, and whether linear takes it the rest of the way.
extern "C" EMSCRIPTEN_KEEPALIVE const int32_t* web_fit(int out_w, int out_h, int pic_w, int pic_h,
                                                       int aspect_w, int aspect_h) {
    static int32_t fit[7];
    const vantrose::Viewport v =
        vantrose::fit_viewport(out_w, out_h, pic_w, pic_h, aspect_w, aspect_h, false);
    const int32_t numbers[7] = {v.x, v.y, v.w, v.h, v.scale_x, v.scale_y, v.linear ? 1 : 0};
    std::memcpy(fit, numbers, sizeof fit);
    return fit;
}
