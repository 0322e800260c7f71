// The module player: the slow clock that every scene waits for.
#pragma once
#include <cstdint>

namespace vantrose {

extern int32_t music_order;
extern int32_t music_row;

void sound_init();  // FSOUND_Init: the audio device, when one opens
void sound_close(); // FSOUND_Close
void load_music();  // the module from the data folder; reports and ends the program when unusable
void play_music();
void poll_music();
void stop_music();
// Master volume of the module, 0..256.
void set_music_volume(int volume);
// Holds and resumes the module (the show's pause).
void pause_music(bool paused);
// The viewer's listening volume, applied on top of the master volume: moves it by `steps` within
// 0..8 (8 is full), unmuting; returns the new step.
int change_listening_volume(int steps);
// Mutes or unmutes; returns true when now muted.
bool toggle_mute();

} // namespace vantrose
