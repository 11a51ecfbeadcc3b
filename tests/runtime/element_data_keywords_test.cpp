// Keywords of element data: words, bit sets, pockets and registers of the instance record.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "engine/keyword_fixture.h"
#include "model/model.h"
#include "runtime/runtime.h"

namespace korva {
namespace {

class ElementData : public KeywordFixture, public ::testing::Test {};

TEST_F(ElementData, WordsOfTheRecord) {
  score_set(sys, h(1), 10);
  score_add(sys, h(1), -3);
  EXPECT_EQ(score(sys, h(1)), 7);
  EXPECT_EQ(get(1, ir::kScore), 7);
  element_id_set(sys, h(1), 0x40);
  EXPECT_EQ(element_id(sys, h(1)), 0x40);
  EXPECT_EQ(get(1, ir::kId), 0x40);
  timer_set(sys, h(1), 99);
  EXPECT_EQ(timer(sys, h(1)), 99);
  EXPECT_EQ(get(1, ir::kCallCounter), 99);
  for (int32_t bad : {0, -1, h(1) + 4, h(256)}) {
    score_set(sys, bad, 5);
    EXPECT_EQ(score(sys, bad), 0);
    EXPECT_EQ(state(sys, bad, -1), 0);
    EXPECT_EQ(status(sys, bad), 0);
    EXPECT_EQ(element_index(sys, bad, 1), 0);
  }
}

TEST_F(ElementData, ResettingBitsAlsoClearsTheTopFourUnlessMasked) {
  set(0, ir::kFlags, static_cast<int32_t>(0xF0000003u));
  state_reset(sys, h(0), 2);
  EXPECT_EQ(get(0, ir::kFlags), 1);
  EXPECT_EQ(status(sys, h(0)), 1);
  state_set(sys, h(0), static_cast<int32_t>(0xF0000000u));
  state_reset(sys, h(0), 0x10000000);  // keeps bit 28, clears 29..31 and bit 28 of the mask
  EXPECT_EQ(static_cast<uint32_t>(get(0, ir::kFlags)), 0x10000001u);
  EXPECT_EQ(state(sys, h(0), 0x10000000), 0x10000000);
  state_reset(sys, h(0), 1);
  EXPECT_EQ(status(sys, h(0)), 0);
  // on and off touch the active bit alone.
  set(0, ir::kFlags, 0x10000040);
  on(sys, h(0));
  EXPECT_EQ(get(0, ir::kFlags), 0x10000041);
  off(sys, h(0));
  EXPECT_EQ(get(0, ir::kFlags), 0x10000040);
  for (int32_t bad : {0, -1, h(0) + 4}) on(sys, bad);

  signal_set(sys, h(2), 5);
  signal_set(sys, h(2), static_cast<int32_t>(0x80000000u));
  EXPECT_EQ(signal(sys, h(2), 4), 4);
  signal_reset(sys, h(2), 4);
  EXPECT_EQ(get(2, ir::kSignal), 1);
}

TEST_F(ElementData, PocketsAreBytesThatStayInTheirArea) {
  pocket_add(sys, h(0), 0, 300);
  EXPECT_EQ(pocket(sys, h(0), 0), 44);
  pocket_add(sys, h(0), 0, -45);
  EXPECT_EQ(pocket(sys, h(0), 0), 255);
  pocket_set(sys, h(0), 255, 0x1FF);
  EXPECT_EQ(pocket(sys, h(0), 255), 255);
  EXPECT_EQ(record(0)[ir::kPocket + 255], 255);
  const std::vector<uint8_t> before(record(0), record(0) + 2048);
  for (int32_t bad : {256, -1, INT32_MIN}) {
    pocket_set(sys, h(0), bad, 9);
    pocket_add(sys, h(0), bad, 9);
    EXPECT_EQ(pocket(sys, h(0), bad), 0);
  }
  EXPECT_EQ(std::vector<uint8_t>(record(0), record(0) + 2048), before);
}

TEST_F(ElementData, RegistersAddressWordsOfTheRecordOnly) {
  set(3, ir::kFlags, 0x41);
  EXPECT_EQ(register_get(sys, h(3), ir::kFlags / 4), 0x41);
  register_set(sys, h(3), 255, 77);
  EXPECT_EQ(get(3, 1020), 77);
  const std::vector<uint8_t> before(record(0), record(0) + 256 * 1024);
  for (int32_t bad : {256, -1, 1 << 30}) {
    register_set(sys, h(3), bad, 5);
    EXPECT_EQ(register_get(sys, h(3), bad), 0);
  }
  EXPECT_EQ(std::vector<uint8_t>(record(0), record(0) + 256 * 1024), before);
}

TEST_F(ElementData, ElementHandles) {
  EXPECT_EQ(element_index(sys, h(1), 2), h(3));
  EXPECT_EQ(element_index(sys, h(3), -3), h(0));
  EXPECT_EQ(first_element(sys), 0x00100000);
  auto model = std::make_unique<Model>();
  model->last_index = 4;
  sys.model = model.get();
  EXPECT_EQ(last_element(sys), h(4));
  model->last_index = -1;
  EXPECT_EQ(last_element(sys), h(0));
}

}  // namespace
}  // namespace korva
