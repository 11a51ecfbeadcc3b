// Memory blocks: handles, reuse, views, byte access, files, and the never-outside rule.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "core/core.h"
#include "core/system.h"
#include "runtime/memory_blocks.h"

namespace korva {
namespace {

class BlocksTest : public ::testing::Test {
 protected:
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<Blocks> blocks = std::make_unique<Blocks>();
  System s;
  void SetUp() override {
    s.core = core.get();
    s.blocks = blocks.get();
  }
};

TEST_F(BlocksTest, HandlesStartAtZeroAndTheNewestIsReused) {
  EXPECT_EQ(a_create(s, 4), 0);
  EXPECT_EQ(str_create(s, 9), 1);
  EXPECT_EQ(a_size(s, 0), 16);
  EXPECT_EQ(a_size(s, 1), 10);
  EXPECT_EQ(a_create(s, 1), 2);
  a_kill(s, 2);
  EXPECT_EQ(blocks->high_water, 2);
  EXPECT_EQ(a_create(s, 1), 2);
  a_kill(s, 0);
  EXPECT_EQ(a_create(s, 1), 0);  // the first free entry below the mark
  EXPECT_EQ(a_size(s, 77), 0);
  EXPECT_EQ(a_size(s, -1), 0);
}

TEST_F(BlocksTest, ReadsAndWrites) {
  int32_t h = a_create(s, 40);
  a_set(s, h, 12, 99);
  EXPECT_EQ(a2(s, h, 2, 1, 10), 99);
  EXPECT_EQ(a2_set(s, h, 3, 2, 5, -7), -7);
  EXPECT_EQ(a(s, h, 13), -7);
  EXPECT_EQ(a_word_set(s, h, 1, 0x12345), 0x2345);
  EXPECT_EQ(a_byte(s, h, 1), 0x45);
  EXPECT_EQ(a_byte(s, h, 2), 0x23);
  EXPECT_EQ(a_word(s, h, 1), 0x2345);
  EXPECT_EQ(a_byte_set(s, h, 0, 0x1FF), 0xFF);
  EXPECT_EQ(a_dword(s, h, 0), 0x2345FF);
  EXPECT_EQ(a_dword_set(s, h, 4, -1), -1);
  EXPECT_EQ(a_word(s, h, 4), 0xFFFF);
}

TEST_F(BlocksTest, InvalidHandlesAndOutOfRangeAccessNeverTouchMemory) {
  int32_t h = a_create(s, 2);  // 8 bytes
  a_set(s, h, 0, 42);          // what a wrapped index would read
  struct Case { const char* what; int32_t got, want; } cases[] = {
      {"negative handle", a(s, -5, 0), -5},
      {"handle past the table", a_set(s, 9000, 0, 1), 9000},
      {"free entry", a(s, 100, 0), 0},
      {"index past the end", a_set(s, h, 2, 5), 0},
      {"negative index", a_set(s, h, -1, 5), 0},
      {"dword straddling the end", a_dword_set(s, h, 6, 5), 0},
      {"huge 2D view", a2_set(s, h, 1, 1 << 30, 1 << 30, 5), 0},
      {"2D index past 64 bits", a2_set(s, h, INT32_MAX, INT32_MAX, INT32_MAX, 5), 0},
      {"2D index wrapping to cell 0", a2(s, h, 0, INT32_MIN, INT32_MIN), 0},
      {"read past the end", a_byte(s, h, 8), 0},
      {"byte of a negative handle", a_byte(s, -5, 0), -5},
      {"byte of the first handle past the table", a_byte(s, 8192, 0), 8192},
      {"byte of a handle far past the table", a_byte(s, 9000, 3), 9000},
      {"word of a negative handle", a_word(s, -70000, 0), -70000},
      {"word of a handle past the table", a_word(s, 70000, 0), 70000},
      {"byte of a free entry", a_byte(s, 100, 0), 0},
      {"word of the last free entry", a_word(s, 8191, 0), 0},
  };
  for (const auto& k : cases) EXPECT_EQ(k.got, k.want) << k.what;
  EXPECT_EQ(a(s, h, 0), 42);
  EXPECT_EQ(a(s, h, 1), 0);
  EXPECT_EQ(a_create(s, -3), kBlockTableFull);
  EXPECT_EQ(a_create(s, 0x7FFFFFFF), kBlockTableFull);
}

TEST_F(BlocksTest, AFullTableAnswersMinusOne) {
  for (int i = 0; i < kBlockEntries; ++i) ASSERT_EQ(str_create(s, 0), i);
  EXPECT_EQ(a_create(s, 1), kBlockTableFull);
  EXPECT_EQ(str_create(s, 1), kBlockTableFull);
  blocks_clear(*blocks);
  EXPECT_EQ(a_create(s, 1), 0);
}

// The run's blocks together stay under the cap; killing a block gives its bytes back.
TEST_F(BlocksTest, AllBlocksTogetherStayUnderTheCap) {
  blocks->bytes = kMaxBlocksBytes - 100;  // as if the run held almost all it may
  EXPECT_EQ(a_create(s, 26), kBlockTableFull);  // 104 bytes
  const int32_t h = a_create(s, 25);             // 100 bytes: exactly at the cap
  ASSERT_GE(h, 0);
  EXPECT_EQ(str_create(s, 0), kBlockTableFull);
  a_kill(s, h);
  EXPECT_EQ(blocks->bytes, kMaxBlocksBytes - 100);
  EXPECT_GE(str_create(s, 99), 0);
  blocks_clear(*blocks);
  EXPECT_EQ(blocks->bytes, 0);
}

TEST_F(BlocksTest, SaveAndLoadThroughATextBlockName) {
  std::string path = testing::TempDir() + "blocks_test.bin";
  int32_t name = str_create(s, static_cast<int32_t>(path.size()));
  for (size_t i = 0; i < path.size(); ++i) a_byte_set(s, name, static_cast<int32_t>(i), path[i]);
  int32_t h = a_create(s, 3);
  a_set(s, h, 0, 11);
  a_set(s, h, 2, 33);
  a_save(s, h, name);
  int32_t back = a_load(s, name);
  EXPECT_EQ(a_size(s, back), 4 * (3 + 4));
  EXPECT_EQ(a(s, back, 0), 11);
  EXPECT_EQ(a(s, back, 2), 33);
  EXPECT_EQ(a(s, back, 6), 0);
  unlink(path.c_str());
  EXPECT_EQ(a_load(s, name), 0);  // missing file
  EXPECT_EQ(a_load(s, 12345678), 0);  // not a text
}

}  // namespace
}  // namespace korva
