// A brain that calls every keyword of the table once compiles, and the keywords left without a
// routine are exactly those of the families still to come (sound and video, collisions and
// ground maps, models, meshes and shadows, the network and the
// file browser). The test prints the list, so it doubles as the answer to "what is missing".
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "brain/brain.h"
#include "brain/keyword_binding.h"
#include "brain/machine.h"
#include "core/core.h"
#include "model/model.h"
#include "model/run_state.h"
#include "run/keyword_table.h"

namespace korva {
namespace {

// The keywords whose families arrive with their own subsystems.
const std::set<std::string>& later_families() {
  static const std::set<std::string> names = {
      // meshes and materials, shadows
      "h_poly_collision", "h_cpoint_x", "h_cpoint_y", "h_cpoint_z", "h_cnormal_x", "h_cnormal_y", "h_cnormal_z", "h_part_set",
      "h_cpart1_set", "h_cpart2_set", "vertex_uv_add", "vertex_uv_set", "env_map_update", "make_flat",
      "normals_optimize", "rendering_optimize", "state_change_optimize", "vertices", "vertex_u", "vertex_v",
      "vertex_pos_set", "vertex_posw_set", "vertex_pos_add", "vertex_pos", "h_sort_mode_set", "material_set",
      "material_apply", "vertices_get", "vertices_set", "normals", "normals_get", "normals_set", "a_interpolate",
      "a_copy", "zbuffer_mode_set", "v_shadow_create", "v_shadow_factor", "v_shadow_delete", "v_shadow_set",
      "v_shadow_volume_add", "v_shadow_volume_reset", "v_shadow_update", "shadow_add", "shadow_location_set",
      "shadow_orientation_set",
  };
  return names;
}

TEST(KeywordTable, EveryRowIsBoundButThoseOfTheFamiliesStillToCome) {
  KeywordBindings b;
  bind_all_keywords(b);
  std::vector<std::string> unbound, missing_later;
  for (int32_t row = 0; row < kKeywordRows; ++row) {
    const std::string name = keyword_row(row).name;
    if (b.routine[row]) continue;
    if (!later_families().count(name)) missing_later.push_back(name);
    unbound.push_back(name);
  }
  std::string list;
  for (const auto& n : unbound) list += " " + n;
  std::printf("keywords without a routine yet (%zu):%s\n", unbound.size(), list.c_str());
  // A brain calling every row compiles, and the machine finds the same rows without a routine.
  auto core = core_create();
  auto model = model_create();
  auto brain = brain_create();
  auto machine = machine_create();
  RunState run;
  System s;
  s.core = core.get();
  s.model = model.get();
  s.brain = brain.get();
  s.machine = machine.get();
  s.run = &run;
  machine_attach(s);
  bind_all_keywords(machine->keywords);
  std::string text = "var x\r\n";
  for (int32_t row = 0; row < kKeywordRows; ++row) {
    const KeywordRow& k = keyword_row(row);
    std::string call = std::string(k.name) + "(";
    for (int32_t p = 0; p < k.params; ++p) call += p ? ",0" : "0";
    text += (k.returns ? "x = " : "") + call + ")\r\n";
  }
  ASSERT_TRUE(compile_brain_text(*core, *brain, text, Pass::Normal)) << brain->compile_error;
  machine_predecode_from(s, {code_address(brain->brain_start)});
  std::vector<std::string> called = machine_unbound_keywords(*machine);
  std::vector<std::string> expected;
  for (const auto& n : unbound) {  // synonyms share one entry: the machine names the first row
    const int32_t row = keyword_find(n);
    if (keyword_routine_row(row) == row) expected.push_back(n);
  }
  std::sort(called.begin(), called.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(called, expected);

  std::string wrong;
  for (const auto& n : missing_later) wrong += " " + n;
  EXPECT_TRUE(missing_later.empty()) << "unbound, and no later family owns them:" << wrong;
  for (const auto& n : later_families()) EXPECT_GE(keyword_find(n), 0) << n << " is no keyword";
}

}  // namespace
}  // namespace korva
