#include "content/s3m_writer.h"

#include <stdexcept>

namespace vantrose {

namespace {

void put16(Bytes& out, size_t at, uint32_t v) {
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
}

void put32(Bytes& out, size_t at, uint32_t v) {
    put16(out, at, v & 0xFFFF);
    put16(out, at + 2, v >> 16);
}

void put_text(Bytes& out, size_t at, const std::string& text, size_t room) {
    for (size_t i = 0; i < text.size() && i + 1 < room; ++i) out[at + i] = uint8_t(text[i]);
}

// Parapointers count 16-byte paragraphs, so every block starts on one.
size_t align_paragraph(Bytes& out) {
    out.resize((out.size() + 15) & ~size_t(15), 0);
    return out.size();
}

void check(bool ok, const char* what) {
    if (!ok) throw std::invalid_argument(std::string("s3m: ") + what);
}

void check_module(const S3mModule& m) {
    size_t channels = m.pannings.size();
    check(channels >= 1 && channels <= s3m_max_channels, "1 to 32 channels");
    check(!m.orders.empty() && m.orders.size() <= 254, "1 to 254 orders");
    check(m.patterns.size() <= 100, "at most 100 patterns");
    check(m.samples.size() <= 99, "at most 99 samples");
    check(m.speed >= 1 && m.tempo >= 33 && m.global_volume <= 64 && m.master_volume <= 127,
          "speed, tempo or volume out of range");
    int left = 0;
    for (uint8_t pan : m.pannings) {
        check(pan <= 15, "panning above 15");
        left += pan < 8;
    }
    check(left <= 8 && int(channels) - left <= 8, "at most 8 channels on each side");
    for (uint8_t o : m.orders) check(o < m.patterns.size(), "order names a missing pattern");
    for (const S3mPattern& p : m.patterns) {
        check(p.size() == s3m_rows * channels, "pattern is not 64 rows of every channel");
        for (const S3mCell& c : p) {
            check(c.note >= s3m_note_off || (c.note < 0x80 && (c.note & 15) < 12), "bad note");
            check(c.instrument <= m.samples.size(), "cell names a missing sample");
            check(c.volume <= 64 || c.volume == s3m_no_volume, "volume above 64");
            check(c.command <= 26, "command beyond Z");
        }
    }
    for (const S3mSample& s : m.samples) {
        check(s.volume <= 64 && s.c2spd > 0 && s.c2spd <= 65535, "sample volume or rate");
        check(s.loop_end <= s.pcm.size() && s.loop_start <= s.loop_end, "loop outside sample");
    }
}

Bytes pack_pattern(const S3mPattern& p, size_t channels) {
    Bytes out(2, 0);
    for (int row = 0; row < s3m_rows; ++row) {
        for (size_t ch = 0; ch < channels; ++ch) {
            const S3mCell& c = p[row * channels + ch];
            uint8_t what = uint8_t(ch);
            if (c.note != s3m_no_note || c.instrument) what |= 0x20;
            if (c.volume != s3m_no_volume) what |= 0x40;
            if (c.command) what |= 0x80;
            if (what == ch) continue;
            out.push_back(what);
            if (what & 0x20) out.insert(out.end(), {c.note, c.instrument});
            if (what & 0x40) out.push_back(c.volume);
            if (what & 0x80) out.insert(out.end(), {c.command, c.info});
        }
        out.push_back(0);
    }
    put16(out, 0, uint32_t(out.size()));
    return out;
}

} // namespace

uint8_t s3m_note(int semitone) {
    if (semitone < 0 || semitone >= 8 * 12) throw std::invalid_argument("s3m: note out of range");
    return uint8_t((semitone / 12) << 4 | semitone % 12);
}

Bytes write_s3m(const S3mModule& m) {
    check_module(m);
    const size_t channels = m.pannings.size();
    const size_t order_count = (m.orders.size() + 1) & ~size_t(1); // the format wants it even
    Bytes out(0x60, 0);
    put_text(out, 0, m.title, 28);
    out[0x1C] = 0x1A;
    out[0x1D] = 16; // module type: ST3
    put16(out, 0x20, uint32_t(order_count));
    put16(out, 0x22, uint32_t(m.samples.size()));
    put16(out, 0x24, uint32_t(m.patterns.size()));
    put16(out, 0x28, 0x1320); // written as by Scream Tracker 3.20
    put16(out, 0x2A, 2);      // unsigned sample data
    put_text(out, 0x2C, "SCRM", 5);
    out[0x30] = m.global_volume;
    out[0x31] = m.speed;
    out[0x32] = m.tempo;
    out[0x33] = uint8_t(0x80 | m.master_volume);
    out[0x35] = 252; // a panning table follows the parapointers
    int left = 0, right = 0;
    for (size_t ch = 0; ch < s3m_max_channels; ++ch)
        out[0x40 + ch] = ch >= channels ? 255 : m.pannings[ch] < 8 ? left++ : 8 + right++;

    out.insert(out.end(), m.orders.begin(), m.orders.end());
    out.resize(out.size() + order_count - m.orders.size(), 255);
    const size_t sample_pointers = out.size();
    const size_t pattern_pointers = sample_pointers + 2 * m.samples.size();
    out.resize(pattern_pointers + 2 * m.patterns.size(), 0);
    for (size_t ch = 0; ch < s3m_max_channels; ++ch)
        out.push_back(ch < channels ? uint8_t(0x20 | m.pannings[ch]) : 0);

    std::vector<size_t> headers;
    for (size_t i = 0; i < m.samples.size(); ++i) {
        headers.push_back(align_paragraph(out));
        put16(out, sample_pointers + 2 * i, uint32_t(headers.back() >> 4));
        out.resize(out.size() + 0x50, 0);
    }
    for (size_t i = 0; i < m.patterns.size(); ++i) {
        size_t at = align_paragraph(out);
        check(at >> 4 <= 0xFFFF, "patterns beyond the first megabyte");
        put16(out, pattern_pointers + 2 * i, uint32_t(at >> 4));
        Bytes packed = pack_pattern(m.patterns[i], channels);
        out.insert(out.end(), packed.begin(), packed.end());
    }
    for (size_t i = 0; i < m.samples.size(); ++i) {
        const S3mSample& s = m.samples[i];
        const size_t h = headers[i], data = align_paragraph(out);
        out[h] = 1; // PCM sample
        out[h + 0x0D] = uint8_t(data >> 20);
        put16(out, h + 0x0E, uint32_t(data >> 4));
        put32(out, h + 0x10, uint32_t(s.pcm.size()));
        put32(out, h + 0x14, s.loop_start);
        put32(out, h + 0x18, s.loop_end);
        out[h + 0x1C] = s.volume;
        out[h + 0x1F] = uint8_t((s.loop_end > s.loop_start ? 1 : 0) | 4); // loop, 16-bit
        put32(out, h + 0x20, s.c2spd);
        put_text(out, h + 0x30, s.name, 28);
        put_text(out, h + 0x4C, "SCRS", 5);
        for (int16_t v : s.pcm) {
            uint16_t u = uint16_t(uint16_t(v) ^ 0x8000);
            out.push_back(uint8_t(u));
            out.push_back(uint8_t(u >> 8));
        }
    }
    return out;
}

} // namespace vantrose
