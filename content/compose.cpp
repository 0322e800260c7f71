#include "content/compose.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>

#include "content/synth.h"

namespace vantrose {

namespace {

// Orders at which the show changes scene, each marked by a crash.
const int show_cuts[] = {5,  8,  12, 13, 16, 17, 18, 19, 20, 23, 24, 25, 27, 28, 29, 33,
                         37, 43, 44, 48, 52, 56, 62, 66, 70, 73, 77, 78, 81, 84, 94};

// Sample numbers in the module, in the order the instruments are made.
enum Sample : uint8_t {
    s_kick = 1,
    s_snare,
    s_clap,
    s_hat,
    s_open_hat,
    s_crash,
    s_bass,
    s_pad,
    s_pluck,
    s_lead,
    s_bell,
};

enum Channel {
    c_kick,
    c_snare,
    c_hat,
    c_crash,
    c_bass,
    c_pad, // three voices: c_pad .. c_pad + 2
    c_arp = c_pad + 3,
    c_lead,
    c_echo, // the lead's echo or harmony
    c_bell,
    channel_count
};

// Channels whose samples loop, so that their notes go on until something stops them.
const int sustained[] = {c_bass, c_pad, c_pad + 1, c_pad + 2, c_lead, c_echo};

const uint8_t channel_pan[channel_count] = {7, 8, 10, 4, 7, 2, 8, 13, 11, 5, 11, 3};

// A sixteenth note is two rows; a bar is 16 sixteenths, an order two bars.
constexpr int row_step = 2;
constexpr int bar_steps = 16;
constexpr int order_steps = 32;

// ---- Style tables: one character per sixteenth of a bar --------------------------------

// Kick and snare: X loud, x medium, o soft. Hats: the same on the closed hat, O the open hat.
struct Drums {
    const char* kick;
    const char* snare;
    Sample snare_sample;
    const char* hat;
    bool drives; // a groove worth a snare roll into it
};

const Drums pulse = {"X.......x.......", "................", s_snare, "..o...o...o...o.", false};
const Drums four = {"X...X...X...X...", "....X.......X...", s_clap, "..x...x...x...x.", true};
const Drums house = {"X...X...X...X...", "....X.......X...", s_clap, "oxOxoxOxoxOxoxOx", true};
const Drums breakbeat = {"X.X.......X..x..", "....X..o.o..X..o", s_snare, "x.x.x.x.x.x.x.xO", true};
const Drums half = {"X.........X.....", "........X.......", s_snare, "x.x.x.x.x.x.x.x.", true};
const Drums shuffle = {"X.....X.X.....x.", "....X.......X..o", s_clap, "xoxoxoxoxoxoxoxo", true};
const Drums ghost = {"X...............", "............o...", s_snare, "..o...o...o...o.", false};

// Bass: R root, O octave above, F fifth, ^ cut, anything else lets the note ring.
const char* const bass_hold = "R---------------";
const char* const bass_pulse = "R.^.R.^.R.^.R.^.";
const char* const bass_offbeat = "..R^..R^..R^..R^";
const char* const bass_roll = "RRORRRORRRORRROR";
const char* const bass_octave = "R.O.R.O.R.O.R.O.";
const char* const bass_half = "R-------^.R.F-^.";
const char* const bass_riff = "R.R^..O.^.R.F^OR";

// Chords on the three pad channels: H held pad, S plucked stab.
const char* const pad_hold = "H...............";
const char* const pad_stab = "..S...S...S...S.";
const char* const pad_skank = "S..S..S...S..S..";

// Arpeggio: digits index the chord's tones counted upwards over the octaves.
const char* const arp_eighths = "0.1.2.3.4.3.2.1.";
const char* const arp_up = "0123012301230123";
const char* const arp_updown = "0123432101234321";
const char* const arp_spread = "0243152403514253";

// ---- Melodies: one token per sixteenth: a note (C#5, Bb4), - hold, . rest ----------------

const char* const bell_intro = // Am F C G Am F Dm E
    "E5 - - - - - - - A5 - - - - - - -   C6 - - - - - - - A5 - - - F5 - - - "
    "G5 - - - - - - - E5 - - - C6 - - -   B5 - - - - - - - D6 - - - G5 - - - "
    "E5 - - - - - - - C6 - - - B5 - - -   A5 - - - - - - - F5 - - - C6 - - - "
    "D6 - - - - - - - A5 - - - F5 - - -   E5 - - - - - - - G#5 - - - B5 - - -";

const char* const lead_roto = // Fmaj7 G Em7 Am Dm E
    "A4 - - - C5 - - - E5 - - - - - D5 -   D5 - - - - - - - B4 - - - G4 - - - "
    "B4 - - - - - - - E5 - - - G5 - - -    A5 - - - - - - - E5 - - - C5 - - - "
    "D5 - - - F5 - - - A5 - - - F5 - - -   E5 - - - - - - - G#4 - - - B4 - - -";

const char* const lead_hook = // Am D F E Am D F E
    "A4 . C5 . E5 - D5 . C5 . A4 . . . G4 -   A4 - - - . . F#4 . A4 . D5 - C5 - A4 - "
    "C5 . C5 . A4 . C5 . D5 - E5 - F5 - E5 -   D5 - C5 - B4 - - - G#4 - - - . . . . "
    "E5 . E5 . D5 . C5 . D5 - E5 - A4 - - -   F#5 - - - E5 - D5 - A4 - - - . . . . "
    "C5 - - - A4 - C5 - F5 - - - E5 - - -   E5 - - - D5 - - - B4 - - - G#4 - - -";

const char* const lead_theme = // Am F C G Am F E E
    "E5 - - . E5 - D5 - C5 - - - B4 - C5 -   A4 - - - - - - - . . C5 - D5 - E5 - "
    "G5 - - . G5 - F5 - E5 - - - D5 - E5 -   D5 - - - - - - - . . B4 - C5 - D5 - "
    "E5 - - . E5 - D5 - C5 - - - B4 - C5 -   A5 - - - G5 - F5 - E5 - - - D5 - C5 - "
    "B4 - - - - - - - G#4 - - - B4 - - -   E5 - - - - - - - D5 - - - B4 - - -";

const char* const lead_twirl = // Fmaj7 Em7 Dm7 Am Fmaj7 Em7 Dm7 E
    "E5 - - - - - - - - - - - C5 - - -   B4 - - - - - - - - - - - G4 - - - "
    "A4 - - - - - - - C5 - - - F5 - - -   E5 - - - - - - - - - - - . . . . "
    "A5 - - - - - - - G5 - - - E5 - - -   G5 - - - - - - - D5 - - - B4 - - - "
    "C5 - - - - - - - D5 - - - F5 - - -   E5 - - - - - - - - - - - . . . .";

const char* const lead_3d = // Dm Bb F C Dm Bb Gm A Dm Bb F C Bb E
    "D5 - - - - - - - A4 - - - D5 - E5 -   F5 - - - - - - - G5 - F5 - D5 - - - "
    "C5 - - - - - - - A4 - - - C5 - F5 -   E5 - - - - - - - D5 - C5 - - - - - "
    "D5 - - - - - - - A4 - - - D5 - E5 -   F5 - - - - - - - G5 - F5 - - - - - "
    "D5 - - - - - - - Bb4 - D5 - G5 - - -   A5 - - - - - - - - - - - C#5 - E5 - "
    "F5 - - - - - - - E5 - D5 - - - A4 -   D5 - - - - - - - - - - - F5 - - - "
    "A5 - - - - - - - G5 - F5 - - - C5 -   E5 - - - - - - - G5 - - - - - - - "
    "F5 - - - - - - - D5 - - - Bb4 - - -   B4 - - - - - - - G#4 - - - E4 - - -";

const char* const lead_riff = // Am G F E Am G F E
    "A5 . E5 . C5 . E5 . A5 . E5 . C6 - B5 -   G5 . D5 . B4 . D5 . G5 . D5 . B5 - A5 - "
    "F5 . C5 . A4 . C5 . F5 . C5 . A5 - G5 -   E5 . B4 . G#4 . B4 . E5 - - - G#5 - - - "
    "A5 . E5 . C5 . E5 . A5 . E5 . C6 - B5 -   G5 . D5 . B4 . D5 . G5 . D5 . B5 - A5 - "
    "F5 . C5 . A4 . C5 . F5 . C5 . A5 - G5 -   E5 - - - D5 - - - B4 - - - G#4 - - -";

const char* const lead_plasma = // Am G F E Am G F E
    "C6 - - - B5 - - - A5 - - - E5 - - -   D5 - - - - - - - B4 - - - D5 - - - "
    "C5 - - - - - - - A4 - C5 - F5 - - -   E5 - - - - - - - G#5 - - - B5 - - - "
    "C6 - - - B5 - - - A5 - - - C6 - - -   D6 - - - - - - - B5 - - - G5 - - - "
    "A5 - - - G5 - F5 - C6 - - - A5 - - -   E5 - - - - - - - - - - - . . . .";

const char* const lead_plasma_high = // F G Em Am F G E E
    "A5 - - - C6 - - - A5 - G5 - F5 - - -   G5 - - - - - - - D5 - - - G5 - - - "
    "B5 - - - - - - - G5 - - - E5 - - -   A5 - - - - - - - E5 - - - C6 - - - "
    "A5 - - - C6 - - - A5 - G5 - F5 - - -   B5 - - - - - - - D6 - - - B5 - - - "
    "G#5 - - - - - - - B5 - - - E6 - - -   E6 - - - - - - - . . . . . . . .";

const char* const bell_floor = // C G Am F C G Am E
    "E5 . G5 . C6 . G5 . E5 . G5 . C6 . D6 .   D6 . B5 . G5 . B5 . D6 - - - . . B5 . "
    "C6 . A5 . E5 . A5 . C6 . E6 . D6 . C6 .   A5 - - - F5 . A5 . C6 - - - . . . . "
    "E6 . D6 . C6 . G5 . E5 . G5 . C6 . D6 .   B5 - - - G5 . B5 . D6 - - - B5 . G5 . "
    "A5 . C6 . E6 . C6 . A5 . E5 . A5 . B5 .   G#5 - - - E5 . G#5 . B5 - - - . . . .";

const char* const lead_mapped = // Am Em F C Dm Am E E
    "A4 - - - C5 - - - E5 - - - A5 - G5 -   G5 - - - - - - - E5 - - - B4 - - - "
    "C5 - - - - - - - A4 - C5 - F5 - E5 -   E5 - - - - - - - G5 - - - C5 - - - "
    "D5 - - - F5 - - - A5 - - - D6 - C6 -   C6 - - - - - - - A5 - - - E5 - - - "
    "G#5 - - - - - - - B5 - - - D6 - - -   E6 - - - - - - - B5 - - - G#5 - - -";

const char* const bell_still = // Fmaj7 Em7 Dm7 Cmaj7 Dm7 E
    "A5 - - - - - - - E5 - - - C6 - - -   B5 - - - - - - - G5 - - - E5 - - - "
    "A5 - - - - - - - F5 - - - D5 - - -   E5 - - - - - - - G5 - - - B5 - - - "
    "A5 - - - - - - - F5 - - - C6 - - -   B5 - - - - - - - G#5 - - - E5 - - -";

const char* const bell_ripple = // Fmaj7 Em7
    "C6 - - - - - - - A5 - - - E5 - - -   B5 - - - - - - - G5 - - - D5 - - -";

const char* const lead_ripple = // Dm7 Cmaj7 Fmaj7 Em7 Dm7 E
    "F5 - - - - - - - E5 - - - D5 - - -   E5 - - - - - - - - - - - G4 - - - "
    "A4 - - - - - - - C5 - - - E5 - - -   D5 - - - - - - - B4 - - - G4 - - - "
    "A4 - - - C5 - - - F5 - - - E5 - - -   E5 - - - - - - - - - - - . . . .";

const char* const bell_last_picture = // Fmaj7 G Em7 Am Dm7 E
    "C6 - - - - - - - A5 - - - F5 - - -   D6 - - - - - - - B5 - - - G5 - - - "
    "B5 - - - - - - - G5 - - - E5 - - -   C6 - - - - - - - A5 - - - E5 - - - "
    "A5 - - - - - - - F5 - - - D5 - - -   G#5 - - - - - - - B5 - - - E6 - - -";

const char* const lead_outro = // Am F C G Am F C G
    "C5 - - - - - - - B4 - - - A4 - - -   A4 - - - - - - - C5 - - - F5 - - - "
    "E5 - - - - - - - D5 - - - C5 - - -   D5 - - - - - - - - - - - . . . . "
    "E5 - - - - - - - D5 - - - C5 - - -   C5 - - - - - - - A4 - - - C5 - - - "
    "G5 - - - - - - - E5 - - - C5 - - -   D5 - - - - - - - B4 - - - G4 - - -";

// ---- Sections ----------------------------------------------------------------------------

enum class Second { none, echo, harmony }; // what the echo channel does with the lead

struct Section {
    int orders;
    const char* chords; // one per bar, repeating
    const Drums* drums = nullptr;
    const char* bass = nullptr;
    const char* pad = pad_hold;
    const char* arp = nullptr;
    int arp_volume = 24;
    const char* lead = nullptr;
    Second second = Second::none;
    int lead_volume = 42;
    const char* bell = nullptr;
    int bell_shift = 0; // semitones
    int fade = 0;       // +1: the section fades in, -1: it fades out
};

// Orders 0..103; every show cut falls on a section start or on a crash within one.
// clang-format off
const Section sections[] = {
    // intro under the opening picture: pads and a bell, then a pulse
    {.orders = 2, .chords = "Am F C G", .bell = bell_intro, .fade = +1},
    {.orders = 3, .chords = "Am F C G Dm E", .drums = &pulse, .bass = bass_hold,
     .arp = arp_eighths, .arp_volume = 20},
    // build as the picture fades in, then the first rotozoom and its fade-out
    {.orders = 3, .chords = "Am F C G Dm E", .drums = &four, .bass = bass_offbeat, .arp = arp_up,
     .arp_volume = 22},
    {.orders = 4, .chords = "Am F C G Am F C E", .drums = &house, .bass = bass_roll,
     .arp = arp_updown, .arp_volume = 26},
    {.orders = 1, .chords = "Dm E", .bass = bass_hold, .arp = arp_up},
    // second rotozoom: the lead enters
    {.orders = 3, .chords = "Fmaj7 G Em7 Am Dm E", .drums = &house, .bass = bass_roll,
     .pad = pad_stab, .arp = arp_up, .lead = lead_roto, .second = Second::echo, .lead_volume = 40},
    // four credit pictures: a broken-beat groove with a hook
    {.orders = 4, .chords = "Am D F E", .drums = &breakbeat, .bass = bass_riff, .pad = pad_skank,
     .lead = lead_hook},
    // pulse rotozoom: the main theme at full drive
    {.orders = 9, .chords = "Am F C G Am F E E", .drums = &house, .bass = bass_roll,
     .arp = arp_up, .lead = lead_theme, .second = Second::echo, .lead_volume = 44},
    // twirls: a breakdown with bells, then the same tune on the lead over a ghost beat
    {.orders = 4, .chords = "Fmaj7 Em7 Dm7 Am Fmaj7 Em7 Dm7 E", .bass = bass_hold,
     .arp = arp_eighths, .arp_volume = 22, .bell = lead_twirl},
    {.orders = 4, .chords = "Fmaj7 Em7 Dm7 Am Fmaj7 Em7 Dm7 E", .drums = &ghost,
     .bass = bass_pulse, .arp = arp_up, .arp_volume = 18, .lead = lead_twirl,
     .second = Second::echo, .lead_volume = 38},
    // the plaque: a half-time theme in D minor
    {.orders = 7, .chords = "Dm Bb F C Dm Bb Gm A Dm Bb F C Bb E", .drums = &half,
     .bass = bass_half, .arp = arp_spread, .arp_volume = 22, .lead = lead_3d,
     .second = Second::harmony},
    // three plasmas: riff, melody, high melody in thirds
    {.orders = 4, .chords = "Am G F E", .drums = &house, .bass = bass_roll, .lead = lead_riff,
     .second = Second::echo, .lead_volume = 38},
    {.orders = 4, .chords = "Am G F E", .drums = &house, .bass = bass_roll, .pad = pad_stab,
     .arp = arp_up, .lead = lead_plasma, .second = Second::echo},
    {.orders = 4, .chords = "F G Em Am F G E E", .drums = &breakbeat, .bass = bass_octave,
     .arp = arp_updown, .lead = lead_plasma_high, .second = Second::harmony},
    // the floor and its balls: bouncing bells
    {.orders = 6, .chords = "C G Am F C G Am E", .drums = &shuffle, .bass = bass_octave,
     .pad = pad_stab, .bell = bell_floor},
    // mapped textures, the second picture, the third mapped texture
    {.orders = 8, .chords = "Am Em F C Dm Am E E", .drums = &four, .bass = bass_offbeat,
     .arp = arp_updown, .lead = lead_mapped, .second = Second::echo},
    {.orders = 3, .chords = "Fmaj7 Em7 Dm7 Cmaj7 Dm7 E", .bass = bass_hold, .arp = arp_eighths,
     .arp_volume = 20, .bell = bell_still},
    {.orders = 4, .chords = "Am Em F C Dm Am E E", .drums = &house, .bass = bass_roll,
     .pad = pad_stab, .arp = arp_up, .lead = lead_mapped, .second = Second::harmony},
    // ripple: fading in, a slow lead, then the third picture
    {.orders = 1, .chords = "Fmaj7 Em7", .bell = bell_ripple},
    {.orders = 3, .chords = "Dm7 Cmaj7 Fmaj7 Em7 Dm7 E", .drums = &ghost, .bass = bass_hold,
     .arp = arp_eighths, .arp_volume = 20, .lead = lead_ripple, .second = Second::echo,
     .lead_volume = 38},
    {.orders = 3, .chords = "Fmaj7 G Em7 Am Dm7 E", .bass = bass_hold, .arp = arp_up,
     .arp_volume = 16, .bell = bell_last_picture},
    // the sphere: the main theme again, in thirds, with bells an octave up
    {.orders = 10, .chords = "Am F C G Am F E E", .drums = &house, .bass = bass_roll,
     .arp = arp_up, .arp_volume = 26, .lead = lead_theme, .second = Second::harmony,
     .lead_volume = 44, .bell = lead_theme, .bell_shift = 12},
    // the closing scroller, then a coda that winds down into the intro
    {.orders = 6, .chords = "Am F C G Am F C G", .drums = &four, .bass = bass_offbeat,
     .arp = arp_updown, .arp_volume = 22, .lead = lead_outro, .second = Second::echo,
     .lead_volume = 40},
    {.orders = 4, .chords = "Am F C G Am F Dm E", .bass = bass_hold, .arp = arp_eighths,
     .arp_volume = 18, .bell = bell_intro, .fade = -1},
};
// clang-format on

// ---- Notes and chords --------------------------------------------------------------------

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        size_t j = i;
        while (j < text.size() && text[j] != ' ') ++j;
        if (j > i) out.push_back(text.substr(i, j - i));
        i = j;
    }
    return out;
}

// Pitch class of a note name's letter and accidental; the rest of the name is left in name.
int pitch_class(std::string_view& name) {
    static const int letter_pc[7] = {9, 11, 0, 2, 4, 5, 7}; // A..G
    if (name.empty() || name[0] < 'A' || name[0] > 'G')
        throw std::invalid_argument("music: bad note name");
    int pc = letter_pc[name[0] - 'A'];
    name.remove_prefix(1);
    if (!name.empty() && (name[0] == '#' || name[0] == 'b')) {
        pc += name[0] == '#' ? 1 : 11;
        name.remove_prefix(1);
    }
    return pc % 12;
}

struct Chord {
    int root;               // pitch class
    std::vector<int> tones; // semitones above the root, rising
};

Chord parse_chord(std::string_view name) {
    Chord c;
    c.root = pitch_class(name);
    if (name == "")
        c.tones = {0, 4, 7};
    else if (name == "m")
        c.tones = {0, 3, 7};
    else if (name == "7")
        c.tones = {0, 4, 7, 10};
    else if (name == "m7")
        c.tones = {0, 3, 7, 10};
    else if (name == "maj7")
        c.tones = {0, 4, 7, 11};
    else
        throw std::invalid_argument("music: bad chord quality");
    return c;
}

// A melody as one entry per sixteenth: a MIDI note, hold or rest.
constexpr int hold = -1, rest = -2;

std::vector<int> parse_melody(std::string_view text) {
    std::vector<int> steps;
    for (std::string_view w : words(text)) {
        if (w == "-")
            steps.push_back(hold);
        else if (w == ".")
            steps.push_back(rest);
        else {
            const int pc = pitch_class(w);
            if (w.size() != 1 || w[0] < '0' || w[0] > '9')
                throw std::invalid_argument("music: bad octave");
            steps.push_back(12 * (w[0] - '0' + 1) + pc);
        }
    }
    if (steps.empty() || steps.size() % order_steps)
        throw std::invalid_argument("music: melody is not whole orders");
    return steps;
}

// The lowest note of pitch class pc at or above floor.
int place(int pc, int floor) {
    return floor + ((pc - floor) % 12 + 12) % 12;
}

// Three pad voices in the octave from G3: root, third and the fifth, or the seventh instead.
std::vector<int> pad_voicing(const Chord& c) {
    std::vector<int> v;
    for (size_t i = 0; i < c.tones.size(); ++i)
        if (!(c.tones.size() == 4 && i == 2)) v.push_back(place(c.root + c.tones[i], 55));
    return v;
}

// Arpeggio tone i: the chord's tones from A4 upwards, over as many octaves as needed.
int arp_tone(const Chord& c, int i) {
    const int n = int(c.tones.size());
    return place(c.root, 69) + c.tones[i % n] + 12 * (i / n);
}

// The highest chord tone at least a minor third under the note: a harmony voice that fits.
int harmony_below(const Chord& c, int note) {
    for (int n = note - 3; n > note - 15; --n)
        for (int t : c.tones)
            if ((n - c.root - t) % 12 == 0) return n;
    return note - 12;
}

// ---- One order's pattern -----------------------------------------------------------------

int base_note[12]; // per sample number, from the instruments

struct Order {
    S3mPattern cells = S3mPattern(s3m_rows * channel_count);
    S3mCell& at(int row, int ch) { return cells[row * channel_count + ch]; }
    void play(int row, int ch, Sample s, int midi, int volume) {
        S3mCell& c = at(row, ch);
        c.note = s3m_note(midi - base_note[s] + 48);
        c.instrument = s;
        c.volume = uint8_t(std::clamp(volume, 0, 64));
    }
    void drum(int row, int ch, Sample s, int volume) { play(row, ch, s, base_note[s], volume); }
    void cut(int row, int ch) { at(row, ch).note = s3m_note_off; }
};

int strength(char c) {
    return c == 'X' ? 64 : c == 'x' ? 44 : c == 'o' ? 26 : 0;
}

void add_drums(Order& o, const Drums& d) {
    for (int step = 0; step < order_steps; ++step) {
        const int row = step * row_step, s = step % bar_steps;
        if (int v = strength(d.kick[s])) o.drum(row, c_kick, s_kick, v);
        if (int v = strength(d.snare[s])) o.drum(row, c_snare, d.snare_sample, v * 7 / 8);
        if (d.hat[s] == 'O')
            o.drum(row, c_hat, s_open_hat, 30);
        else if (int v = strength(d.hat[s]))
            o.drum(row, c_hat, s_hat, v * 5 / 8);
    }
}

// A snare roll over the last two beats that swells into the next section.
void add_fill(Order& o, Sample snare) {
    for (int step = 24; step < order_steps; ++step) {
        const int row = step * row_step;
        o.drum(row, c_snare, snare, 24 + (step - 24) * 5);
        o.at(row, c_hat) = S3mCell{};
        if (step % 4) o.at(row, c_kick) = S3mCell{};
    }
}

void add_bass(Order& o, const char* style, const Chord (&bar)[2]) {
    for (int step = 0; step < order_steps; ++step) {
        const int row = step * row_step, root = place(bar[step / bar_steps].root, 28);
        switch (style[step % bar_steps]) {
        case 'R':
            o.play(row, c_bass, s_bass, root, 50);
            break;
        case 'O':
            o.play(row, c_bass, s_bass, root + 12, 42);
            break;
        case 'F':
            o.play(row, c_bass, s_bass, root + 7, 44);
            break;
        case '^':
            o.cut(row, c_bass);
            break;
        }
    }
}

void add_chords(Order& o, const char* style, const Chord (&bar)[2]) {
    for (int step = 0; step < order_steps; ++step) {
        const char c = style[step % bar_steps];
        if (c != 'H' && c != 'S') continue;
        const std::vector<int> voices = pad_voicing(bar[step / bar_steps]);
        for (int v = 0; v < 3; ++v)
            o.play(step * row_step, c_pad + v, c == 'H' ? s_pad : s_pluck, voices[v],
                   c == 'H' ? 18 : 24);
    }
}

void add_arp(Order& o, const char* style, int volume, const Chord (&bar)[2]) {
    for (int step = 0; step < order_steps; ++step) {
        const char c = style[step % bar_steps];
        if (c < '0' || c > '9') continue;
        const int accent = step % 4 == 0 ? 6 : 0;
        o.play(step * row_step, c_arp, s_pluck, arp_tone(bar[step / bar_steps], c - '0'),
               volume + accent);
    }
}

// The melody's entry at a sixteenth of the section; before the start there is nothing.
int melody_at(const std::vector<int>& m, int step) {
    return step < 0 ? hold : m[size_t(step) % m.size()];
}

// How a melody is played: later by delay sixteenths, higher by shift semitones, or as a
// harmony under itself on the chord.
struct Voicing {
    int delay = 0;
    int shift = 0;
    bool harmony = false;
};

// A melody on one channel from the section's sixteenth first on. Rests cut only voices that
// sustain.
void add_melody(Order& o, int ch, Sample s, const std::vector<int>& m, int first, int volume,
                Voicing v, const Chord (&bar)[2]) {
    for (int step = 0; step < order_steps; ++step) {
        const int at = first + step - v.delay, note = melody_at(m, at), row = step * row_step;
        if (note == rest && melody_at(m, at - 1) != rest) {
            if (s != s_bell) o.cut(row, ch);
        } else if (note >= 0) {
            const int played = v.harmony ? harmony_below(bar[step / bar_steps], note) : note;
            o.play(row, ch, s, played + v.shift, volume);
        }
    }
}

// Scales every volume by a gain moving from `from` to `to` (Q8) over the order, and restates
// the volume of held notes every beat so that they follow too.
void fade(Order& o, int from, int to) {
    int held[channel_count] = {};
    for (int row = 0; row < s3m_rows; ++row) {
        const int gain = from + (to - from) * row / s3m_rows;
        for (int ch = 0; ch < channel_count; ++ch) {
            S3mCell& c = o.at(row, ch);
            if (c.note == s3m_note_off) held[ch] = 0;
            if (c.volume != s3m_no_volume) {
                if (c.note != s3m_no_note) held[ch] = c.volume;
                c.volume = uint8_t(c.volume * gain / 256);
            } else if (held[ch] && row % 8 == 0) {
                c.volume = uint8_t(held[ch] * gain / 256);
            }
        }
    }
}

bool is_cut(int order) {
    return std::find(std::begin(show_cuts), std::end(show_cuts), order) != std::end(show_cuts);
}

struct Placed {
    const Section* section;
    int first_order;
};

Placed section_of(int order) {
    int first = 0;
    for (const Section& s : sections) {
        if (order < first + s.orders) return {&s, first};
        first += s.orders;
    }
    throw std::logic_error("music: order beyond the last section");
}

S3mPattern compose_order(int order) {
    const auto [s, first] = section_of(order);
    const int index = order - first;
    const std::vector<std::string_view> names = words(s->chords);
    const Chord bar[2] = {parse_chord(names[size_t(2 * index) % names.size()]),
                          parse_chord(names[size_t(2 * index + 1) % names.size()])};
    Order o;
    if (s->drums) add_drums(o, *s->drums);
    if (s->bass) add_bass(o, s->bass, bar);
    if (s->pad) add_chords(o, s->pad, bar);
    if (s->arp) add_arp(o, s->arp, s->arp_volume, bar);
    const int step = index * order_steps;
    if (s->lead) {
        const std::vector<int> m = parse_melody(s->lead);
        add_melody(o, c_lead, s_lead, m, step, s->lead_volume, {}, bar);
        if (s->second == Second::echo)
            add_melody(o, c_echo, s_lead, m, step, s->lead_volume * 9 / 20, {.delay = 3}, bar);
        if (s->second == Second::harmony)
            add_melody(o, c_echo, s_lead, m, step, s->lead_volume * 3 / 5, {.harmony = true}, bar);
    }
    if (s->bell)
        add_melody(o, c_bell, s_bell, parse_melody(s->bell), step, s->lead ? 22 : 36,
                   {.shift = s->bell_shift}, bar);
    // Sustained voices that a new section does not start end with the section before.
    if (index == 0)
        for (int ch : sustained)
            if (o.at(0, ch).note == s3m_no_note) o.cut(0, ch);

    if (order + 1 < music_orders && is_cut(order + 1)) {
        const Placed next = section_of(order + 1);
        if (next.first_order == order + 1 && next.section->drums && next.section->drums->drives)
            add_fill(o, next.section->drums->snare_sample);
    }
    if (is_cut(order)) o.drum(0, c_crash, s_crash, s->drums ? 44 : 26);
    if (s->fade) {
        const int from = s->fade > 0 ? 80 : 256, to = s->fade > 0 ? 256 : 64;
        fade(o, from + (to - from) * index / s->orders,
             from + (to - from) * (index + 1) / s->orders);
    }
    return o.cells;
}

} // namespace

S3mModule compose_module() {
    const Instrument instruments[] = {make_kick(),    make_snare(), make_clap(), make_hat(false),
                                      make_hat(true), make_crash(), make_bass(), make_pad(),
                                      make_pluck(),   make_lead(),  make_bell()};
    S3mModule m;
    m.title = "vantrose";
    m.speed = music_speed;
    m.tempo = music_tempo;
    m.global_volume = 64;
    m.master_volume = 60;
    m.pannings.assign(std::begin(channel_pan), std::end(channel_pan));
    for (size_t i = 0; i < std::size(instruments); ++i) {
        m.samples.push_back(instruments[i].sample);
        base_note[i + 1] = instruments[i].base_note;
    }
    for (int order = 0; order < music_orders; ++order) {
        S3mPattern p = compose_order(order);
        auto same = std::find(m.patterns.begin(), m.patterns.end(), p);
        m.orders.push_back(uint8_t(same - m.patterns.begin()));
        if (same == m.patterns.end()) m.patterns.push_back(std::move(p));
    }
    return m;
}

} // namespace vantrose
