#include "content/palettes.h"

#include <cmath>
#include <vector>

namespace vantrose {

uint8_t level(float v) {
    return uint8_t(std::lround(clamp01(v) * 63.0f));
}

void set_entry(Palette& p, int index, Rgb c) {
    p[size_t(index) * 3] = level(c.r);
    p[size_t(index) * 3 + 1] = level(c.g);
    p[size_t(index) * 3 + 2] = level(c.b);
}

Rgb entry(const Palette& p, int index) {
    return {p[size_t(index) * 3] / 63.0f, p[size_t(index) * 3 + 1] / 63.0f,
            p[size_t(index) * 3 + 2] / 63.0f};
}

Bytes palette_bytes(const Palette& p) {
    return Bytes(p.begin(), p.end());
}

Rgb gradient(const Stops& stops, float t) {
    const Stop* s = stops.data();
    const size_t n = stops.size();
    if (t <= s[0].at) return s[0].colour;
    for (size_t i = 1; i < n; ++i)
        if (t <= s[i].at) {
            const float span = s[i].at - s[i - 1].at;
            const float k = span > 0 ? (t - s[i - 1].at) / span : 1.0f;
            return mix(s[i - 1].colour, s[i].colour, k);
        }
    return s[n - 1].colour;
}

void put_ramp(Palette& p, int first, int count, const Stops& stops) {
    for (int i = 0; i < count; ++i)
        set_entry(p, first + i, gradient(stops, count > 1 ? float(i) / float(count - 1) : 0));
}

void put_cycle(Palette& p, int first, int count, const Stops& stops, int repeats) {
    for (int i = 0; i < count; ++i) {
        float t = float(i) * float(repeats) / float(count);
        set_entry(p, first + i, gradient(stops, t - std::floor(t)));
    }
}

namespace theme {
const Stops copper = {{0.0f, hex(0x0c0402)},  {0.25f, hex(0x4a1c0a)}, {0.5f, hex(0x9c4a1e)},
                      {0.72f, hex(0xd8844a)}, {0.88f, hex(0xf4bc84)}, {1.0f, hex(0xfff0d8)}};
const Stops bronze = {{0.0f, hex(0x100a02)},
                      {0.3f, hex(0x54380e)},
                      {0.6f, hex(0xa47c34)},
                      {0.85f, hex(0xe0c47a)},
                      {1.0f, hex(0xfff6d0)}};
const Stops night = {{0.0f, hex(0x010208)},  {0.25f, hex(0x0a1040)}, {0.5f, hex(0x2c1c7c)},
                     {0.75f, hex(0x7040b4)}, {0.9f, hex(0xb48ce4)},  {1.0f, hex(0xeee0ff)}};
const Stops fire = {{0.0f, hex(0x000000)},  {0.2f, hex(0x3c0602)},  {0.42f, hex(0xa01c04)},
                    {0.62f, hex(0xe8600a)}, {0.82f, hex(0xffb434)}, {1.0f, hex(0xfff4c4)}};
const Stops ice = {{0.0f, hex(0x020612)},
                   {0.25f, hex(0x0a2a54)},
                   {0.5f, hex(0x2a70a4)},
                   {0.75f, hex(0x7ccae4)},
                   {1.0f, hex(0xf0fcff)}};
} // namespace theme

} // namespace vantrose
