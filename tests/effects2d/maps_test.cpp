// The mapping-table family (three plasmas, three mapped textures) against one naive model
// written from the formulas, with its own tables and counters, over many frames: every entry of
// the sine and ramp tables is read on the way.
#include <gtest/gtest.h>

#include <cstring>

#include "effects2d/mapped_texture.h"
#include "effects2d/plasma.h"
#include "runtime/buffers.h"
#include "tests/effects2d/support.h"

using namespace vantrose;
using namespace vantrose::effects_test;

namespace {

int wrap(int v) {
    return ((v % 256) + 256) % 256;
}

// Zigzag 33..64, 63..0, 1..32 over 256 entries, each value twice.
int ramp(int i) {
    const int j = i / 2;
    return j <= 31 ? 33 + j : j <= 95 ? 95 - j : j - 95;
}

enum Kind { shear, fold, displace, drift, swell, wave };

struct NaiveMaps {
    Kind kind;
    int phase[4] = {0, 0, 0, 0};
    int column = 0, row_byte = 0, scroll = 0, map_phase = 0;
    int row[256] = {};
    int sine5[256], sine3[256];
    Bytes tex = Bytes(65536);

    explicit NaiveMaps(Kind k) : kind(k) {
        for (int i = 0; i < 256; ++i) {
            sine5[i] =
                static_cast<int>(std::floor(32 + 31.5 * std::sin(2 * M_PI * 5 * i / 256) + 0.5));
            sine3[i] =
                static_cast<int>(std::floor(64 + 63.5 * std::sin(2 * M_PI * i / 85.2) + 0.5));
        }
        sine5[64] = 63; // the exact peak is held below 64
    }

    void plasma_texture() {
        phase[0] = wrap(phase[0] + (kind == displace ? -10 : -4));
        phase[1] = wrap(phase[1] + 5), phase[2] = wrap(phase[2] + 5), phase[3] = wrap(phase[3] - 3);
        int p[4] = {phase[0], phase[1], phase[2], phase[3]};
        // The first entry goes to index 0, the rest downwards from 255.
        for (int n = 0; n < 256; ++n) {
            p[0] = wrap(p[0] + 6), p[1] = wrap(p[1] - 3), p[2] = wrap(p[2] - 5),
            p[3] = wrap(p[3] + 3);
            row[n == 0 ? 0 : 256 - n] = (ramp(p[0]) + ramp(p[1]) + ramp(p[2]) + ramp(p[3])) % 256;
        }
        for (int r = 0; r < 256; ++r)
            for (int c = 0; c < 256; ++c)
                tex[r * 256 + c] = static_cast<uint8_t>((row[255 - r] + row[255 - c]) / 2);
    }

    void frame(const uint16_t* map, const uint8_t* texture, uint8_t* out) {
        if (kind <= displace) plasma_texture(), texture = tex.data();
        if (kind == shear || kind == fold) column = (column + 2) % 256;
        if (kind == fold) row_byte = (row_byte + 1) % 256;
        if (kind == drift) map_phase = (map_phase + 1) % 256, scroll = (scroll + 2) % 256;
        if (kind == swell) scroll = (scroll + 3) % 256;
        if (kind == wave) map_phase = (map_phase + 1) % 256, scroll = (scroll + 1) % 256;
        for (int y = 0; y < 200; ++y) {
            if (y % 3 == 2) continue; // rows the transfer never shows
            for (int x = 0; x < 320; x += 2) {
                const int p0 = y * 320 + x;
                if (kind == displace) {
                    // The map's entries move by the texture's byte, written back as offsets.
                    if (x % 4) continue;
                    for (int h = 0; h < 2; ++h) {
                        const int e = map[p0 + h], t = texture[e];
                        const int e2 = (e + t + 256 * (t / 8)) % 65536;
                        out[p0 + 2 * h] = static_cast<uint8_t>(e2 % 256);
                        out[p0 + 2 * h + 1] = static_cast<uint8_t>(e2 / 256);
                    }
                    continue;
                }
                const int m = kind <= fold ? (map[p0] + row_byte * 256 + column) % 65536 : map[p0];
                const int u = m % 256, v = m / 256;
                int r = 0, c = 0;
                if (kind == shear) r = v, c = (u + row[v]) % 256;
                if (kind == fold) r = (v + ramp(v)) % 256, c = (u + 2 * r) % 256;
                if (kind == drift)
                    r = (u + sine5[map_phase]) % 256, c = (v + scroll + sine3[map_phase]) % 256;
                if (kind == swell) r = (v + scroll + sine3[(u + scroll) % 256]) % 256, c = u;
                if (kind == wave) r = (v + scroll + sine5[(u + map_phase) % 256]) % 256, c = u;
                const int o = r * 256 + c;
                out[p0] = texture[o];
                out[p0 + 1] = texture[(o + 1) % 65536];
            }
        }
    }
};

} // namespace

TEST(MapEffects, EveryFormMatchesTheNaiveModelFrameAfterFrame) {
    void (*frames[])() = {plasma_shear_frame, plasma_fold_frame, plasma_displace_frame,
                          map_drift_frame,    map_swell_frame,   map_wave_frame};
    for (int kind = shear; kind <= wave; ++kind) {
        SCOPED_TRACE(kind);
        for (PlasmaState* s : {&plasma_shear_state, &plasma_fold_state, &plasma_displace_state})
            s->phase1 = s->phase2 = s->phase3 = s->phase4 = 0, s->plasma_offset = 0;
        map_drift_counters = map_swell_counters = map_wave_counters = {};
        Bytes texture = noise(65536, 36 + kind), target = noise(65536, 25), naive_target = target;
        const Bytes map = noise(sizeof map_table, 35 + kind);
        std::memcpy(map_table, map.data(), sizeof map_table);
        // Entries aimed at the edges: the pair at the last texel takes texel 0, rows carry.
        map_table[0] = 0xffff, map_table[2] = 0x05ff, map_table[4] = 0xff00;
        map_source = texture.data();
        map_target = target.data();
        NaiveMaps naive(static_cast<Kind>(kind));
        for (int n = 1; n <= 300; ++n) {
            frames[kind]();
            naive.frame(map_table, texture.data(), naive_target.data());
            if (n <= 3 || n % 29 == 0 || n == 256) {
                if (kind <= displace) {
                    ASSERT_TRUE(std::equal(texture.begin(), texture.end(), naive.tex.begin())) << n;
                }
                ASSERT_EQ(target, naive_target) << "frame " << n;
            }
        }
        // The offsets' column and row bytes wrap on their own.
        const uint16_t offsets[] = {(2 * 300) % 256, 44 * 256 + (2 * 300) % 256};
        if (kind <= fold) {
            EXPECT_EQ((kind == shear ? plasma_shear_state : plasma_fold_state).plasma_offset,
                      offsets[kind]);
        }
    }
}

TEST(MapEffects, FourPlasmaPeaksSumToZero) {
    Bytes texture(65536), target(65536);
    map_source = texture.data(), map_target = target.data();
    // Stored phases chosen so that the first entry reads ramp[62] = 64 four times.
    plasma_fold_state.phase1 = plasma_fold_state.phase2 = 60;
    plasma_fold_state.phase3 = plasma_fold_state.phase4 = 62;
    plasma_fold_frame();
    EXPECT_EQ(plasma_fold_state.plasma_row[0], 0);
}
