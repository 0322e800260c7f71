// The closing scroller's font picture: every glyph in its box of the three bands.
#pragma once
#include "content/show.h"

namespace vantrose {

Art scroller_font(); // entries 6 and 7

} // namespace vantrose
