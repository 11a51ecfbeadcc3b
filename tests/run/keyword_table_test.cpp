// A brain that calls every keyword of the table once compiles, and the keywords left without a
// routine are exactly those of the families still to come (sound and video, collisions and
// ground maps, the network, saved games and the
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
      // video
      "play_set", "play", "play_task", "play_task_status", "stop_task", "bmp_show",
      // network sessions
      "machine_number_set", "machine_number", "machine_status", "network_mismatch", "network_mode",
      "machine_element_find", "machine_element", "host", "str_send", "str_poll",
      // saved games, the file browser
      "save", "save_x", "resume", "resume_x", "file_box",
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
