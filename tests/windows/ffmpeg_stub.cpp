// A stand-in ffmpeg.exe for the recording test under Wine: reads the picture from stdin and the
// sound from its second input, both to the end at once, and writes their byte counts as the video.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <thread>

namespace {

unsigned long long drain(HANDLE input) {
    static thread_local char buffer[1 << 16];
    unsigned long long total = 0;
    DWORD got = 0;
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) total += got;
    return total;
}

} // namespace

int main(int argc, char** argv) {
    const char* second = nullptr;
    int inputs = 0;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-i") == 0 && ++inputs == 2) second = argv[i + 1];
    }
    if (!second) return 3;
    HANDLE sound = CreateFileA(second, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (sound == INVALID_HANDLE_VALUE) return 4;
    unsigned long long sound_bytes = 0;
    std::thread reader([&] { sound_bytes = drain(sound); });
    const unsigned long long video_bytes = drain(GetStdHandle(STD_INPUT_HANDLE));
    reader.join();
    FILE* out = std::fopen(argv[argc - 1], "w");
    if (!out) return 5;
    std::fprintf(out, "video %llu sound %llu\n", video_bytes, sound_bytes);
    return std::fclose(out) == 0 ? 0 : 5;
}
