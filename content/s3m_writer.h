// Scream Tracker 3 module writer: header, order list, sample headers, packed patterns, PCM.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "content/archive_writer.h"

namespace vantrose {

constexpr int s3m_rows = 64;
constexpr int s3m_max_channels = 32;
constexpr uint8_t s3m_no_note = 255;
constexpr uint8_t s3m_note_off = 254;
constexpr uint8_t s3m_no_volume = 255;

// One pattern cell. note: octave * 16 + semitone, or s3m_no_note / s3m_note_off;
// instrument 1-based (0 = none); command 1-based letter (A = 1, 0 = none).
struct S3mCell {
    uint8_t note = s3m_no_note;
    uint8_t instrument = 0;
    uint8_t volume = s3m_no_volume;
    uint8_t command = 0;
    uint8_t info = 0;
    bool operator==(const S3mCell&) const = default;
};

// 64 rows of channel_count cells, row-major.
using S3mPattern = std::vector<S3mCell>;

// 16-bit signed PCM; looped when loop_end > loop_start. c2spd is the rate that plays note C-4.
struct S3mSample {
    std::string name;
    std::vector<int16_t> pcm;
    uint32_t c2spd = 8363;
    uint32_t loop_start = 0;
    uint32_t loop_end = 0;
    uint8_t volume = 64;
};

struct S3mModule {
    std::string title;
    uint8_t speed = 6;
    uint8_t tempo = 125;
    uint8_t global_volume = 64;
    uint8_t master_volume = 48;    // 0..127, written with the stereo bit
    std::vector<uint8_t> pannings; // one per channel, 0 (left) .. 15 (right)
    std::vector<uint8_t> orders;   // pattern numbers
    std::vector<S3mPattern> patterns;
    std::vector<S3mSample> samples;
};

// Note byte for a semitone number counted from C-0 (C-4 = 48).
uint8_t s3m_note(int semitone);

// The module file. Throws std::invalid_argument on a module the format cannot hold.
Bytes write_s3m(const S3mModule& module);

} // namespace vantrose
