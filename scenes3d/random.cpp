#include "scenes3d/random.h"

namespace vantrose {

uint32_t random_state = 1;

int32_t random_draw() {
    random_state = random_state * 214013u + 2531011u;
    return static_cast<int32_t>((random_state >> 16) & 0x7fffu);
}

} // namespace vantrose
