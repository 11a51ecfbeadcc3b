// Picking in a run: a brain that uses visual_picked turns the step's picking on, and with the
// mouse over a model the element finds itself picked; moved beside it, it does not.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/frame_keywords.h"
#include "run_fixture.h"

namespace korva {
namespace {

// A triangle with corners (0, 0), (0, 1) and (1, 0) in the plane z = 0.
const char kTriangle[] =
    "xof 0303txt 0032\n"
    "Frame Body {\n"
    " Mesh tri { 3; 0.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;0.0;0.0;; 1; 3;0,1,2;; }\n"
    "}\n";

struct PickRun : test::RunSystem {
  PickRun() : RunSystem("picking_run") { add_scene_steps(pipeline); }

  // Element 0 a camera at the origin looking along +z over the whole screen, element 1 the
  // triangle with the brain given.
  void project(const std::string& model_brain) {
    const std::string x = write("tri.x", kTriangle);
    auto add = [&](const std::string& type, const std::string& asset, const std::string& text) {
      const int32_t i = ++model->last_index;
      const std::string brain = write("e" + std::to_string(i) + ".brn", text);
      str_set(element_record(*core, i),
              "E" + std::to_string(i) + "|" + asset + "|./sounds/null_.wav|" + brain +
                  "|0|0|0|0|0|0|0.000|0|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|"
                  "1|0|1|0|0|" + type + "|0/0/639/479/0/20&40/7|0/1|4096/2/50/0|0");
    };
    add("0", "./cameras/none.03d", "");
    add("11", x, model_brain);
  }
};

// The triangle stands 5 units ahead with the line of sight through (0.25, 0.25) of it. The
// mouse is in the middle of the view for the first ten steps, then in a corner beside it.
// Variables: picked at 1020, under at 1016.
TEST(PickingRun, TheElementUnderAScriptedMouseIsPickedAndNotBesideIt) {
  PickRun r;
  r.project("var picked=0\r\nvar under=0\r\n"
            "position_set(element, -128000, -128000, 2560000)\r\n"
            "picked=visual_picked(element)\r\nunder=visual_picked_get()\r\n");
  int64_t step = 0;
  run_step_add(r.pipeline, Phase::Input, "mouse", [&](System&) {
    const bool middle = step++ < 10;
    r.input.mouse_x = middle ? 320 : 3;
    r.input.mouse_y = middle ? 240 : 3;
  });
  std::vector<int32_t> picked, under;
  run_step_add(r.pipeline, Phase::AfterBrains, "watch", [&](System&) {
    picked.push_back(r.word(1, ir::kFirstVariable));
    under.push_back(r.word(1, ir::kFirstVariable - 4));
  });
  r.pipeline.max_frames = 20;
  run_project(r.s);
  EXPECT_TRUE(r.pipeline.unbound.empty());
  ASSERT_GE(picked.size(), 16u);
  // The scene places the model at a rendered frame; a few steps later the mouse picks it.
  EXPECT_EQ(picked[8], -1);
  EXPECT_EQ(under[8], element_handle(1));
  EXPECT_EQ(picked.back(), 0);
  EXPECT_EQ(under.back(), 0);
}

// Without a brain that calls visual_picked, the step does not pick.
TEST(PickingRun, WithoutVisualPickedTheStepDoesNotPick) {
  PickRun r;
  r.project("position_set(element, -128000, -128000, 2560000)\r\n");
  r.input.mouse_x = 320;
  r.input.mouse_y = 240;
  r.pipeline.max_frames = 5;
  run_project(r.s);
  EXPECT_EQ(r.brain->picking, 0);
}

}  // namespace
}  // namespace korva
