// The sound system: one positional sound per element, 500 free-standing 3D sounds that brains
// load by name, the listener on the hearer element, and their keywords. Every keyword does
// nothing (and returns 0) while sound is not available: sound switched off in the settings,
// or no device at all, not even a loopback one.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/run_state.h"
#include "platform/audio/audio.h"

namespace korva {

struct System;

constexpr int32_t kSoundSlots = 500;      // free-standing 3D sounds (esound_*)
constexpr int32_t kSoundElements = 256;   // one element sound per element index
// Instance flags bit 4: the element's sound plays once per play_sound and does not start by
// itself.
constexpr int32_t kFlagOneShot = 1 << 4;
// Element positions are in 1/512000 of a scene unit; sound distances are in scene units.
constexpr double kPositionUnits = 512000.0;
// Where sounds wait before the first frame places them: far above everything.
constexpr double kParkHeight = 100000000000.0 / kPositionUnits;
constexpr double kDefaultMaxDistance = 100000000.0;
// The default element sound parameters (rate/minimum distance/unused/mode, no volume).
constexpr std::string_view kDefaultSoundOptions = "4096/2/50/0";

// An element's sound parameters.
struct ElementSoundOptions {
  int32_t rate = 4096;
  int32_t min_distance = 2;
  int32_t mode = 0;    // bit 0: one-shot
  int32_t volume = 0;  // decibels
};

// One buffer and the source that plays it.
struct Voice {
  audio::Buffer buffer = 0;
  audio::Source source = 0;
  int32_t base_frequency = 0;  // the buffer's sample rate
  double gain = 1.0;           // from the volume
  double min_distance = 1.0;
  double max_distance = kDefaultMaxDistance;
  double position[3] = {};     // scene units
  bool positional = true;      // false: 3D off, a listener-relative source at the origin
  bool muted = false;          // beyond its maximum distance
  bool moved = false;          // position changed since the last commit
  bool used() const { return source != 0; }
};

struct Sound {
  Sound() = default;
  Sound(const Sound&) = delete;
  Sound& operator=(const Sound&) = delete;
  ~Sound();  // releases every sound, then the device

  audio::DevicePtr device;  // nullptr: sound is not available
  audio::Open how = audio::Open::Default;
  bool three_d = true;      // from the settings at run start

  std::array<Voice, kSoundElements> element{};
  std::array<int32_t, kSoundElements> rate{};          // 1/4096 of the base frequency
  std::array<Voice, kSoundSlots> slot{};

  int32_t hearer = 0;         // element index the listener follows, -1 none
  double listener[3] = {};    // scene units
  double listener_at[3] = {0, 0, 1};
  double listener_up[3] = {0, 1, 0};
  bool listener_moved = false;
  int32_t primary_volume = 0; // the listener's volume in hundredths of a decibel

  uint32_t mixed_tics = 0;    // loopback devices: the frame counter their mix has reached

  // What each element sound was made from, so that restart_sound_system can make it again.
  std::array<std::string, kSoundElements> path{};
  std::array<ElementSoundOptions, kSoundElements> options{};
};

// ---- Conversions ----
// base × rate / 4096 (shifted right by 12), 100 Hz when the product is at most 409599 and
// 100000 Hz when it is 409604096 or more.
int32_t frequency_from_rate(int32_t base_frequency, int32_t rate);
// Hundredths of a decibel (clamped to -10000..0) as an amplitude factor 10^(v/2000).
double gain_from_volume(int32_t volume);

// ---- The device ----
// True when sound can be heard (a device, not switched off).
bool sound_available(const System& s);
// Opens the device when sound is switched on in the settings and none is open. Returns
// sound_available.
bool sound_start(System& s);
// Releases every sound and the device; sound is then not available until sound_start.
void sound_shutdown(System& s);
// Stops every element sound and free-standing sound (they stay loaded).
void sound_stop_all(System& s);
// Sets the listener's volume (hundredths of a decibel) and returns the one it had.
int32_t sound_swap_primary_volume(System& s, int32_t volume);

// ---- Element sounds ----
// The options from the element's sound parameter field ("/"-separated; missing fields are 0).
ElementSoundOptions sound_options_parse(std::string_view field);
// Gives element index the sound of the wave file at path: false (no sound) when the file is
// missing or not a playable wave. One-shot mode lands in the element's flags word.
bool element_sound_create(System& s, int32_t index, std::string_view path, const ElementSoundOptions& o);
// Run start: the listener follows the first element again, from the origin.
void sound_run_start(System& s);
// Parks every element sound out of hearing; the sounds of active elements not in one-shot mode
// start looping, the others stay stopped.
void element_sounds_start(System& s);
// Releases every element sound and free-standing sound, recording in the sound-state table
// which element sounds were playing.
void sound_release_all(System& s);
bool element_has_sound(const System& s, int32_t index);

// ---- Every rendered frame ----
// The listener at the hearer (scene units; at and up in scene axes, any length), deferred.
void sound_listener_set(System& s, const double position[3], const double at[3], const double up[3]);
// Every element sound to its element's position, deferred.
void sound_positions_update(System& s);
// Applies the deferred settings at once; a loopback device is mixed up to the current frame.
void sound_commit(System& s);

// ---- Keywords ----
void hearer(System& s, int32_t e);
void play_sound(System& s, int32_t e);
void stop_sound(System& s, int32_t e);
int32_t sound_status(System& s, int32_t e);
void sound_mode_set(System& s, int32_t e, int32_t m);
void sound_rate_set(System& s, int32_t e, int32_t r);
void stop_sound_system(System& s);
void restart_sound_system(System& s);
int32_t esound_load(System& s, int32_t name);
void esound_unload(System& s, int32_t slot);
void esound_play(System& s, int32_t slot, int32_t loop);
void esound_stop(System& s, int32_t slot);
int32_t esound_state(System& s, int32_t slot);
void esound_volume_set(System& s, int32_t slot, int32_t v);
void esound_frequency_set(System& s, int32_t slot, int32_t f);
void esound_minmaxdist_set(System& s, int32_t slot, int32_t min, int32_t max);
void esound_location_set(System& s, int32_t slot, int32_t x, int32_t y, int32_t z);

// Loads a wave file into a free-standing slot; the slot, or -1 (no free slot, or no sound).
int32_t esound_load_path(System& s, std::string_view path);

}  // namespace korva
