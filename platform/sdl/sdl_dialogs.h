// Dialog windows under SDL: borderless windows that show the shell's pixels, dragged by the
// caption the shell draws.
#pragma once
#include "platform/platform.h"

namespace vantrose {

// The dialog calls of the SDL backend, which derives from this.
class SdlDialogs : public Platform {
  public:
    int open_dialog(int w, int h, const char* caption, int drag_rows, int owner) override;
    void show_dialog(int window, const uint8_t* pixels) override;
    DialogEvent next_dialog_event(int wait_ms) override;
    void close_dialog(int window) override;
};

} // namespace vantrose
