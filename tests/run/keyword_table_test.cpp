// A brain that calls every keyword of the table once compiles, and every row has a routine: the
// machine finds no keyword it cannot call. On a failure the test prints the rows left without one.
#include <gtest/gtest.h>

#include <algorithm>
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

TEST(KeywordTable, EveryRowIsBound) {
  KeywordBindings b;
  bind_all_keywords(b);
  std::vector<std::string> unbound;
  for (int32_t row = 0; row < kKeywordRows; ++row) {
    const std::string name = keyword_row(row).name;
    if (b.routine[row]) continue;
    unbound.push_back(name);
  }
  std::string list;
  for (const auto& n : unbound) list += " " + n;
  EXPECT_TRUE(unbound.empty()) << "keywords without a routine (" << unbound.size() << "):" << list;
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
}

}  // namespace
}  // namespace korva
