// The SDL backend: the show's window and renderer, its events, message boxes and the audio device.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/sdl/sdl_dialogs.h"
#include "platform/sdl/sdl_keys.h"
#include "platform/sdl/x11_errors.h"
#include "shell/clock.h"
#include "shell/display.h"
#include "shell/music.h"
#include "shell/options.h"
#include "shell/startup.h"

namespace vantrose {

SDL_Window* main_window = nullptr;

namespace {

void audio_callback(void* user, Uint8* stream, int length) {
    reinterpret_cast<AudioFill>(user)(reinterpret_cast<int16_t*>(stream),
                                      static_cast<size_t>(length) / 4);
}

// ALSA writes a line on stderr for every device it fails to open ("ALSA lib ... cannot find card
// '0'"); what matters reaches the user as our one line about sound instead. SDL loads libasound
// when it tries the ALSA driver: the handler set here, through the same library loaded and kept,
// is the one it sees.
void alsa_quiet(const char*, int, const char*, int, const char*, ...) {}

void silence_alsa() {
    static bool done = false;
    if (done) return;
    done = true;
    void* alsa = SDL_LoadObject("libasound.so.2"); // none where there is no ALSA
    if (!alsa) {
        SDL_ClearError();
        return;
    }
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    if (void* set = SDL_LoadFunction(alsa, "snd_lib_error_set_handler"))
        reinterpret_cast<SetHandler>(set)(alsa_quiet);
}

void no_audio_device() {
    std::fprintf(stderr, "vantrose: no audio device (%s): the show plays without sound\n",
                 SDL_GetError());
}

class SdlPlatform final : public SdlDialogs {
  public:
    bool create_display_object() override {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
        // A busy X server can turn a connection away for a moment: try a few times when a
        // display is named at all.
        const bool named = SDL_getenv("DISPLAY") || SDL_getenv("WAYLAND_DISPLAY");
        for (int attempt = 0; attempt < (named ? 5 : 1); ++attempt) {
            if (attempt > 0) SDL_Delay(200);
            if (open_video()) return true;
        }
        return false;
    }

    void show_cursor(bool shown) override {
        if (video_) SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
    }

    // Full-screen on the desktop, created at the desktop's size: where no window manager
    // resizes windows (a bare X server) the window still covers the screen. HiDPI screens get
    // their own pixels: the picture is scaled to the output's size, not the window's points.
    bool create_window(int height) override {
        height_ = height;
        SDL_Rect area{SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, frame_width, height};
        Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
        if (!options.window) {
            if (SDL_GetDisplayBounds(0, &area) != 0) return false;
            flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP |
                    SDL_WINDOW_ALLOW_HIGHDPI;
        }
        full_screen_ = !options.window;
        main_window = SDL_CreateWindow(title(), area.x, area.y, area.w, area.h, flags);
        return main_window != nullptr;
    }

    // The renderer takes the window over for presentation, waiting for vertical blank; on the
    // virtual clock frames are not paced by the display, so the show runs as fast as it renders.
    bool set_cooperative_level() override {
        if (!virtual_clock_on()) {
            renderer_ = SDL_CreateRenderer(main_window, -1, SDL_RENDERER_PRESENTVSYNC);
        }
        if (!renderer_) renderer_ = SDL_CreateRenderer(main_window, -1, 0);
        return renderer_ != nullptr;
    }

    bool set_display_mode(int height) override {
        height_ = height;
        int w = 0, h = 0;
        if (SDL_GetRendererOutputSize(renderer_, &w, &h) != 0) return false;
        read_refresh();
        return true;
    }

    bool create_surface(int height) override {
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                                     SDL_TEXTUREACCESS_STREAMING, frame_width, height);
        if (!texture_) return false;
        SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
        SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
        return true;
    }

    bool get_back_buffer() override {
        void* pixels = nullptr;
        int pitch = 0;
        if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) != 0) return false;
        SDL_UnlockTexture(texture_);
        return pitch >= frame_width * 4;
    }

    void destroy_window() override { release_display(); }

    void show_window() override {
        SDL_ShowWindow(main_window);
        SDL_RaiseWindow(main_window);
        SDL_SetWindowInputFocus(main_window);
        pump_events();
        probe_flip();
    }

    void release_display() override {
        drop_textures();
        if (renderer_) SDL_DestroyRenderer(renderer_);
        if (main_window) SDL_DestroyWindow(main_window);
        renderer_ = nullptr;
        main_window = nullptr;
    }

    void present(const uint8_t* frame, int height) override {
        if (!texture_) return;
        void* pixels = nullptr;
        int pitch = 0;
        if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) != 0) return; // frame dropped
        for (int y = 0; y < height; ++y) {
            std::memcpy(static_cast<uint8_t*>(pixels) + static_cast<size_t>(y) * pitch,
                        frame + static_cast<size_t>(y) * frame_width * 4, frame_width * 4);
        }
        SDL_UnlockTexture(texture_);
        draw();
    }

    void present_again() override {
        if (texture_) draw();
    }

    int refresh_rate() override { return refresh_; }
    bool follows_flip() override { return follows_flip_; }
    uint32_t audio_queued_frames() override { return audio_queued_; }

    void pump_events() override {
        SDL_Event e;
        while (SDL_PollEvent(&e)) handle(e);
    }

    void wait_for_input() override { SDL_WaitEventTimeout(nullptr, 15); }

    const char* error_text() override { return SDL_GetError(); }
    void quit() override { SDL_Quit(); }

    void message_box(const char* caption, const char* text) override {
        if (!video_) return;
        // The display's errors have no owner window; the music's belong to main_window.
        SDL_Window* owner = std::strcmp(caption, "DDRAW ERROR") == 0 ? nullptr : main_window;
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, owner);
    }

    bool open_audio(AudioFill fill) override {
        silence_alsa();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            no_audio_device();
            return false;
        }
        SDL_AudioSpec want{};
        want.freq = 44100;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = 1024;
        want.callback = audio_callback;
        want.userdata = reinterpret_cast<void*>(fill);
        SDL_AudioSpec have{};
        audio_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (audio_ == 0) {
            no_audio_device();
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        // SDL tells no latency for callback devices: what a fill renders is heard after that
        // buffer and the one the device is playing, which its backends size the same.
        audio_queued_ = 2u * have.samples;
        return true;
    }
    void start_audio() override {
        if (audio_) SDL_PauseAudioDevice(audio_, 0);
    }
    void pause_audio() override {
        if (audio_) SDL_PauseAudioDevice(audio_, 1);
    }
    void lock_audio() override {
        if (audio_) SDL_LockAudioDevice(audio_);
    }
    void unlock_audio() override {
        if (audio_) SDL_UnlockAudioDevice(audio_);
    }
    void close_audio() override {
        if (!audio_) return;
        SDL_CloseAudioDevice(audio_);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audio_ = 0;
    }

  private:
    static constexpr int frame_width = 640;

    static bool has_video_driver(const char* name) {
        for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
            if (std::strcmp(SDL_GetVideoDriver(i), name) == 0) return true;
        }
        return false;
    }

    bool open_video() {
        // Without a named Wayland display or a runtime folder no Wayland compositor can be
        // reached, and probing for one only makes libwayland print "XDG_RUNTIME_DIR is invalid":
        // SDL's other real drivers are tried then.
        const bool no_wayland = !SDL_getenv("WAYLAND_DISPLAY") && !SDL_getenv("XDG_RUNTIME_DIR");
        if (no_wayland && !SDL_getenv("SDL_VIDEODRIVER") && has_video_driver("wayland")) {
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,kmsdrm");
        }
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            if (!SDL_getenv("SDL_VIDEODRIVER")) SDL_SetError("no X11 or Wayland display reachable");
            return false;
        }
        // SDL falls back to drawing nowhere when no screen is reachable; unless asked for by
        // name, that is no display.
        const char* driver = SDL_GetCurrentVideoDriver();
        const bool invisible =
            driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
        if (SDL_GetNumVideoDisplays() < 1 || (invisible && !SDL_getenv("SDL_VIDEODRIVER"))) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            SDL_SetError("no X11 or Wayland display reachable");
            return false;
        }
        if (driver && std::strcmp(driver, "x11") == 0) catch_x_errors();
        video_ = true;
        return true;
    }

    const char* title() const {
        // The full-screen window keeps the show's own caption; a window gets the production's.
        return full_screen_ ? "Test" : "Quorv! - Vantrose";
    }

    void handle(const SDL_Event& e) {
        switch (e.type) {
        case SDL_WINDOWEVENT:
            if (main_window && e.window.windowID != SDL_GetWindowID(main_window)) break;
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                app_active = 1;
            else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
                app_active = 0;
            else if (e.window.event == SDL_WINDOWEVENT_CLOSE)
                post_quit();
            else if (e.window.event == SDL_WINDOWEVENT_DISPLAY_CHANGED)
                read_refresh();
            else if (show_paused() && (e.window.event == SDL_WINDOWEVENT_EXPOSED ||
                                       e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED))
                present_again();
            break;
        case SDL_KEYDOWN:
            key_pressed(translate_key(e.key));
            break;
        case SDL_QUIT:
            post_quit();
            break;
        case SDL_AUDIODEVICEREMOVED:
            if (!e.adevice.iscapture && audio_ != 0 && e.adevice.which == audio_)
                audio_device_lost();
            break;
        case SDL_RENDER_DEVICE_RESET:
            // The surface is lost: restore it; this frame is not shown again.
            drop_textures();
            if (renderer_) create_surface(height_);
            break;
        default:
            break;
        }
    }

  public:
    // Full-screen on the desktop and back. Sizes and places are set by hand as well, since
    // without a window manager nobody else does.
    void toggle_full_screen() override {
        const int display = std::max(0, SDL_GetWindowDisplayIndex(main_window));
        SDL_Rect screen{};
        if (SDL_GetDisplayBounds(display, &screen) != 0) return;
        full_screen_ = !full_screen_;
        if (full_screen_) {
            SDL_GetWindowPosition(main_window, &windowed_.x, &windowed_.y);
            SDL_GetWindowSize(main_window, &windowed_.w, &windowed_.h);
            SDL_SetWindowBordered(main_window, SDL_FALSE);
            SDL_SetWindowPosition(main_window, screen.x, screen.y);
            SDL_SetWindowSize(main_window, screen.w, screen.h);
            SDL_SetWindowFullscreen(main_window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        } else {
            SDL_SetWindowFullscreen(main_window, 0);
            SDL_SetWindowBordered(main_window, SDL_TRUE);
            SDL_SetWindowResizable(main_window, SDL_TRUE);
            if (windowed_.w == 0) {
                // Started full-screen: the largest whole multiple of the picture that leaves
                // room on the desktop, centred.
                SDL_Rect usable = screen;
                SDL_GetDisplayUsableBounds(display, &usable);
                const int k = std::max(
                    1, std::min((usable.w * 9 / 10) / frame_width, (usable.h * 9 / 10) / height_));
                windowed_ = {usable.x + (usable.w - k * frame_width) / 2,
                             usable.y + (usable.h - k * height_) / 2, k * frame_width, k * height_};
            }
            SDL_SetWindowSize(main_window, windowed_.w, windowed_.h);
            SDL_SetWindowPosition(main_window, windowed_.x, windowed_.y);
        }
        SDL_SetWindowTitle(main_window, title());
        read_refresh();
    }

  private:
    // The frame and its enlargement go; the scaling is worked out afresh for the next ones.
    void drop_textures() {
        if (prescaled_) SDL_DestroyTexture(prescaled_);
        if (texture_) SDL_DestroyTexture(texture_);
        prescaled_ = texture_ = nullptr;
        scaled_for_ = {};
    }

    void read_refresh() {
        SDL_DisplayMode mode{};
        const int display = main_window ? SDL_GetWindowDisplayIndex(main_window) : 0;
        refresh_ =
            SDL_GetCurrentDisplayMode(std::max(0, display), &mode) == 0 ? mode.refresh_rate : 0;
    }

    // A display that tells no refresh (a virtual X server) has no flip to follow, whatever the
    // renderer says: SDL then only imitates vsync with millisecond sleeps. Without a flip the
    // renderer is told not to wait, and the show's own pacing decides when frames go out.
    void probe_flip() {
        follows_flip_ = false;
        SDL_RendererInfo info{};
        if (!virtual_clock_on() && refresh_ > 0 && SDL_GetRendererInfo(renderer_, &info) == 0 &&
            (info.flags & SDL_RENDERER_PRESENTVSYNC)) {
            follows_flip_ = presents_wait();
        }
        if (!follows_flip_) SDL_RenderSetVSync(renderer_, 0);
    }

    // Whether presents wait for the flip: some drivers accept vsync and return at once. A few
    // presents of the black window are timed against the refresh.
    bool presents_wait() {
        const int refresh = refresh_;
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        constexpr int timed = 4;
        std::chrono::steady_clock::time_point start;
        for (int i = 0; i < 2 + timed; ++i) {
            if (i == 2) start = std::chrono::steady_clock::now();
            SDL_RenderClear(renderer_);
            SDL_RenderPresent(renderer_);
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return seconds / timed > 0.5 / refresh;
    }

    // Where the picture goes: the largest area of its own aspect (4:3 for 640 x 480, 16:10 for
    // 640 x 400; the dots are square) centred in the output, black around. The output is
    // measured in pixels, so a HiDPI screen is drawn at its full resolution.
    void update_scaling() {
        int w = 0, h = 0;
        SDL_GetRendererOutputSize(renderer_, &w, &h);
        if (w == scaled_for_.w && h == scaled_for_.h) return;
        scaled_for_ = {0, 0, w, h};
        if (prescaled_) SDL_DestroyTexture(prescaled_);
        prescaled_ = nullptr;
        const int whole = std::min(w / frame_width, h / height_);
        if (options.integer_scale && whole >= 1) {
            // For purists: whole multiples only, every dot the same size, wider borders.
            area_ = {(w - whole * frame_width) / 2, (h - whole * height_) / 2, whole * frame_width,
                     whole * height_};
            return;
        }
        if (static_cast<int64_t>(w) * height_ >= static_cast<int64_t>(h) * frame_width)
            area_ = {0, 0, h * frame_width / height_, h};
        else
            area_ = {0, 0, w, w * height_ / frame_width};
        area_.x = (w - area_.w) / 2;
        area_.y = (h - area_.h) / 2;
        // Sharp bilinear: nearest-neighbour up by the largest whole factor that fits, then
        // linear the rest of the way. Dots stay crisp and every column the same width; only
        // the one pixel where two dots meet is blended. At a whole factor, or with
        // --integer-scale on an output smaller than the picture, nearest alone is exact.
        if (options.integer_scale || (area_.w % frame_width == 0 && area_.h % height_ == 0)) return;
        SDL_RendererInfo info{};
        SDL_GetRendererInfo(renderer_, &info);
        int k = std::max(1, std::min(area_.w / frame_width, area_.h / height_));
        while (k > 1 && info.max_texture_width > 0 &&
               (k * frame_width > info.max_texture_width || k * height_ > info.max_texture_height))
            --k;
        prescaled_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                                       SDL_TEXTUREACCESS_TARGET, k * frame_width, k * height_);
        if (!prescaled_) return; // no render targets: nearest all the way
        SDL_SetTextureBlendMode(prescaled_, SDL_BLENDMODE_NONE);
        SDL_SetTextureScaleMode(prescaled_, SDL_ScaleModeLinear);
    }

    void draw() {
        update_scaling();
        SDL_Texture* shown = texture_;
        if (prescaled_ && SDL_SetRenderTarget(renderer_, prescaled_) == 0) {
            SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
            SDL_SetRenderTarget(renderer_, nullptr);
            shown = prescaled_;
        }
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, shown, nullptr, &area_);
        SDL_RenderPresent(renderer_);
    }

    bool video_ = false;
    int height_ = 400;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;   // the frame, 640 x height
    SDL_Texture* prescaled_ = nullptr; // the frame enlarged by a whole factor, shown linearly
    SDL_Rect scaled_for_{};            // the output size the scaling was worked out for
    SDL_Rect area_{};                  // where the picture goes in the output
    bool full_screen_ = true;
    SDL_Rect windowed_{}; // the window's place before going full-screen
    int refresh_ = 0;
    bool follows_flip_ = false;
    uint32_t audio_queued_ = 0;
    SDL_AudioDeviceID audio_ = 0;
};

} // namespace

Platform* window_platform() {
    static SdlPlatform sdl;
    return &sdl;
}

} // namespace vantrose
