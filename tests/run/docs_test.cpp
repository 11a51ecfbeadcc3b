// The maker's documentation stays true: docs/keyword-reference.md is the page generated from
// the keyword table and its descriptions, with the availability of this build (rewritten by
// KORVA_UPDATE_DOCS=1), and every example brain of docs/brains.md compiles and runs as its
// comments say, alone and in a project run.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "brain/brain_run.h"
#include "brain/keyword_reference.h"
#include "brain_expectations.h"
#include "run_fixture.h"

namespace korva {
namespace {

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// The page as this build makes it: availability from the whole keyword table.
std::string reference_page() {
  KeywordBindings b;
  bind_all_keywords(b);
  bool available[kKeywordRows];
  for (int32_t row = 0; row < kKeywordRows; ++row) available[row] = b.routine[row] != nullptr;
  return keyword_reference_markdown(available);
}

int32_t parameter_count(std::string_view params) {
  if (params.empty()) return 0;
  int32_t n = 1;
  for (char ch : params) n += ch == ',';
  return n;
}

TEST(KeywordReference, EveryRowDescribesItsKeywordOnce) {
  for (int32_t row = 0; row < kKeywordRows; ++row) {
    const KeywordRow& k = keyword_row(row);
    const KeywordDoc& d = keyword_doc(row);
    ASSERT_STREQ(d.name, k.name) << "row " << row << ": the descriptions follow the table's order";
    EXPECT_EQ(parameter_count(d.params), k.params) << d.name << ": " << d.params;
    // The page is a markdown table: no cell may hold a "|" or a line break.
    for (const char* field : {d.params, d.result, d.text})
      EXPECT_EQ(std::string_view(field).find_first_of("|\n"), std::string_view::npos) << d.name;
    // A synonym is described by its group's first row: same parameters and result, no text.
    const int32_t first = keyword_routine_row(row);
    if (first == row) {
      EXPECT_STRNE(d.text, "") << d.name << " has no description";
    } else {
      EXPECT_STREQ(d.text, "") << d.name << " is a synonym of " << keyword_row(first).name;
      EXPECT_STREQ(d.params, keyword_doc(first).params) << d.name;
      EXPECT_STREQ(d.result, keyword_doc(first).result) << d.name;
    }
  }
}

TEST(KeywordReference, TheCommittedPageIsTheGeneratedOne) {
  const std::string path = KORVA_SOURCE_DIR "/docs/keyword-reference.md";
  const std::string page = reference_page();
  // Every keyword has its line on the page, with or without a routine yet.
  int32_t rows = 0;
  for (size_t at = page.find("\n| `"); at != std::string::npos; at = page.find("\n| `", at + 1)) ++rows;
  EXPECT_EQ(rows, kKeywordRows);

  const char* update = std::getenv("KORVA_UPDATE_DOCS");
  if (update && std::string_view(update) == "1") {
    // Written beside it and renamed over it, so that a failed write leaves the old page.
    const std::string temp = path + ".tmp";
    {
      std::ofstream out(temp, std::ios::binary);
      out << page;
      ASSERT_TRUE(out.good()) << "cannot write " << temp;
    }
    std::filesystem::rename(temp, path);
  }
  EXPECT_TRUE(read_file(path) == page)
      << "docs/keyword-reference.md is not the page the keyword table makes; rewrite it with\n"
         "  KORVA_UPDATE_DOCS=1 build/tests/run/test_run --gtest_filter='KeywordReference.*'";
}

// ---- The examples of docs/brains.md ----

struct Example {
  std::string name;  // the section and the example's number in it
  std::string text;
  bool has_error = false;
  std::string error;
  std::vector<std::pair<std::string, std::string>> values;
  int32_t steps = 1;
};

void PrintTo(const Example& x, std::ostream* os) { *os << x.name; }

std::string trim(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\t')) s.pop_back();
  const size_t a = s.find_first_not_of(" \t");
  return a == std::string::npos ? std::string() : s.substr(a);
}

// The fenced ```brain blocks of the guide, with their "; expect:", "; expect error:" and
// "; run:" comments.
std::vector<Example> guide_examples() {
  std::vector<Example> examples;
  std::istringstream in(read_file(KORVA_SOURCE_DIR "/docs/brains.md"));
  std::string line, section;
  int32_t in_section = 0;
  Example* open = nullptr;
  while (std::getline(in, line)) {
    if (open) {
      if (line.rfind("```", 0) == 0) {
        open = nullptr;
        continue;
      }
      open->text += line + "\r\n";
      const size_t semi = line.find("; ");
      const std::string comment = semi == std::string::npos ? std::string() : trim(line.substr(semi + 2));
      auto directive = [&](std::string_view key, std::string& value) {
        if (comment.compare(0, key.size(), key) != 0) return false;
        value = trim(comment.substr(key.size()));
        return true;
      };
      std::string value;
      if (directive("expect error:", value)) {
        open->has_error = true;
        open->error = value;
      } else if (directive("expect:", value)) {
        const size_t eq = value.find('=');
        open->values.emplace_back(trim(value.substr(0, eq)), trim(value.substr(eq + 1)));
      } else if (directive("run:", value)) {
        open->steps = std::atoi(value.c_str());
      }
    } else if (line.rfind("## ", 0) == 0) {
      section.clear();
      for (char ch : line.substr(3)) {
        if (std::isalnum(static_cast<unsigned char>(ch))) section += ch;
        else if (!section.empty() && section.back() != '_') section += '_';
      }
      while (!section.empty() && section.back() == '_') section.pop_back();
      in_section = 0;
    } else if (line == "```brain") {
      examples.push_back({section + "_" + std::to_string(++in_section), {}, false, {}, {}, 1});
      open = &examples.back();
    }
  }
  return examples;
}

class GuideExample : public ::testing::TestWithParam<Example> {};

TEST_P(GuideExample, RunsAsItsCommentsSay) {
  const Example& x = GetParam();
  ASSERT_TRUE(x.has_error || !x.values.empty()) << "the example expects nothing";
  test::RunSystem sys("guide_" + x.name);
  const std::string path = sys.write("example.brn", x.text);
  std::vector<std::string> shown;  // run-time messages: faults, keywords not available
  auto blocks = std::make_unique<Blocks>();
  BrainRunResult r = run_brain_file(path, x.steps, bind_all_keywords, [&](System& s) {
    s.blocks = blocks.get();
    fill_math_tables(*s.core);
    s.core->ui.message_box = [&](std::string_view t, std::string_view, std::string_view) {
      shown.emplace_back(t);
      return 1;
    };
  });
  if (x.has_error) {
    EXPECT_FALSE(r.compiled);
    EXPECT_EQ(r.compile_error, x.error);
    return;
  }
  ASSERT_TRUE(r.compiled) << r.compile_error;
  EXPECT_TRUE(shown.empty()) << shown.front();
  expect_variables(r, x.values);
}

// The same brain as the brain of a camera in a project run of a few frames: it compiles and
// runs there without a message, or shows its error and the run goes on.
TEST_P(GuideExample, RunsInAProject) {
  const Example& x = GetParam();
  test::RunSystem sys("guide_project_" + x.name);
  const std::string brain = sys.write("example.brn", x.text);
  sys.model->last_index = 0;
  str_set(element_record(*sys.core, 0),
          "Camera|./cameras/none.03d|./sounds/null_.wav|" + brain +
              "|0|0|0|0|0|0|0.000|0|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|"
              "1|0|1|0|0|0|0/0/639/479/0/20&40/7|0/1|4096/2/50/0|0");
  sys.pipeline.max_frames = 3;
  run_project(sys.s);
  EXPECT_EQ(sys.pipeline.loop_frames, 3);
  if (x.has_error) {
    ASSERT_EQ(sys.messages.size(), 1u);
    EXPECT_EQ(sys.messages[0].rfind("'Camera' brain ERROR!|" + x.error, 0), 0u) << sys.messages[0];
    return;
  }
  EXPECT_TRUE(sys.messages.empty()) << sys.messages.front();
}

INSTANTIATE_TEST_SUITE_P(BrainsGuide, GuideExample, ::testing::ValuesIn(guide_examples()),
                         [](const ::testing::TestParamInfo<Example>& p) { return p.param.name; });

TEST(BrainsGuide, HasExamples) { EXPECT_GE(guide_examples().size(), 8u); }

}  // namespace
}  // namespace korva
