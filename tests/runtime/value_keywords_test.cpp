// Keywords of values: arithmetic, trigonometry in angle units, timing by the frame counter.
#include <gtest/gtest.h>

#include <climits>

#include "engine/keyword_fixture.h"
#include "runtime/runtime.h"

namespace korva {
namespace {

class Values : public KeywordFixture, public ::testing::Test {};

TEST_F(Values, ArithmeticWrapsAndGuardsDivision) {
  EXPECT_EQ(sum(sys, INT32_MAX, 1), INT32_MIN);
  EXPECT_EQ(subtract(sys, INT32_MIN, 1), INT32_MAX);
  EXPECT_EQ(multiply(sys, 65536, 65537), 65536);
  EXPECT_EQ(divide(sys, 7, 0), 2147483647);
  EXPECT_EQ(divide(sys, -7, 2), -3);
  EXPECT_EQ(divide(sys, INT32_MIN, -1), 2147483647);
  EXPECT_EQ(absolute_value(sys, -5), 5);
  EXPECT_EQ(absolute_value(sys, INT32_MIN), INT32_MIN);
  EXPECT_EQ(factor_512(sys, -1, 1), 0);  // -1 is returned as 0
  EXPECT_EQ(factor_512(sys, -1024, 1), -2);
  EXPECT_EQ(factor_512(sys, -513, 1), -2);  // rounds toward minus infinity
  EXPECT_EQ(factor_512(sys, 1000, 512), 1000);
}

TEST_F(Values, RangesLimitBetweenWrapRandom) {
  const int32_t limits[][4] = {{10, 0, 10, 10}, {11, 0, 10, 10}, {-1, 0, 10, 0}, {9, 0, 10, 9}};
  for (const auto& c : limits) EXPECT_EQ(limit(sys, c[0], c[1], c[2]), c[3]) << c[0];
  EXPECT_EQ(between(sys, 10, 0, 10), -1);
  EXPECT_EQ(between(sys, 0, 0, 10), -1);
  EXPECT_EQ(between(sys, 11, 0, 10), 0);
  EXPECT_EQ(wrap(sys, -1, 0, 9), 9);
  EXPECT_EQ(wrap(sys, 10, 0, 9), 0);
  EXPECT_EQ(random(sys, 5, 5), 5);
  for (int32_t i = 0; i < 200; ++i) {
    const int32_t r = random(sys, 10, -3);  // swapped first
    EXPECT_GE(r, -3);
    EXPECT_LE(r, 10);
  }
}

TEST_F(Values, TrigonometryInAngleUnits) {
  struct Case {
    int32_t (*f)(System&, int32_t);
    int32_t in, out;
  } cases[] = {
      {sin_512, 46080, 512},   {sin_512, 0, 0},          {sin_512, -46080, -512},
      {sin_512, 230400, 512},  {cos_512, 0, 512},        {cos_512, 92160, -512},
      {tan_512, 0, 0},         {tan_512, 23040, 512},    {atan_512, 512, 23040},
      {atan_512, -512, -23040}, {atan_512, 0, 0},        {sqrt_512, 4, 1024},
      {sqrt_512, 2, 724},      {sqrt_512, -1, 0},        {sqrt_512, INT32_MAX, 23726566},
  };
  for (const Case& c : cases) EXPECT_EQ(c.f(sys, c.in), c.out) << c.in;
  // Near a quarter turn the tangent is large but stays a number.
  EXPECT_LT(tan_512(sys, 46080), -1000000);
}

TEST_F(Values, EveryTicsCountsFramesUpToALimit) {
  for (uint32_t t = 0; t < 120; ++t) {
    run.tics = t;
    const int32_t expect = (t < 100 && t % 4 == 0) ? -1 : 0;
    EXPECT_EQ(every_tics(sys, 4, 100), expect) << t;
  }
  run.tics = 1000000;
  EXPECT_EQ(every_tics(sys, 1, -1), -1);  // unsigned limit: -1 never ends
  EXPECT_EQ(every_tics(sys, 1, 0), 0);
}

TEST_F(Values, OscillateFollowsTheCosineOfTheFrameCounter) {
  run.tics = 0;
  EXPECT_EQ(oscillate(sys, 1000, 46080, 0), 1000);
  run.tics = 1;
  EXPECT_EQ(oscillate(sys, 1000, 46080, 0), 0);
  run.tics = 2;
  EXPECT_EQ(oscillate(sys, 1000, 46080, 0), -1000);
  EXPECT_EQ(oscillate(sys, 1000, 46080, 46080), 0);  // phase shifts by a quarter turn
}

TEST_F(Values, PortsAreNeverTouched) {
  EXPECT_EQ(input_b(sys, 0x60), 0);
  EXPECT_EQ(input_w(sys, 0x3F8), 0);
  EXPECT_EQ(input_d(sys, -1), 0);
  output_b(sys, 0x80, 1);
  output_w(sys, 0x80, 1);
  output_d(sys, 0x80, 1);
}

}  // namespace
}  // namespace korva
