#include "content/music.h"

#include "content/compose.h"
#include "content/s3m_writer.h"

namespace vantrose {

Bytes build_module() {
    return write_s3m(compose_module());
}

} // namespace vantrose
