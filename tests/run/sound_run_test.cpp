// Sound in real runs on a loopback device: element sounds start with the run, follow their
// elements and the hearer every rendered frame, play once or loop, and are released at the end;
// brains reach the sound keywords.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../devices/sound_test_waves.h"
#include "devices/sound.h"
#include "run/sound_steps.h"
#include "run_fixture.h"

namespace korva {
namespace {

struct SoundRun : test::RunSystem {
  Sound sound;
  std::string tone, blip;

  SoundRun() : RunSystem("sound_run") {
    sound.how = audio::Open::Loopback;
    s.sound = &sound;
    bind_sound_keywords(machine->keywords);
    add_sound_steps(pipeline);
    tone = write("tone.wav", test::tone16(22050, 0.25));
    blip = write("blip.wav", test::tone16(22050, 0.2));  // six frames at 30 per second
  }
  ~SoundRun() { sound_shutdown(s); }

  // An active element at (x, x, 0) in scene units with a sound, its options and a brain.
  void add(const std::string& sound_file, const std::string& options, const std::string& brain_text,
           const std::string& x = "0") {
    const int32_t i = ++model->last_index;
    const std::string brain = write("e" + std::to_string(i) + ".brn", brain_text);
    str_set(element_record(*core, i),
            "E" + std::to_string(i) + "|./cameras/none.03d|" + sound_file + "|" + brain + "|" + x + "|" + x +
                "|0|0|0|0|0.000|0|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|"
                "1|0|1|0|0|0|0/0/639/479/0/20&40/7|0/1|" + options + "|0");
  }
};

TEST(SoundRuns, ElementSoundsLoopFollowTheirElementsAndAreReleased) {
  SoundRun r;
  r.add("./sounds/null_.wav", "4096/2/50/0", "", "1");  // the hearer, one unit to the right
  r.add(r.tone, "4096/2/50/0", "", "2.5");
  // Element 1 moves one unit along x every brain pass.
  run_step_add(r.pipeline, Phase::AfterBrains, "move", [&](System& s) {
    uint8_t* e = s.core->pool(Pool::Instances) + kInstanceRecordBytes;
    ir_set(e, ir::kPosX, ir_get(e, ir::kPosX) + 512000);
  });
  std::vector<int32_t> status;
  std::vector<double> x;
  std::vector<double> listener_x;
  run_step_add(r.pipeline, Phase::AfterBrains, "watch", [&](System& s) {
    status.push_back(sound_status(s, element_handle(1)));
    x.push_back(r.sound.element[1].position[0]);
    listener_x.push_back(r.sound.listener[0]);
  });
  r.pipeline.max_frames = 20;
  run_project(r.s);

  ASSERT_EQ(status.size(), 4u + 20u);
  for (int32_t st : status) EXPECT_EQ(st, -1);  // looping all the time, far longer than the tone
  // Parked far away until the first rendered frame, then where the element was at that frame.
  EXPECT_EQ(r.sound.element[1].used(), false);  // released by run end
  EXPECT_EQ(r.core->pool(Pool::SoundFlags)[1], 1);
  EXPECT_EQ(x[0], 0.0);
  const double last = x.back();
  EXPECT_NEAR(last, r.word(1, ir::kPosX) / kPositionUnits - 1.0, 1e-9);  // one frame behind
  EXPECT_NEAR(last, 2.5 + 23.0, 1e-9);
  EXPECT_EQ(listener_x[0], 0.0);
  EXPECT_EQ(listener_x.back(), 1.0);
}

TEST(SoundRuns, BrainsPlayOneShotsAndFreeSounds) {
  SoundRun r;
  r.add("./sounds/null_.wav", "4096/2/50/0", "");
  // Variables: n at 1020, slot at 1016, status at 1012, state at 1008.
  r.add(r.blip, "4096/2/50/1",
        "var n=0\r\nvar slot=-2\r\nvar st=0\r\nvar es=0\r\nn=n+1\r\n"
        "if n=6\r\nplay_sound(element)\r\nslot=esound_load(\"" + r.tone + "\")\r\nesound_play(slot, 0)\r\nendif\r\n"
        "st=sound_status(element)\r\nes=esound_state(slot)\r\n");
  std::vector<int32_t> status, state;
  run_step_add(r.pipeline, Phase::AfterBrains, "watch", [&](System&) {
    status.push_back(r.word(1, ir::kFirstVariable - 8));
    state.push_back(r.word(1, ir::kFirstVariable - 12));
  });
  r.pipeline.max_frames = 30;
  run_project(r.s);

  EXPECT_EQ(r.word(1, ir::kFirstVariable - 4), 0);  // the first slot
  ASSERT_EQ(status.size(), 34u);
  // Silent until played (one-shot sounds do not start with the run), then playing for its
  // 0.2 s, then over.
  for (size_t k = 0; k < 5; ++k) EXPECT_EQ(status[k], 0) << k;
  EXPECT_EQ(status[5], -1);
  EXPECT_EQ(status[8], -1);
  EXPECT_EQ(status.back(), 0);
  EXPECT_EQ(state[5], -1);
  EXPECT_EQ(state.back(), 0);
  EXPECT_TRUE(r.pipeline.unbound.empty());
}

TEST(SoundRuns, TheListenerHearsWithTheHearersOrientation) {
  struct Case {
    int32_t hearer_turn;  // about y, 1/512 degree
    bool right_louder;
  };
  for (const Case c : {Case{0, true}, Case{180 * 512, false}}) {
    SoundRun r;
    r.add("./sounds/null_.wav", "4096/2/50/0", "");
    r.add(r.tone, "4096/10/50/0", "", "3");  // three units right (and up) of the hearer
    double left = 0, right = 0;
    run_step_add(r.pipeline, Phase::AfterBrains, "turn and listen", [&](System& s) {
      ir_set(s.core->pool(Pool::Instances), ir::kRotY, c.hearer_turn);
      if (r.run.tics != 4 + 10) return;
      std::vector<int16_t> mix;
      audio::render(*r.sound.device, 4096, &mix);
      for (size_t k = 0; k + 1 < mix.size(); k += 2) {
        left += std::abs(mix[k]);
        right += std::abs(mix[k + 1]);
      }
    });
    r.pipeline.max_frames = 12;
    run_project(r.s);
    ASSERT_GT(left + right, 0) << c.hearer_turn;
    if (c.right_louder)
      EXPECT_GT(right, 1.5 * left);
    else
      EXPECT_GT(left, 1.5 * right);
  }
}

}  // namespace
}  // namespace korva
