// Every keyword of the motion, value, element-data, globals, run-control, port and core
// families (synonyms included) is bound to a routine.
#include <gtest/gtest.h>

#include "brain/keyword_binding.h"
#include "engine/engine.h"
#include "runtime/runtime.h"

namespace korva {
namespace {

TEST(KeywordBindings, EveryFamilyKeywordIsBound) {
  KeywordBindings b;
  bind_motion_keywords(b);
  bind_runtime_keywords(b);
  const char* const names[] = {
      // motion
      "position_x", "position_y", "position_z", "position_x_set", "position_y_set",
      "position_z_set", "position_x_add", "position_y_add", "position_z_add", "position_copy",
      "rotation_x", "rotation_y", "rotation_z", "rotation_x_set", "rotation_y_set",
      "rotation_z_set", "rotation_x_add", "rotation_y_add", "rotation_z_add", "rotation_copy",
      "velocity_x", "velocity_y", "velocity_z", "velocity_x_set", "velocity_y_set",
      "velocity_z_set", "velocity_x_add", "velocity_y_add", "velocity_z_add", "velocity_copy",
      "spin_x", "spin_y", "spin_z", "spin_x_set", "spin_y_set", "spin_z_set", "spin_x_add",
      "spin_y_add", "spin_z_add", "spin_copy", "velocity_update", "spin_update", "gravity",
      "thrust", "thrust_xz", "speed_set", "velocity_set", "speed_xz_set", "velocity_set_xz",
      "drag", "drag_xz", "drag_y", "friction", "friction_xz", "friction_y", "friction_xr",
      "friction_yr", "friction_zr", "rebound_x", "rebound_y", "rebound_z", "boing_x", "boing_y",
      "boing_z", "follow", "speed_xz_limit", "velocity", "speed", "velocity_xz", "speed_xz",
      "speed_lz", "push", "pop", "max_framerate", "max_framerate_set",
      // values
      "sum", "subtract", "multiply", "divide", "abs", "absolute_value", "factor_512", "limit",
      "between", "wrap", "random", "sin_512", "cos_512", "tan_512", "atan_512", "sqrt_512",
      "every_tics", "oscillate",
      // element data
      "score", "credits", "score_set", "credits_set", "score_add", "credits_add", "element_id",
      "element_id_set", "timer", "timer_set", "state", "state_set", "state_reset", "signal",
      "signal_set", "signal_reset", "on", "off", "pocket", "pocket_set", "pocket_add", "register",
      "register_set", "status", "element_index", "first_element", "last_element",
      // globals and run control
      "global", "global_set", "global_add", "globals_save", "globals_load", "globals_sort",
      "display_mode", "display_mode_set", "sound_set", "sound_mixing_set", "par_count",
      "par_get", "exit", "any_input", "input_process", "pause", "debug",
      // ports
      "input_b", "input_w", "input_d", "output_b", "output_w", "output_d",
      // core
      "local", "local_set", "run", "reset", "run_task", "exemode", "year", "month", "day",
      "hour", "minute", "second", "disable", "enable"};
  for (const char* name : names) {
    const int32_t row = keyword_find(name);
    ASSERT_GE(row, 0) << name;
    EXPECT_NE(b.routine[row], nullptr) << name;
  }
}

}  // namespace
}  // namespace korva
