// The module's instruments, synthesized with integer arithmetic only, so every build writes the
// same bytes on every machine.
#pragma once
#include <cstdint>
#include <vector>

#include "content/s3m_writer.h"

namespace vantrose {

// A sample and the MIDI note it sounds when played as C-4 (drums sound as recorded there).
struct Instrument {
    S3mSample sample;
    int base_note = 60;
};

// sin(2 pi phase / 2^32) in Q15.
int32_t sine_q15(uint32_t phase);

// Frequency of a MIDI note (A-4 = 69 = 440 Hz) in Hz, Q16.
int64_t note_hz_q16(int midi);

Instrument make_kick();
Instrument make_snare();
Instrument make_clap();
Instrument make_hat(bool open);
Instrument make_crash();
Instrument make_bass();  // filtered saw, plucked attack, looped sustain
Instrument make_pad();   // five detuned saws, soft attack, looped
Instrument make_pluck(); // bright decaying harmonics for arpeggios and stabs
Instrument make_lead();  // two detuned saw-square voices, looped
Instrument make_bell();  // inharmonic partials, long ring

} // namespace vantrose
