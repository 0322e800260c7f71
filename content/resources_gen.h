// The pictures and texts compiled into the program: title badge, dialog picture, credits,
// the dialogs' fonts.
#pragma once
#include <array>
#include <string>

#include "content/archive_writer.h"
#include "content/dialog_font.h"

namespace vantrose {

struct Resources {
    Bytes title_badge;    // 110 x 25, 0 transparent, else 229..251 (badge greys)
    Bytes dialog_picture; // 213 x 133 x 3, red, green, blue
    std::array<std::string, 3> credits;
    BitmapFont dialog_font, caption_font; // the dialogs' text and their captions
};

Resources build_resources();
// The C++ source that defines the declarations of resources/resources.h.
std::string resources_source(const Resources& r);
// Grey level (0..63) of a badge value, as the display's badge palette has it.
int badge_level(int value);

} // namespace vantrose
