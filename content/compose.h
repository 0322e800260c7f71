// The show's music: the synthesized instruments arranged into one pattern per order, section by
// section, with a crash on every order where the show cuts.
#pragma once
#include "content/s3m_writer.h"

namespace vantrose {

// Every order lasts 64 rows at speed 4 and tempo 160: 64 * 4 * 2.5 / 160 = 4.0 s.
constexpr int music_speed = 4;
constexpr int music_tempo = 160;
constexpr int music_orders = 104;

S3mModule compose_module();

} // namespace vantrose
