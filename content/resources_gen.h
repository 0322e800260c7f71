// The pictures and texts compiled into the program: title badge, dialog picture, credits.
#pragma once
#include <array>
#include <string>

#include "content/archive_writer.h"

namespace vantrose {

struct Resources {
    Bytes title_badge;    // 110 x 25, 0 transparent, else 229..251 (badge greys)
    Bytes dialog_picture; // 213 x 133 x 3, red, green, blue
    std::array<std::string, 3> credits;
};

Resources build_resources();
// The C++ source that defines the declarations of resources/resources.h.
std::string resources_source(const Resources& r);
// Grey level (0..63) of a badge value, as the display's badge palette has it.
int badge_level(int value);

} // namespace vantrose
