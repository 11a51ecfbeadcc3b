// Runs the keyword brain fixtures tests/runtime/brains/<family>/<case>.brn with every keyword
// family bound and the math tables filled. A fixture's comments say what it expects:
//   ; expect: x=6   after the brain steps, variable x holds 6
//   ; run: N        run N brain steps (one without it)
// Any message of the run (a brain fault, a keyword not bound) fails the fixture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "brain/brain_run.h"
#include "brain_expectations.h"
#include "engine/engine.h"
#include "runtime/memory_blocks.h"
#include "runtime/runtime.h"

namespace korva {
namespace {

#define KORVA_FIXTURES KORVA_SOURCE_DIR "/tests/runtime/brains"

std::vector<std::string> fixture_files() {
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(KORVA_FIXTURES))
    if (e.is_regular_file() && e.path().extension() == ".brn")
      files.push_back(std::filesystem::relative(e.path(), KORVA_FIXTURES).string());
  std::sort(files.begin(), files.end());
  return files;
}

std::string trim(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\t')) s.pop_back();
  const size_t a = s.find_first_not_of(" \t");
  return a == std::string::npos ? std::string() : s.substr(a);
}

void bind_all_families(KeywordBindings& b) {
  bind_motion_keywords(b);
  bind_runtime_keywords(b);
}

class KeywordBrain : public ::testing::TestWithParam<std::string> {};

TEST_P(KeywordBrain, EndsWithTheExpectedValues) {
  const std::string path = KORVA_FIXTURES "/" + GetParam();
  std::ifstream f(path, std::ios::binary);
  std::vector<std::pair<std::string, std::string>> expect;
  int32_t steps = 1;
  std::string line;
  while (std::getline(f, line)) {
    const size_t semi = line.rfind(';');
    if (semi == std::string::npos) continue;
    const std::string comment = trim(line.substr(semi + 1));
    if (comment.rfind("expect:", 0) == 0) {
      const std::string v = trim(comment.substr(7));
      const size_t eq = v.find('=');
      expect.emplace_back(trim(v.substr(0, eq)), eq == std::string::npos ? "" : trim(v.substr(eq + 1)));
    } else if (comment.rfind("run:", 0) == 0) {
      steps = std::atoi(comment.substr(4).c_str());
    }
  }
  ASSERT_FALSE(expect.empty()) << "the fixture expects nothing";

  std::vector<std::string> shown;
  auto blocks = std::make_unique<Blocks>();
  const BrainRunResult r = run_brain_file(path, steps, bind_all_families, [&](System& sys) {
    Core& core = *sys.core;
    sys.blocks = blocks.get();
    fill_math_tables(core);
    core.ui.message_box = [&](std::string_view t, std::string_view, std::string_view) {
      shown.emplace_back(t);
      return 1;
    };
  });
  ASSERT_TRUE(r.compiled) << r.compile_error;
  EXPECT_TRUE(shown.empty()) << shown.front();
  expect_variables(r, expect);
}

INSTANTIATE_TEST_SUITE_P(Keywords, KeywordBrain, ::testing::ValuesIn(fixture_files()),
                         fixture_test_name);

}  // namespace
}  // namespace korva
