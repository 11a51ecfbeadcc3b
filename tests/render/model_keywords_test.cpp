// The model animation keywords on the asset record of an element's current .x model, bad
// handles and other kinds, the wrap rules of the per-frame advance, and the advance itself in
// the scene synchronisation (only for active, shown models with a set and a speed).
#include "render/model_keywords.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "brain/keyword_binding.h"
#include "core/core.h"
#include "engine/math_tables.h"
#include "model/model.h"
#include "render/overlay.h"
#include "render/scene.h"

using namespace korva;
namespace rec = korva::render::scene_record;

namespace {

struct ModelKeywords : ::testing::Test {
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<Model> model = model_create();
  render::Scene scene;
  System sys;

  void SetUp() override {
    fill_math_tables(*core);
    sys.core = core.get();
    sys.model = model.get();
    sys.scene = &scene;
  }

  // Slot's asset record names a new loaded asset of kind, as a scene loader writes it.
  void asset(int32_t slot, const char* tag, render::ElementKind kind) {
    scene.assets.push_back(render::SceneAsset{});
    scene.assets.back().kind = kind;
    uint8_t* r = asset_record(sys, slot);
    std::memset(r, 0, asset::kRecordBytes);
    std::memcpy(r, tag, 4);
    ir_set(r, rec::kIndex, int32_t(scene.assets.size()) - 1);
    ir_set(r, rec::kMark, int32_t(rec::kSceneMark));
    ir_set(r, rec::kAnimationSet, -1);
  }
  // Element i shows the asset of slot (count aspects from there).
  void element(int32_t i, int32_t slot, int32_t count = 1) {
    model->last_index = std::max(model->last_index, i);
    uint8_t* r = core->pool(Pool::Instances) + i * kInstanceRecordBytes;
    ir_set(r, ir::kFirstAspect, slot);
    ir_set(r, ir::kCurrentAspect, slot);
    ir_set(r, ir::kAspectCount, count);
  }
};

int32_t h(int32_t i) { return element_handle(i); }

TEST_F(ModelKeywords, KeywordsReadAndWriteTheFieldsOfTheCurrentModelRecord) {
  asset(5, "d3x.", render::ElementKind::Model);
  element(1, 5);
  element(2, 5);  // shares the model's slot, so it shares its animation
  h_animation_speed_set(sys, h(1), 250);
  h_animation_tick_set(sys, h(1), -40);
  h_animation_range_set(sys, h(1), 100, 900);
  const uint8_t* r = asset_record(sys, 5);
  EXPECT_EQ(ir_get(r, rec::kSpeed), 250);
  EXPECT_EQ(ir_get(r, rec::kTick), -40);
  EXPECT_EQ(ir_get(r, rec::kRangeStart), 100);
  EXPECT_EQ(ir_get(r, rec::kRangeEnd), 900);
  EXPECT_EQ(ir_get(r, rec::kAnimationSet), -1);  // the set is not the brains' to change
  EXPECT_EQ(h_animation_speed(sys, h(2)), 250);
  EXPECT_EQ(h_animation_tick(sys, h(2)), -40);
  EXPECT_EQ(h_animation_range_start(sys, h(2)), 100);
  EXPECT_EQ(h_animation_range_end(sys, h(2)), 900);
}

// The current aspect decides: an element whose second aspect is a model reads it only while
// that aspect is shown.
TEST_F(ModelKeywords, TheCurrentAspectIsTheRecordUsed) {
  asset(7, "d3v.", render::ElementKind::Visual);
  asset(8, "d3x.", render::ElementKind::Model);
  ir_set(asset_record(sys, 8), rec::kTick, 1234);
  element(3, 7, 2);
  EXPECT_EQ(h_animation_tick(sys, h(3)), 0);
  ir_set(core->pool(Pool::Instances) + 3 * kInstanceRecordBytes, ir::kCurrentAspect, 8);
  EXPECT_EQ(h_animation_tick(sys, h(3)), 1234);
}

TEST_F(ModelKeywords, BadHandlesOtherKindsAndNoSceneDoNothing) {
  asset(5, "d3x.", render::ElementKind::Model);
  asset(6, "d3v.", render::ElementKind::Visual);
  element(1, 5);
  element(2, 6);
  element(3, 5, 0);  // no aspect: its aspect words are not its own
  ir_set(asset_record(sys, 9), 0, int32_t(tag_word("d3x.")));  // a model tag no loader wrote
  element(4, 9);
  for (int32_t off : {rec::kSpeed, rec::kTick, rec::kRangeStart, rec::kRangeEnd})
    ir_set(asset_record(sys, 5), off, 77);
  model->last_index = 4;
  const std::vector<uint8_t> before(asset_record(sys, 0), asset_record(sys, 0) + 16 * asset::kRecordBytes);

  const std::vector<std::function<int32_t(int32_t)>> calls = {
      [&](int32_t e) { return h_animation_speed(sys, e); },
      [&](int32_t e) { return h_animation_tick(sys, e); },
      [&](int32_t e) { return h_animation_range_start(sys, e); },
      [&](int32_t e) { return h_animation_range_end(sys, e); },
      [&](int32_t e) { return h_animation_speed_set(sys, e, 5), h_animation_tick_set(sys, e, 5),
                       h_animation_range_set(sys, e, 5, 6), 0; },
  };
  const int32_t bad[] = {0, -1, 4, h(1) + 4, h(1) - 512, h(2), h(3), h(4), h(5), h(255), h(256),
                         int32_t(0x80000000u), int32_t(0x80000000u) | h(1), INT_MIN + 1, INT_MAX};
  for (size_t k = 0; k < calls.size(); ++k)
    for (int32_t e : bad) EXPECT_EQ(calls[k](e), 0) << "call " << k << " handle " << e;
  sys.scene = nullptr;
  for (size_t k = 0; k < calls.size(); ++k) EXPECT_EQ(calls[k](h(1)), 0) << "call " << k << " without a scene";
  EXPECT_EQ(std::memcmp(before.data(), asset_record(sys, 0), before.size()), 0);
}

TEST(ModelAnimationAdvance, TheTickWrapsIntoTheRange) {
  // Range 0..999 at speed 100: 0, 100, ..., 900, then 0 again.
  int32_t t = 0;
  for (int32_t k = 1; k <= 10; ++k) {
    t = render::animation_tick_advance(t, 100, 0, 999);
    EXPECT_EQ(t, k == 10 ? 0 : 100 * k);
  }
  struct Case {
    int32_t tick, speed, lo, hi, want;
  };
  const Case cases[] = {
      {5000, 100, 7, 7, 5100},              // equal ends: no wrapping at all
      {INT_MAX, 1, 0, 0, INT_MIN},          // ... growing on as 32-bit words do
      {50, 10, 100, 20, 20},                // start above end pins the tick at the end
      {-7, 3, 900, -5, -5},
      {950, 60, 0, 999, 10},                // above the end: counted on from the start
      {990, 3000, 0, 999, 990},             // several turns at once
      {0, -10, 0, 99, 90},                  // below the start: counted back from the end
      {100, -250, 100, 199, 150},
      {120, -20, 100, 199, 100},            // exactly at the start stays
      {120, -120, 100, 199, 100},           // a whole turn below the start lands on the start
      {150, -350, 100, 199, 100},
      {199, 0, 100, 199, 199},              // inside stays
      {INT_MIN + 5, -10, -100, 100, -55},   // no overflow in the arithmetic
  };
  for (const Case& c : cases)
    EXPECT_EQ(render::animation_tick_advance(c.tick, c.speed, c.lo, c.hi), c.want)
        << c.tick << " + " << c.speed << " in " << c.lo << ".." << c.hi;
}

// The synchronisation plays the set at tick/1000 and advances the tick, only for an active,
// shown model with an animation set and a speed; speed 0 does not even set the time.
TEST(ModelAnimationAdvance, OnlyPlayingModelsAdvanceInTheSynchronisation) {
  auto core = core_create();
  fill_math_tables(*core);
  render::Scene scene;
  std::vector<render::ElementSetup> setups(5);
  std::vector<std::shared_ptr<rm::AnimationSet>> sets;
  for (auto& e : setups) {
    e.kind = render::ElementKind::Model;
    e.model = std::make_shared<render::XModel>();
    e.model->frame = rm::frame_create(nullptr);
    sets.push_back(std::make_shared<rm::AnimationSet>());
    sets.back()->length = 10.0f;
    e.model->animation_sets.push_back(sets.back());
  }
  render::scene_build(scene, render::SceneSettings{}, setups, nullptr);
  std::vector<render::ElementState> states(5);
  for (auto& st : states) {
    st.active = st.shown = true;
    st.animation_set = 0;
    st.speed = 100;
    st.tick = 300;
    st.range_end = 999;
  }
  for (auto& set : sets) set->time = -1.0f;
  states[1].speed = 0;
  states[2].shown = false;
  states[3].active = false;
  states[4].animation_set = -1;
  render::scene_sync(scene, *core, states);
  EXPECT_FLOAT_EQ(sets[0]->time, 0.3f);
  EXPECT_EQ(states[0].tick, 400);
  for (int k = 1; k < 5; ++k) {
    EXPECT_EQ(sets[size_t(k)]->time, -1.0f) << k;
    EXPECT_EQ(states[size_t(k)].tick, 300) << k;
  }
  states[0].animation_set = 1;  // past the model's sets: nothing played
  render::scene_sync(scene, *core, states);
  EXPECT_EQ(states[0].tick, 400);
  render::scene_release(scene);
}

TEST(ModelBinding, EveryAnimationKeywordIsBound) {
  KeywordBindings b;
  bind_model_keywords(b);
  for (const char* name : {"h_animation_speed", "h_animation_speed_set", "h_animation_tick", "h_animation_tick_set",
                           "h_animation_range_set", "h_animation_range_start", "h_animation_range_end"}) {
    KeywordBindings probe;
    ASSERT_TRUE(bind_keyword(probe, name, [](System&, Registers&) {})) << name;
    for (int32_t k = 0; k < kKeywordRows; ++k)
      if (probe.routine[k]) {
        EXPECT_TRUE(b.routine[k]) << name;
      }
  }
}

}  // namespace
