// The global table: masking, sorting, and the text files of globals_save and globals_load.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "brain_literal.h"
#include "brain/brain.h"
#include "engine/keyword_fixture.h"
#include "runtime/memory_blocks.h"
#include "runtime/runtime.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

class Globals : public KeywordFixture, public ::testing::Test {
 protected:
  std::unique_ptr<BrainState> brain = brain_create();
  fs::path dir = fs::temp_directory_path() /
                 ("korva-globals-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());

  Globals() {
    sys.brain = brain.get();
    fs::create_directories(dir);
  }
  ~Globals() override { fs::remove_all(dir); }

  // Puts text into the literal pool as a compiled brain's literal and returns its address.
  int32_t literal(const std::string& text) { return put_literal(*brain, text); }
  int32_t* g() { return core->pool_as<int32_t>(Pool::BrainVars); }
  static std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
};

TEST_F(Globals, IndicesAreMaskedTo2048Words) {
  global_set(sys, 5, 10);
  global_add(sys, 2048 + 5, 3);
  EXPECT_EQ(global(sys, -2043), 13);  // -2043 & 2047 == 5
  EXPECT_EQ(g()[5], 13);
  int applied = 0;
  run.hooks.apply_received_globals = [&] { ++applied; };
  global_set(sys, 6, 1);
  EXPECT_EQ(applied, 1);
}

TEST_F(Globals, SortOnlyValidRanges) {
  const int32_t values[] = {5, -1, INT32_MIN, 3, 0};
  std::memcpy(g() + 10, values, sizeof values);
  globals_sort(sys, 11, 10);
  globals_sort(sys, -1, 12);
  globals_sort(sys, 10, 2048);
  EXPECT_EQ(g()[10], 5);
  globals_sort(sys, 10, 14);
  const int32_t sorted[] = {INT32_MIN, -1, 0, 3, 5};
  EXPECT_EQ(std::memcmp(g() + 10, sorted, sizeof sorted), 0);
}

TEST_F(Globals, SaveWritesDecimalLinesAndLoadRestoresThemInAnotherRun) {
  g()[3] = -7;
  g()[4] = 2147483647;
  g()[5] = 0;
  const std::string path = (dir / "globvars.dat").string();
  globals_save(sys, literal(path), 3 + 2048, 5);
  EXPECT_EQ(run.globals_first, 3);
  EXPECT_EQ(run.globals_last, 5);
  EXPECT_EQ(slurp(path), "-7\r\n2147483647\r\n0\r\n");

  KeywordFixture other;  // a fresh system, as a later run sees it
  auto other_brain = brain_create();
  other.sys.brain = other_brain.get();
  std::memcpy(other_brain->literal_pool.data(), path.c_str(), path.size() + 1);
  other_brain->literal_end = guest::kLiteralPoolBase + static_cast<uint32_t>(path.size() + 1);
  int32_t* og = other.core->pool_as<int32_t>(Pool::BrainVars);
  og[6] = 99;
  globals_load(other.sys, static_cast<int32_t>(guest::kLiteralPoolBase), 3, 6);
  EXPECT_EQ(og[3], -7);
  EXPECT_EQ(og[4], 2147483647);
  EXPECT_EQ(og[5], 0);
  EXPECT_EQ(og[6], 0);  // a missing line gives 0
  EXPECT_EQ(other.run.globals_last, 6);
}

TEST_F(Globals, LoadReadsLinesWithOrWithoutCarriageReturns) {
  const fs::path p = dir / "g.txt";
  std::ofstream(p, std::ios::binary) << "12\n  -4xyz\r\n\r\n5";
  for (int32_t i = 0; i < 5; ++i) g()[i] = 50;
  globals_load(sys, literal(p.string()), 0, 4);
  const int32_t expect[] = {12, -4, 0, 5, 0};
  EXPECT_EQ(std::memcmp(g(), expect, sizeof expect), 0);
}

TEST_F(Globals, UnusableFilesChangeNothingButTheRange) {
  g()[0] = 8;
  globals_load(sys, literal((dir / "missing.dat").string()), 0, 0);
  EXPECT_EQ(g()[0], 8);
  const std::string bad = (dir / "no-such-folder" / "g.dat").string();
  // Cannot be created: nothing is written, and stderr says so once however often it is tried.
  ::testing::internal::CaptureStderr();
  globals_save(sys, literal(bad), 0, 10);
  globals_save(sys, literal(bad), 0, 10);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("could not write '" + bad + "'"), std::string::npos) << said;
  EXPECT_EQ(said.find("could not write"), said.rfind("could not write")) << said;
  EXPECT_FALSE(fs::exists(bad));
  EXPECT_EQ(run.globals_last, 10);
  globals_save(sys, 12345, 0, 1);  // not a text: empty name, nothing written
  globals_load(sys, h(0), 0, 1);
  EXPECT_EQ(g()[0], 8);
}

TEST_F(Globals, TextArgumentsComeFromTheLiteralRangeOrTextBlocks) {
  const int32_t a = literal("hello");
  EXPECT_EQ(text_argument(sys, a), "hello");
  EXPECT_EQ(text_argument(sys, a + 2), "llo");
  EXPECT_EQ(text_argument(sys, a + 6), "");  // past the range
  EXPECT_EQ(text_argument(sys, 0), "");
  brain->literal_start = guest::kLiteralPoolBase + 3;  // range of a later compile
  EXPECT_EQ(text_argument(sys, a), "");
  auto blocks = std::make_unique<Blocks>();
  sys.blocks = blocks.get();
  const int32_t block = str_create(sys, 5);
  for (int32_t i = 0; i < 5; ++i) a_byte_set(sys, block, i, "block"[i]);
  EXPECT_EQ(text_argument(sys, block), "block");
  EXPECT_EQ(text_argument(sys, block + 1), "");
}

}  // namespace
}  // namespace korva
