// The SDL backend: the show's window and renderer, its events, message boxes and the audio device.
#include <SDL.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "shell/options.h"
#include "shell/platform.h"
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
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!alsa) return;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    if (void* set = dlsym(alsa, "snd_lib_error_set_handler"))
        reinterpret_cast<SetHandler>(set)(alsa_quiet);
}

void no_audio_device() {
    std::fprintf(stderr, "vantrose: no audio device (%s): the show plays without sound\n",
                 SDL_GetError());
}

class SdlPlatform final : public Platform {
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
    // resizes windows (a bare X server) the window still covers the screen.
    bool create_window(int height) override {
        height_ = height;
        SDL_Rect area{SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, frame_width, height};
        Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE;
        if (!options.window) {
            if (SDL_GetDisplayBounds(0, &area) != 0) return false;
            flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP;
        }
        main_window = SDL_CreateWindow("Test", area.x, area.y, area.w, area.h, flags);
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
        if (SDL_RenderSetLogicalSize(renderer_, frame_width, height) != 0) return false;
        update_scaling();
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
    }

    void release_display() override {
        if (texture_) SDL_DestroyTexture(texture_);
        if (renderer_) SDL_DestroyRenderer(renderer_);
        if (main_window) SDL_DestroyWindow(main_window);
        texture_ = nullptr;
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
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
    }

    void pump_events() override {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            switch (e.type) {
            case SDL_WINDOWEVENT:
                if (main_window && e.window.windowID != SDL_GetWindowID(main_window)) break;
                if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                    app_active = 1;
                else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
                    app_active = 0;
                else if (e.window.event == SDL_WINDOWEVENT_CLOSE)
                    post_quit();
                else if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                    update_scaling();
                break;
            case SDL_KEYDOWN:
                if (e.key.keysym.sym == SDLK_ESCAPE) post_quit();
                break;
            case SDL_QUIT:
                post_quit();
                break;
            case SDL_RENDER_DEVICE_RESET:
                // The surface is lost: restore it; this frame is not shown again.
                if (texture_) SDL_DestroyTexture(texture_);
                texture_ = nullptr;
                if (renderer_) create_surface(height_);
                break;
            default:
                break;
            }
        }
    }

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

    bool open_video() {
        // Without a named Wayland display or a runtime folder no Wayland compositor can be
        // reached, and probing for one only makes libwayland print "XDG_RUNTIME_DIR is invalid":
        // SDL's other real drivers are tried then.
        const bool no_wayland = !SDL_getenv("WAYLAND_DISPLAY") && !SDL_getenv("XDG_RUNTIME_DIR");
        if (no_wayland && !SDL_getenv("SDL_VIDEODRIVER")) {
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
        video_ = true;
        return true;
    }

    // Integer scaling when the picture fits the output at least once; smaller outputs scale down.
    void update_scaling() {
        if (!renderer_) return;
        int w = 0, h = 0;
        SDL_GetRendererOutputSize(renderer_, &w, &h);
        const bool fits = w >= frame_width && h >= height_;
        SDL_RenderSetIntegerScale(renderer_, fits ? SDL_TRUE : SDL_FALSE);
    }

    bool video_ = false;
    int height_ = 400;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    SDL_AudioDeviceID audio_ = 0;
};

} // namespace

Platform* sdl_platform() {
    static SdlPlatform sdl;
    return &sdl;
}

} // namespace vantrose
