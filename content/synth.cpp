#include "content/synth.h"

#include <cstdlib>

namespace vantrose {

namespace {

// One Taylor series in Q30 fills the quarter wave; symmetry gives the rest.
std::vector<int32_t> build_sine_table() {
    constexpr int64_t pi_q30 = 3373259426;
    std::vector<int32_t> table(65536);
    for (int64_t i = 0; i <= 16384; ++i) {
        const int64_t x = i * pi_q30 / 32768; // i / 16384 of a quarter turn, radians in Q30
        const int64_t x2 = x * x >> 30;
        int64_t term = x, sum = x;
        for (int64_t n = 1; n <= 6; ++n) {
            term = -(term * x2 >> 30) / (2 * n * (2 * n + 1));
            sum += term;
        }
        const int32_t v = int32_t((sum + (1 << 14)) >> 15);
        table[i] = v;
        table[32768 - i] = v;
        table[(32768 + i) & 0xFFFF] = -v;
        table[(65536 - i) & 0xFFFF] = -v;
    }
    return table;
}

// ((length - t) / length) ^ power in Q15: a decay that lands on zero exactly at length.
int32_t fall(int64_t t, int64_t length, int power) {
    if (t <= 0) return 32768;
    if (t >= length) return 0;
    const int64_t base = (length - t) * 32768 / length;
    int64_t r = base;
    for (int i = 1; i < power; ++i) r = r * base >> 15;
    return int32_t(r);
}

int32_t rise(int64_t t, int64_t length) {
    return t >= length ? 32768 : int32_t(t * 32768 / length);
}

int32_t mul_q15(int64_t a, int64_t b) {
    return int32_t(a * b >> 15);
}

// Phase step of one cycle every rate / hz samples, for hz in Q16.
uint32_t phase_step(int64_t hz_q16, uint32_t rate) {
    return uint32_t((hz_q16 << 16) / rate);
}

// The rate at which a waveform of period samples sounds this MIDI note.
uint32_t tuned_rate(int midi, int period) {
    return uint32_t((note_hz_q16(midi) * period + 32768) >> 16);
}

struct Noise {
    uint32_t state;
    int32_t next() { // Q15, -32768 .. 32767
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return int32_t(state >> 16) - 32768;
    }
};

// One-pole low-pass; the high-pass is the input minus it.
struct OnePole {
    int64_t state = 0;
    int64_t a_q16;
    OnePole(int hz, uint32_t rate) : a_q16(710LL * hz * 65536 / (113LL * rate + 710LL * hz)) {}
    int32_t low(int32_t x) {
        state += (x - state) * a_q16 >> 16;
        return int32_t(state);
    }
    int32_t high(int32_t x) { return x - low(x); }
};

// A sinusoid: phase step per sample (2^32 = one turn), amplitude and start phase.
struct Partial {
    uint32_t step;
    int32_t amp_q15;
    uint32_t phase;
};

// Sum of partials; gain(index, t) in Q15 is taken every 64 samples and interpolated between.
// A partial whose step is a whole number of cycles over a power-of-two loop repeats exactly.
template <class Gain>
std::vector<int64_t> render_partials(size_t length, const std::vector<Partial>& partials,
                                     Gain gain) {
    constexpr size_t block = 64;
    std::vector<int64_t> out(length, 0);
    for (size_t i = 0; i < partials.size(); ++i) {
        uint32_t phase = partials[i].phase;
        const int64_t amp = partials[i].amp_q15;
        for (size_t b = 0; b < length; b += block) {
            const int64_t g0 = gain(i, int64_t(b)), g1 = gain(i, int64_t(b + block));
            if (g0 == 0 && g1 == 0) {
                phase += uint32_t(partials[i].step * uint32_t(block));
                continue;
            }
            for (size_t j = 0; j < block && b + j < length; ++j) {
                const int64_t g = g0 + (g1 - g0) * int64_t(j) / int64_t(block);
                out[b + j] += (sine_q15(phase) * amp >> 15) * g >> 15;
                phase += partials[i].step;
            }
        }
    }
    return out;
}

// Saw-like harmonics 1..count of a voice with cycles per loop, amplitude shape(h) in Q15 / h.
// Harmonics 1..count of a saw-like voice making `cycles` cycles per loop, each at
// level * shape(h) / h (Q15), with random start phases so that the voices do not line up.
template <class Shape>
void add_harmonics(std::vector<Partial>& partials, uint32_t cycles, int loop_bits, int count,
                   int32_t level, Noise& noise, Shape shape) {
    for (int h = 1; h <= count; ++h) {
        const uint32_t step = uint32_t(h) * cycles << (32 - loop_bits);
        partials.push_back({step, mul_q15(level, shape(h)) / h, uint32_t(noise.next()) << 16});
    }
}

// Scales to the given peak; silence stays silence.
std::vector<int16_t> to_pcm(const std::vector<int64_t>& x, int64_t peak = 30000) {
    int64_t top = 1;
    for (int64_t v : x) top = std::max(top, std::abs(v));
    std::vector<int16_t> pcm(x.size());
    for (size_t i = 0; i < x.size(); ++i) pcm[i] = int16_t(x[i] * peak / top);
    return pcm;
}

Instrument drum(const char* name, std::vector<int64_t> x, uint32_t rate) {
    Instrument in;
    in.sample.name = name;
    in.sample.pcm = to_pcm(x);
    in.sample.c2spd = rate;
    in.base_note = 60;
    return in;
}

Instrument tonal(const char* name, const std::vector<int64_t>& x, uint32_t rate, int base_note,
                 size_t loop_start) {
    Instrument in;
    in.sample.name = name;
    in.sample.pcm = to_pcm(x);
    in.sample.c2spd = rate;
    if (loop_start < x.size()) {
        in.sample.loop_start = uint32_t(loop_start);
        in.sample.loop_end = uint32_t(x.size());
    }
    in.base_note = base_note;
    return in;
}

// Six square waves at a cymbal's clashing ratios, for hats and crash.
int32_t metal(uint32_t (&phases)[6], const uint32_t (&steps)[6]) {
    int32_t sum = 0;
    for (int i = 0; i < 6; ++i) {
        phases[i] += steps[i];
        sum += (phases[i] >> 31) ? 4096 : -4096;
    }
    return sum;
}

std::vector<int64_t> cymbal(size_t length, uint32_t rate, int low_cut, int power, int multiply,
                            uint32_t seed) {
    static const int hz[6] = {205, 304, 370, 523, 540, 800};
    uint32_t steps[6], phases[6] = {};
    for (int i = 0; i < 6; ++i) steps[i] = phase_step(int64_t(hz[i] * multiply) << 16, rate);
    Noise noise{seed};
    OnePole cut1(low_cut, rate), cut2(low_cut, rate);
    std::vector<int64_t> x(length);
    for (size_t t = 0; t < length; ++t) {
        const int32_t raw = metal(phases, steps) + noise.next() / 2;
        const int32_t env = mul_q15(rise(int64_t(t), 16), fall(int64_t(t), int64_t(length), power));
        x[t] = mul_q15(cut2.high(cut1.high(raw)), env);
    }
    return x;
}

} // namespace

int32_t sine_q15(uint32_t phase) {
    static const std::vector<int32_t> table = build_sine_table();
    return table[phase >> 16];
}

int64_t note_hz_q16(int midi) {
    static const int64_t ratio_q30[12] = {1073741824, 1137589835, 1205234447, 1276901417,
                                          1352829926, 1433273380, 1518500250, 1608794974,
                                          1704458901, 1805811301, 1913190429, 2026954652};
    const int d = midi - 69;
    const int octave = d >= 0 ? d / 12 : -((11 - d) / 12);
    const int64_t hz = (int64_t(440) << 16) * ratio_q30[d - 12 * octave] >> 30;
    return octave >= 0 ? hz << octave : hz >> -octave;
}

Instrument make_kick() {
    constexpr uint32_t rate = 22050;
    constexpr size_t length = 9900;
    Noise noise{0x1234567u};
    std::vector<int64_t> x(length);
    uint32_t phase = 0;
    for (size_t t = 0; t < length; ++t) {
        const int64_t hz = (int64_t(48) << 16) + 110LL * fall(int64_t(t), 2600, 3) * 2;
        phase += phase_step(hz, rate);
        const int32_t body = mul_q15(sine_q15(phase), fall(int64_t(t), int64_t(length), 2));
        const int32_t click = mul_q15(noise.next(), fall(int64_t(t), 90, 2)) / 3;
        x[t] = mul_q15(body + click, rise(int64_t(t), 8));
    }
    return drum("kick", x, rate);
}

Instrument make_snare() {
    constexpr uint32_t rate = 32000;
    constexpr size_t length = 8000;
    Noise noise{0x2468aceu};
    OnePole low_cut(1200, rate), high_cut(9000, rate);
    std::vector<int64_t> x(length);
    uint32_t p1 = 0, p2 = 0;
    for (size_t t = 0; t < length; ++t) {
        const int64_t ti = int64_t(t);
        p1 += phase_step(int64_t(185) << 16, rate);
        p2 += phase_step(int64_t(330) << 16, rate);
        const int32_t body = mul_q15(sine_q15(p1), fall(ti, 2500, 3)) * 6 / 10 +
                             mul_q15(sine_q15(p2), fall(ti, 1500, 3)) * 35 / 100;
        const int32_t hiss = high_cut.low(low_cut.high(noise.next()));
        x[t] = mul_q15(body + mul_q15(hiss, fall(ti, int64_t(length), 4)), rise(ti, 8));
    }
    return drum("snare", x, rate);
}

Instrument make_clap() {
    constexpr uint32_t rate = 32000;
    constexpr size_t length = 9600;
    Noise noise{0x13579bdu};
    OnePole low_cut(900, rate), high_cut(2800, rate), high_cut2(2800, rate);
    std::vector<int64_t> x(length);
    for (size_t t = 0; t < length; ++t) {
        const int64_t ti = int64_t(t);
        int32_t env = fall(ti - 960, 8640, 3) * 7 / 10;
        for (int64_t burst = 0; burst < 960; burst += 320)
            if (ti >= burst) env = std::max(env, fall(ti - burst, 300, 2));
        x[t] = mul_q15(high_cut2.low(high_cut.low(low_cut.high(noise.next()))), env);
    }
    return drum("clap", x, rate);
}

Instrument make_hat(bool open) {
    constexpr uint32_t rate = 44100;
    return open ? drum("open hat", cymbal(19845, rate, 7000, 2, 2, 0x0badcafeu), rate)
                : drum("closed hat", cymbal(3000, rate, 7000, 3, 2, 0x0badcafeu), rate);
}

Instrument make_crash() {
    constexpr uint32_t rate = 32000;
    return drum("crash", cymbal(51200, rate, 3000, 3, 3, 0x7e57ab1eu), rate);
}

Instrument make_bass() {
    constexpr int loop_bits = 12, period = 256, decay = 8192;
    const uint32_t rate = tuned_rate(36, period);
    Noise noise{0xba55u};
    std::vector<Partial> partials;
    add_harmonics(partials, (1 << loop_bits) / period, loop_bits, 48, 32767, noise,
                  [](int) { return 32767; });
    // A resonant low-pass closing from harmonic 24 to 5, and a plucked level settling at 0.6.
    auto gain = [](size_t i, int64_t t) -> int64_t {
        const int64_t env = fall(t, decay, 3);
        const int64_t cutoff_q8 = (5 << 8) + (19 << 8) * env / 32768;
        const int64_t r = (int64_t(i + 1) << 24) / cutoff_q8; // harmonic over cutoff, Q16
        const int64_t r2 = r * r >> 16, r4 = r2 * r2 >> 16;
        const int64_t lowpass = (int64_t(32768) << 16) / (65536 + r4);
        const int64_t u = (r - 65536) * 6, u2 = (u >> 8) * (u >> 8);
        const int64_t peak = (int64_t(29000) * env >> 15) * 65536 / (65536 + u2);
        const int64_t level = 19661 + 13107 * int64_t(fall(t, decay, 2)) / 32768;
        return ((lowpass + peak) * level >> 15) * rise(t, 32) >> 15;
    };
    return tonal("bass", render_partials(decay + (1 << loop_bits), partials, gain), rate, 36,
                 decay);
}

Instrument make_pad() {
    constexpr int loop_bits = 16, period = 128, attack = 8192;
    const uint32_t rate = tuned_rate(60, period);
    Noise noise{0x9add1u};
    std::vector<Partial> partials;
    // A strong centre voice keeps the chorus of the four detuned ones from pumping.
    for (uint32_t cycles : {509u, 511u, 512u, 513u, 515u})
        add_harmonics(partials, cycles, loop_bits, 24, cycles == 512 ? 32767 : 14000, noise,
                      [](int h) { return int32_t(32768 * 36 / (36 + h * h)); });
    auto gain = [](size_t, int64_t t) -> int64_t { return 32768 - fall(t, attack, 2); };
    return tonal("pad", render_partials(attack + (1 << loop_bits), partials, gain), rate, 60,
                 attack);
}

Instrument make_pluck() {
    constexpr int loop_bits = 16, period = 64, length = 24000;
    const uint32_t rate = tuned_rate(72, period);
    Noise noise{0x91acu};
    std::vector<Partial> partials;
    for (uint32_t cycles : {1023u, 1025u})
        add_harmonics(partials, cycles, loop_bits, 24, 32767, noise, [](int) { return 32767; });
    // Upper harmonics die first, as on a plucked string.
    auto gain = [](size_t i, int64_t t) -> int64_t {
        const int64_t h = int64_t(i % 24) + 1;
        return int64_t(fall(t, length * 4 / (4 + h), 3)) * rise(t, 24) >> 15;
    };
    return tonal("pluck", render_partials(length, partials, gain), rate, 72, length);
}

Instrument make_lead() {
    constexpr int loop_bits = 14, period = 64, attack = 4096;
    const uint32_t rate = tuned_rate(72, period);
    Noise noise{0x1eadu};
    std::vector<Partial> partials;
    for (uint32_t cycles : {256u, 258u})
        add_harmonics(
            partials, cycles, loop_bits, 31, cycles == 256 ? 32767 : 11500, noise,
            [](int h) { return int32_t(32768 * 144 / (144 + h * h) * (h % 2 ? 2 : 1) / 2); });
    auto gain = [](size_t, int64_t t) -> int64_t {
        const int64_t level = 24576 + 8192 * int64_t(fall(t - 128, attack - 128, 2)) / 32768;
        return level * rise(t, 128) >> 15;
    };
    return tonal("lead", render_partials(attack + (1 << loop_bits), partials, gain), rate, 72,
                 attack);
}

Instrument make_bell() {
    constexpr int loop_bits = 16, period = 32, length = 40000;
    const uint32_t rate = tuned_rate(84, period);
    // Ratios in thousandths, levels in Q15, ring lengths in samples.
    static const int32_t ratio[6] = {1000, 2000, 2756, 4070, 5404, 8930};
    static const int32_t level[6] = {32767, 14745, 11469, 6554, 3932, 3000};
    static const int32_t ring[6] = {length, 24000, 16000, 12000, 8000, 1200};
    std::vector<Partial> partials;
    for (int i = 0; i < 6; ++i) {
        const uint32_t cycles = uint32_t((1 << loop_bits) / period * ratio[i] / 1000);
        partials.push_back({cycles << (32 - loop_bits), level[i], 0});
    }
    auto gain = [](size_t i, int64_t t) -> int64_t {
        return int64_t(fall(t, ring[i], 2)) * rise(t, 16) >> 15;
    };
    return tonal("bell", render_partials(length, partials, gain), rate, 84, length);
}

} // namespace vantrose
