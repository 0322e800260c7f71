// The show's module: composed, synthesized and written as a Scream Tracker 3 file by our own code.
#pragma once
#include "content/archive_writer.h"

namespace vantrose {

Bytes build_module();

} // namespace vantrose
