// The sound system and its keywords over a loopback device: element sounds, the 500
// free-standing slots, volumes, frequencies, distances, and stopping and restarting it all.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "brain/brain.h"
#include "brain_literal.h"
#include "core/core.h"
#include "core/system.h"
#include "devices/sound.h"
#include "model/instance_record.h"
#include "sound_test_waves.h"

namespace korva {
namespace {

class SoundKeywords : public ::testing::Test {
 protected:
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<BrainState> brain = brain_create();
  Sound sound;
  System sys;
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("korva_sound_" + std::to_string(::getpid()));
  std::string tone;   // 0.25 s at 22050 Hz
  std::string blip;   // a short one

  SoundKeywords() {
    sys.core = core.get();
    sys.brain = brain.get();
    sys.sound = &sound;
    sound.how = audio::Open::Loopback;
    std::filesystem::create_directories(dir);
    tone = test::write_file(dir / "tone.wav", test::tone16(22050, 0.25));
    blip = test::write_file(dir / "blip.wav", test::tone16(11025, 0.01));
  }
  ~SoundKeywords() override {
    sound_shutdown(sys);
    std::filesystem::remove_all(dir);
  }
  void SetUp() override { ASSERT_TRUE(sound_start(sys)); }

  uint8_t* record(int32_t i) { return core->pool(Pool::Instances) + i * kInstanceRecordBytes; }
  void activate(int32_t i) { ir_set(record(i), ir::kFlags, ir_get(record(i), ir::kFlags) | ir::kFlagActive); }
  int32_t literal(const std::string& text) { return put_literal(*brain, text); }
  // The mean level of the next frames of the mix, both channels.
  double level(int32_t frames) {
    std::vector<int16_t> out;
    audio::render(*sound.device, frames, &out);
    double sum = 0;
    for (int16_t v : out) sum += std::abs(v);
    return out.empty() ? 0 : sum / static_cast<double>(out.size());
  }
  void listen_from_origin() {
    const double at[3] = {0, 0, 1}, up[3] = {0, 1, 0}, origin[3] = {0, 0, 0};
    sound_listener_set(sys, origin, at, up);
  }
};

TEST(SoundConversions, FrequencyFromRateWithBothClamps) {
  struct Case {
    int32_t base, rate, hz;
  };
  const Case cases[] = {
      {22050, 4096, 22050},   // unchanged
      {22050, 0, 100},        // silence of the rate gives the lowest frequency
      {22050, 2048, 11025},
      {22050, -4096, 100},
      {100, 4095, 100},       // product 409500: at most 409599
      {409599, 1, 100},
      {409600, 1, 100},       // the first product above the low clamp: 409600 >> 12
      {4096, 4097, 4097},
      {409604095, 1, 100000}, // just below the high clamp: >> 12 is 100000 already
      {409604096, 1, 100000},
      {44100, 4096 * 3, 100000},
      {100000, 1 << 30, 100000},  // no overflow of the product
  };
  for (const Case& c : cases) EXPECT_EQ(frequency_from_rate(c.base, c.rate), c.hz) << c.base << " x " << c.rate;
}

TEST(SoundConversions, VolumeInHundredthsOfADecibel) {
  EXPECT_DOUBLE_EQ(gain_from_volume(0), 1.0);
  EXPECT_NEAR(gain_from_volume(-10000), 1e-5, 1e-12);  // -100 dB
  EXPECT_NEAR(gain_from_volume(-2000), 0.1, 1e-12);
  EXPECT_NEAR(gain_from_volume(-600), 0.501, 0.001);
  EXPECT_DOUBLE_EQ(gain_from_volume(500), 1.0);         // nothing louder than full
  EXPECT_NEAR(gain_from_volume(-20000), 1e-5, 1e-12);
}

TEST(SoundConversions, OptionsFieldReadsRateDistanceModeAndVolume) {
  struct Case {
    const char* field;
    int32_t rate, min_distance, mode, volume;
  };
  const Case cases[] = {
      {"4096/2/50/0", 4096, 2, 0, 0},  // the default: field 5 missing counts as 0
      {"2048/5/0/1/-6", 2048, 5, 1, -6},
      {"", 0, 0, 0, 0},
      {"x/3", 0, 3, 0, 0},
      {"4096/2/50/3/-20/9", 4096, 2, 3, -20},
  };
  for (const Case& c : cases) {
    const ElementSoundOptions o = sound_options_parse(c.field);
    EXPECT_EQ(o.rate, c.rate) << c.field;
    EXPECT_EQ(o.min_distance, c.min_distance) << c.field;
    EXPECT_EQ(o.mode, c.mode) << c.field;
    EXPECT_EQ(o.volume, c.volume) << c.field;
  }
}

TEST_F(SoundKeywords, ElementSoundTakesItsFileFrequencyAndMode) {
  ASSERT_TRUE(element_sound_create(sys, 3, tone, sound_options_parse("4096/2/50/1")));
  EXPECT_EQ(sound.element[3].base_frequency, 22050);
  EXPECT_NE(ir_get(record(3), ir::kFlags) & kFlagOneShot, 0);
  ASSERT_TRUE(element_sound_create(sys, 3, tone, sound_options_parse("4096/2/50/0/-20")));
  EXPECT_EQ(ir_get(record(3), ir::kFlags) & kFlagOneShot, 0);
  EXPECT_NEAR(sound.element[3].gain, 0.1, 1e-9);  // -20 dB
}

TEST_F(SoundKeywords, NullWaveAndBadFilesGiveNoSound) {
  // Even a playable file called null_.wav is no sound.
  const std::string null_wave = test::write_file(dir / "null_.wav", test::tone16(22050, 0.1));
  const std::string bad = test::write_file(dir / "bad.wav", "RIFF\x04\0\0\0WAVE");
  EXPECT_FALSE(element_sound_create(sys, 1, null_wave, {}));
  EXPECT_FALSE(element_sound_create(sys, 2, bad, {}));
  EXPECT_FALSE(element_sound_create(sys, 4, (dir / "missing.wav").string(), {}));
  for (int32_t i : {1, 2, 4}) {
    EXPECT_FALSE(element_has_sound(sys, i));
    play_sound(sys, element_handle(i));
    EXPECT_EQ(sound_status(sys, element_handle(i)), 0);
  }
  EXPECT_LT(level(2048), 2.0);
}

TEST_F(SoundKeywords, RunStartLoopsActiveElementsAndLeavesOneShotsForPlaySound) {
  activate(0);
  activate(1);
  ASSERT_TRUE(element_sound_create(sys, 0, tone, sound_options_parse("4096/2/50/0")));
  ASSERT_TRUE(element_sound_create(sys, 1, blip, sound_options_parse("4096/2/50/1")));
  ASSERT_TRUE(element_sound_create(sys, 2, tone, sound_options_parse("4096/2/50/0")));  // not active
  element_sounds_start(sys);
  EXPECT_EQ(sound_status(sys, element_handle(0)), -1);
  EXPECT_EQ(sound_status(sys, element_handle(1)), 0);
  EXPECT_EQ(sound_status(sys, element_handle(2)), 0);

  // The one-shot sound plays once.
  play_sound(sys, element_handle(1));
  EXPECT_EQ(sound_status(sys, element_handle(1)), -1);
  level(audio::kLoopbackRate / 10);
  EXPECT_EQ(sound_status(sys, element_handle(1)), 0);
  // The looping one goes on past its end.
  EXPECT_EQ(sound_status(sys, element_handle(0)), -1);

  // stop_sound stops an active element's sound only.
  play_sound(sys, element_handle(2));
  stop_sound(sys, element_handle(2));
  EXPECT_EQ(sound_status(sys, element_handle(2)), -1);
  stop_sound(sys, element_handle(0));
  EXPECT_EQ(sound_status(sys, element_handle(0)), 0);
}

TEST_F(SoundKeywords, SoundModeSetMakesALoopingSoundOneShot) {
  ASSERT_TRUE(element_sound_create(sys, 5, blip, {}));
  sound_mode_set(sys, element_handle(5), 3);
  EXPECT_NE(ir_get(record(5), ir::kFlags) & kFlagOneShot, 0);
  play_sound(sys, element_handle(5));
  level(audio::kLoopbackRate / 10);
  EXPECT_EQ(sound_status(sys, element_handle(5)), 0);
  sound_mode_set(sys, element_handle(5), 2);
  play_sound(sys, element_handle(5));
  level(audio::kLoopbackRate / 10);
  EXPECT_EQ(sound_status(sys, element_handle(5)), -1);
}

TEST_F(SoundKeywords, RateZeroPlaysTheSoundSlowly) {
  // At 100 Hz the 0.01 s blip (110 samples at 11025 Hz) lasts over a second.
  ASSERT_TRUE(element_sound_create(sys, 6, blip, sound_options_parse("4096/2/50/1")));
  sound_rate_set(sys, element_handle(6), 0);
  EXPECT_EQ(sound.rate[6], 0);
  play_sound(sys, element_handle(6));
  level(audio::kLoopbackRate / 2);
  EXPECT_EQ(sound_status(sys, element_handle(6)), -1);
  sound_rate_set(sys, element_handle(6), 4096);
  level(audio::kLoopbackRate / 10);
  EXPECT_EQ(sound_status(sys, element_handle(6)), 0);
}

TEST_F(SoundKeywords, FiveHundredSlotsAndNoMore) {
  for (int32_t k = 0; k < kSoundSlots; ++k) ASSERT_EQ(esound_load(sys, literal(blip)), k);
  EXPECT_EQ(esound_load(sys, literal(blip)), -1);
  esound_unload(sys, 7);
  EXPECT_EQ(esound_load(sys, literal(blip)), 7);
  EXPECT_EQ(esound_load(sys, literal(blip)), -1);
}

TEST_F(SoundKeywords, EsoundLoadRefusesWhatIsNoSound) {
  EXPECT_EQ(esound_load(sys, literal((dir / "missing.wav").string())), -1);
  EXPECT_EQ(esound_load(sys, literal(test::write_file(dir / "x.wav", "RIFFxxxxWAVEfmt "))), -1);
  EXPECT_EQ(esound_load(sys, literal(blip)), 0);  // the failures took no slot
}

TEST_F(SoundKeywords, SlotKeywordsDoNothingForEmptyOrUnknownSlots) {
  for (int32_t slot : {-1, 0, 499, 500, 100000}) {
    esound_play(sys, slot, 1);
    EXPECT_EQ(esound_state(sys, slot), 0);
    esound_volume_set(sys, slot, 0);
    esound_frequency_set(sys, slot, 100);
    esound_minmaxdist_set(sys, slot, 1, 2);
    esound_location_set(sys, slot, 1, 2, 3);
    esound_stop(sys, slot);
    esound_unload(sys, slot);
  }
  EXPECT_LT(level(1024), 2.0);
}

TEST_F(SoundKeywords, EsoundVolumeFromFullToMinusOneHundredDecibels) {
  listen_from_origin();
  const int32_t s = esound_load(sys, literal(tone));
  ASSERT_EQ(s, 0);
  esound_location_set(sys, s, 0, 0, 512000);  // one unit ahead: the minimum distance
  esound_play(sys, s, 1);
  esound_volume_set(sys, s, 10000);
  EXPECT_DOUBLE_EQ(sound.slot[0].gain, 1.0);
  level(2048);
  const double full = level(4096);
  esound_volume_set(sys, s, 0);
  EXPECT_NEAR(sound.slot[0].gain, 1e-5, 1e-12);
  level(2048);
  const double silent = level(4096);
  EXPECT_GT(full, 1000.0);
  EXPECT_LT(silent, 2.0);
  EXPECT_EQ(esound_state(sys, s), -1);
  esound_stop(sys, s);
  EXPECT_EQ(esound_state(sys, s), 0);
}

TEST_F(SoundKeywords, EsoundIsMutedBeyondItsMaximumDistance) {
  listen_from_origin();
  const int32_t s = esound_load(sys, literal(tone));
  esound_minmaxdist_set(sys, s, 100, 1000);  // 1 to 10 units
  esound_play(sys, s, 1);
  esound_location_set(sys, s, 5 * 512000, 0, 0);
  level(2048);
  EXPECT_GT(level(4096), 100.0);
  esound_location_set(sys, s, 20 * 512000, 0, 0);
  level(2048);
  EXPECT_LT(level(4096), 2.0);
  EXPECT_EQ(esound_state(sys, s), -1);  // muted, still playing
}

TEST_F(SoundKeywords, StopAndRestartTheSoundSystem) {
  activate(0);
  activate(1);
  ASSERT_TRUE(element_sound_create(sys, 0, tone, {}));
  ASSERT_TRUE(element_sound_create(sys, 1, tone, {}));
  element_sounds_start(sys);
  stop_sound(sys, element_handle(1));
  ASSERT_EQ(esound_load(sys, literal(blip)), 0);

  stop_sound_system(sys);
  EXPECT_FALSE(sound_available(sys));
  EXPECT_FALSE(element_has_sound(sys, 0));
  EXPECT_EQ(core->pool(Pool::SoundFlags)[0], 1);
  EXPECT_EQ(core->pool(Pool::SoundFlags)[1], 0);
  EXPECT_EQ(esound_load(sys, literal(blip)), 0);  // no sound: every keyword gives 0

  restart_sound_system(sys);
  ASSERT_TRUE(sound_available(sys));
  EXPECT_EQ(sound_status(sys, element_handle(0)), -1);  // it was playing
  EXPECT_EQ(sound_status(sys, element_handle(1)), 0);
  EXPECT_TRUE(element_has_sound(sys, 1));
  EXPECT_EQ(esound_state(sys, 0), 0);  // free slots are gone
  EXPECT_EQ(esound_load(sys, literal(blip)), 0);
}

TEST_F(SoundKeywords, HearerIgnoresSceneFrameHandles) {
  hearer(sys, element_handle(4));
  EXPECT_EQ(sound.hearer, 4);
  hearer(sys, static_cast<int32_t>(0x80000010u));
  EXPECT_EQ(sound.hearer, 4);
  hearer(sys, 12345);
  EXPECT_EQ(sound.hearer, 4);
}

TEST_F(SoundKeywords, PrimaryVolumeIsSwappedAndSilences) {
  const int32_t s = esound_load(sys, literal(tone));
  listen_from_origin();
  esound_location_set(sys, s, 0, 0, 512000);
  esound_play(sys, s, 1);
  EXPECT_EQ(sound_swap_primary_volume(sys, kSilentVolume), 0);
  level(2048);
  EXPECT_LT(level(4096), 2.0);
  EXPECT_EQ(sound_swap_primary_volume(sys, 0), kSilentVolume);
  level(2048);
  EXPECT_GT(level(4096), 1000.0);
}

TEST(SoundOff, NothingHappensWithoutSound) {
  std::unique_ptr<Core> core = core_create();
  Sound sound;
  sound.how = audio::Open::Loopback;
  System sys;
  sys.core = core.get();
  // No sound object: every keyword is a no-op returning 0.
  EXPECT_EQ(esound_load_path(sys, "/nonexistent.wav"), 0);
  EXPECT_EQ(sound_status(sys, element_handle(0)), 0);
  play_sound(sys, element_handle(0));
  restart_sound_system(sys);
  // Sound switched off in the settings: no device is opened.
  sys.sound = &sound;
  core->settings.sound = 0;
  EXPECT_FALSE(sound_start(sys));
  restart_sound_system(sys);
  EXPECT_FALSE(sound_available(sys));
  EXPECT_EQ(esound_load_path(sys, "/nonexistent.wav"), 0);
}

}  // namespace
}  // namespace korva
