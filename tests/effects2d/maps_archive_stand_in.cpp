// Stands in for the archive reader until the runtime's lands: records every load and fills the
// destination with the entry's index, so the ripple's set-up can be checked without a file.
#include "maps_support.h"

#if !VANTROSE_MAPS_ARCHIVE_LANDED
#include <cstring>

#include "runtime/archive.h"

namespace vantrose {

void load_entry(uint32_t index, uint8_t* destination, size_t capacity) {
    maps_test::recorded_loads.push_back({index, destination, capacity});
    std::memset(destination, static_cast<int>(index), capacity);
}

} // namespace vantrose
#endif
