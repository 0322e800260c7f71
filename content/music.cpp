#include "content/music.h"

namespace vantrose {

// Stand-in until the composer lands.
Bytes build_module() {
    return {};
}

} // namespace vantrose
