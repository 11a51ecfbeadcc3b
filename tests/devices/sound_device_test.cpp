// The audio device on a loopback device: what a listener hears, read back from the mix.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "devices/sound_wave.h"
#include "platform/audio/audio.h"
#include "sound_test_waves.h"

namespace korva {
namespace {

// The mix is dithered: silence is a sample value of at most one or so, on average below this
// (the tone played is at 16000).
constexpr double kSilence = 2.0;

struct Levels {
  double left = 0, right = 0;
};

Levels levels(const std::vector<int16_t>& mix) {
  Levels l;
  for (size_t i = 0; i + 1 < mix.size(); i += 2) {
    l.left += std::abs(mix[i]);
    l.right += std::abs(mix[i + 1]);
  }
  return l;
}

class SoundDevice : public ::testing::Test {
 protected:
  audio::DevicePtr device = audio::open(audio::Open::Loopback);
  audio::Buffer buffer = 0;

  void SetUp() override {
    ASSERT_TRUE(device) << "OpenAL Soft offers no loopback device";
    const WaveResult w = wave_parse(test::bytes_of(test::tone16(22050, 0.25)));
    ASSERT_TRUE(w.ok);
    buffer = audio::buffer_create(*device, w.wave.samples, 16, 22050);
    ASSERT_NE(buffer, 0u);
  }
  void TearDown() override {
    if (device) audio::buffer_release(*device, buffer);
  }
  std::vector<int16_t> mix(int32_t frames) {
    std::vector<int16_t> out;
    audio::render(*device, frames, &out);
    return out;
  }
};

TEST_F(SoundDevice, IsALoopbackDevice) { EXPECT_TRUE(audio::is_loopback(*device)); }

TEST_F(SoundDevice, ASourceIsLouderOnTheSideOfTheListenerItIsOn) {
  struct Case {
    const char* what;
    double source_x, source_z;
    double look_z;  // the listener looks along +z or -z
    bool right_louder;
  };
  const Case cases[] = {
      {"right of a listener looking ahead", 3, 0, 1, true},
      {"left of a listener looking ahead", -3, 0, 1, false},
      {"right of a listener looking back", -3, 0, -1, true},
      {"ahead and to the right", 2, 5, 1, true},
  };
  for (const Case& c : cases) {
    audio::Source s = audio::source_create(*device, buffer);
    ASSERT_NE(s, 0u);
    const double at[3] = {0, 0, c.look_z}, up[3] = {0, 1, 0};
    audio::listener_position(*device, 0, 0, 0);
    audio::listener_orientation(*device, at, up);
    audio::source_distances(*device, s, 1, 1000);
    audio::source_position(*device, s, c.source_x, 0, c.source_z);
    audio::source_play(*device, s, true);
    const Levels l = levels(mix(4410));
    const double louder = c.right_louder ? l.right : l.left, softer = c.right_louder ? l.left : l.right;
    EXPECT_GT(louder, 1.5 * softer) << c.what;
    EXPECT_GT(louder, 0) << c.what;
    audio::source_release(*device, s);
  }
}

TEST_F(SoundDevice, FartherSourcesAreSofterPastTheReferenceDistance) {
  audio::Source s = audio::source_create(*device, buffer);
  audio::source_distances(*device, s, 1, 1000);
  audio::source_play(*device, s, true);
  audio::source_position(*device, s, 0, 0, 1);
  const Levels near = levels(mix(4410));
  audio::source_position(*device, s, 0, 0, 4);
  mix(2048);  // the gain change glides over a short ramp
  const Levels far = levels(mix(4410));
  // Inverse distance: a quarter at four times the reference distance.
  EXPECT_NEAR((far.left + far.right) / (near.left + near.right), 0.25, 0.05);
  audio::source_release(*device, s);
}

TEST_F(SoundDevice, AOneShotSourceStopsAfterOnePlay) {
  audio::Source s = audio::source_create(*device, buffer);
  audio::source_play(*device, s, false);
  EXPECT_TRUE(audio::source_playing(*device, s));
  mix(audio::kLoopbackRate / 8);  // half the sound
  EXPECT_TRUE(audio::source_playing(*device, s));
  mix(audio::kLoopbackRate / 4);
  EXPECT_FALSE(audio::source_playing(*device, s));
  const Levels after = levels(mix(2048));
  EXPECT_LT(after.left + after.right, kSilence * 2048);
  audio::source_release(*device, s);
}

TEST_F(SoundDevice, ALoopingSourceKeepsPlaying) {
  audio::Source s = audio::source_create(*device, buffer);
  audio::source_play(*device, s, true);
  mix(audio::kLoopbackRate);  // four times the sound
  EXPECT_TRUE(audio::source_playing(*device, s));
  const Levels l = levels(mix(2048));
  EXPECT_GT(l.left + l.right, 0);
  audio::source_stop(*device, s);
  EXPECT_FALSE(audio::source_playing(*device, s));
  audio::source_release(*device, s);
}

TEST_F(SoundDevice, ListenerGainSilencesEverything) {
  audio::Source s = audio::source_create(*device, buffer);
  audio::source_play(*device, s, true);
  audio::listener_gain(*device, 0.0);
  mix(2048);
  const Levels l = levels(mix(2048));
  EXPECT_LT(l.left + l.right, kSilence * 2048);
  audio::source_release(*device, s);
}

TEST_F(SoundDevice, RefusesEmptyAndOddBuffers) {
  EXPECT_EQ(audio::buffer_create(*device, {}, 16, 22050), 0u);
  const uint8_t one[1] = {0};
  EXPECT_EQ(audio::buffer_create(*device, one, 24, 22050), 0u);
  EXPECT_EQ(audio::buffer_create(*device, one, 8, 0), 0u);
}

}  // namespace
}  // namespace korva
