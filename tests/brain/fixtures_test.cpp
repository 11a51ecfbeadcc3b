// Runs every brain fixture of tests/brains/<family>/<case>.brn. A fixture's comments say what
// it expects:
//   ; expect error: TEXT   the brain fails with exactly this CompileError
//   ; expect hex: BYTES    on a line with code: the bytes that line compiles to;
//                          on a comment-only line: the code of the whole brain
//   ; pass: editor         compile in the editor pass
//   ; expect: x=6          after the brain steps, variable x holds 6 (one brain step unless
//   ; run: N               says N steps; see brain_run.h)
// A fixture without "expect error" must compile.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "brain/brain_run.h"
#include "brain_expectations.h"
#include "brain_test_util.h"

namespace korva::test {
namespace {

std::vector<std::string> fixture_files() {
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(KORVA_SOURCE_DIR "/tests/brains"))
    if (e.is_regular_file() && e.path().extension() == ".brn")
      files.push_back(std::filesystem::relative(e.path(), KORVA_SOURCE_DIR "/tests/brains").string());
  std::sort(files.begin(), files.end());
  return files;
}

std::string trim(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\t')) s.pop_back();
  size_t a = s.find_first_not_of(" \t");
  return a == std::string::npos ? std::string() : s.substr(a);
}

struct Expectations {
  bool editor = false;
  bool has_error = false;
  std::string error;
  std::string brain_hex;                          // whole brain, when given
  std::vector<std::pair<int32_t, std::string>> line_hex;  // line number, bytes
  std::vector<std::pair<std::string, std::string>> values;  // variable, value after the run
  int32_t steps = 1;
};

Expectations read_expectations(const std::string& text) {
  Expectations x;
  std::istringstream in(text);
  std::string line;
  for (int32_t n = 1; std::getline(in, line); ++n) {
    // The directive is the last "; expect" or "; pass:" of the line (a semicolon inside a
    // string literal also starts a comment).
    size_t semi = line.rfind("; expect");
    if (semi == std::string::npos) semi = line.rfind("; pass:");
    if (semi == std::string::npos) semi = line.rfind("; run:");
    if (semi == std::string::npos) continue;
    std::string code = trim(line.substr(0, line.find(';')));
    std::string comment = trim(line.substr(semi + 1));
    auto directive = [&](std::string_view key, std::string& value) {
      if (comment.compare(0, key.size(), key) != 0) return false;
      value = trim(comment.substr(key.size()));
      return true;
    };
    std::string value;
    if (directive("expect error:", value)) {
      x.has_error = true;
      x.error = value;
    } else if (directive("expect hex:", value)) {
      if (code.empty())
        x.brain_hex = value;
      else
        x.line_hex.emplace_back(n, value);
    } else if (directive("pass:", value)) {
      x.editor = value == "editor";
    } else if (directive("expect:", value)) {
      size_t eq = value.find('=');
      x.values.emplace_back(trim(value.substr(0, eq)), eq == std::string::npos ? "" : trim(value.substr(eq + 1)));
    } else if (directive("run:", value)) {
      x.steps = std::atoi(value.c_str());
    }
  }
  return x;
}

class BrainFixture : public ::testing::TestWithParam<std::string> {};

TEST_P(BrainFixture, CompilesAsItsCommentsSay) {
  std::ifstream f(KORVA_SOURCE_DIR "/tests/brains/" + GetParam(), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  Expectations x = read_expectations(text);
  ASSERT_TRUE(x.has_error || !x.brain_hex.empty() || !x.line_hex.empty() || !x.values.empty())
      << "the fixture expects nothing";

  BrainSystem s;
  bool ok = s.compile(text, x.editor ? Pass::Editor : Pass::Normal);
  if (x.has_error) {
    EXPECT_FALSE(ok);
    EXPECT_EQ(s.b->compile_error, x.error);
    return;
  }
  ASSERT_TRUE(ok) << s.b->compile_error;
  if (!x.brain_hex.empty()) {
    EXPECT_EQ(s.code_hex(), x.brain_hex);
  }
  for (const auto& [n, bytes] : x.line_hex)
    EXPECT_EQ(s.line_hex(n), bytes) << "line " << n;
  if (!x.values.empty()) {
    std::vector<std::string> shown;  // run-time messages: faults, keywords not available
    BrainRunResult r = run_brain_file(KORVA_SOURCE_DIR "/tests/brains/" + GetParam(), x.steps, {},
                                      [&](System& sys) {
                                        Core& core = *sys.core;
                                        core.ui.message_box = [&](std::string_view t, std::string_view,
                                                                  std::string_view) {
                                          shown.emplace_back(t);
                                          return 1;
                                        };
                                      });
    ASSERT_TRUE(r.compiled) << r.compile_error;
    EXPECT_TRUE(shown.empty()) << shown.front();
    expect_variables(r, x.values);
  }
}

INSTANTIATE_TEST_SUITE_P(Brains, BrainFixture, ::testing::ValuesIn(fixture_files()),
                         fixture_test_name);

}  // namespace
}  // namespace korva::test
