#include "content/cycles.h"

namespace vantrose {

Palette rings_cycle() {
    Palette p{};
    put_cycle(p, 0, 256,
              {{0.0f, hex(0x06082a)},
               {0.22f, hex(0x3a2490)},
               {0.4f, hex(0xa070e0)},
               {0.5f, hex(0xfff0e0)},
               {0.6f, hex(0xf0a060)},
               {0.78f, hex(0x8a3a14)},
               {1.0f, hex(0x06082a)}},
              4);
    return p;
}

Palette flame_cycle() {
    Palette p{};
    put_cycle(p, 0, 256,
              {{0.0f, hex(0x080000)},
               {0.2f, hex(0x6a0c02)},
               {0.38f, hex(0xd0400a)},
               {0.5f, hex(0xffc040)},
               {0.56f, hex(0xfff4c0)},
               {0.64f, hex(0xffa020)},
               {0.8f, hex(0xa01c04)},
               {1.0f, hex(0x080000)}},
              2);
    return p;
}

Palette ice_cycle() {
    Palette p{};
    put_cycle(p, 0, 256,
              {{0.0f, hex(0x020a24)},
               {0.25f, hex(0x0c3c78)},
               {0.45f, hex(0x3c9ccc)},
               {0.55f, hex(0xe8fcff)},
               {0.7f, hex(0x58b4d8)},
               {0.85f, hex(0x103e74)},
               {1.0f, hex(0x020a24)}},
              3);
    return p;
}

Palette copper_cycle() {
    Palette p{};
    put_cycle(p, 0, 256,
              {{0.0f, hex(0x1c0804)},
               {0.3f, hex(0x803614)},
               {0.48f, hex(0xd88848)},
               {0.55f, hex(0xfff0c8)},
               {0.65f, hex(0xc87438)},
               {0.85f, hex(0x4c1c0a)},
               {1.0f, hex(0x1c0804)}},
              2);
    return p;
}

Palette violet_cycle() {
    Palette p{};
    put_cycle(p, 0, 256,
              {{0.0f, hex(0x04021a)},
               {0.26f, hex(0x2a1474)},
               {0.41f, hex(0x9a48d8)},
               {0.55f, hex(0xffd8ff)},
               {0.68f, hex(0x7a3cc0)},
               {1.0f, hex(0x04021a)}},
              4);
    return p;
}

} // namespace vantrose
