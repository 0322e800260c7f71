// The module's first seconds as the show renders them (44100 Hz stereo, no dither, one 60 Hz
// frame's samples at a time), written raw: built natively and for the web, the two must agree.
#include <libopenmpt/libopenmpt.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: module_samples MODULE SECONDS OUT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) return 1;
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    openmpt_module* module = openmpt_module_create_from_memory2(
        bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
        nullptr, nullptr, nullptr, nullptr);
    if (!module) return 1;
    openmpt_module_ctl_set_integer(module, "dither", 0);
    openmpt_module_set_repeat_count(module, -1);
    const long frames = std::atol(argv[2]) * 60;
    std::vector<int16_t> samples;
    for (long f = 0; f < frames; ++f) {
        const size_t n = static_cast<size_t>((f + 1) * 44100 / 60 - f * 44100 / 60);
        const size_t at = samples.size();
        samples.resize(at + 2 * n);
        openmpt_module_read_interleaved_stereo(module, 44100, n, samples.data() + at);
    }
    openmpt_module_destroy(module);
    std::ofstream out(argv[3], std::ios::binary);
    out.write(reinterpret_cast<const char*>(samples.data()),
              static_cast<std::streamsize>(samples.size() * sizeof(int16_t)));
    return out.flush() ? 0 : 1;
}
