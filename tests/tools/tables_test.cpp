// The math tables: defining values, the offsets the engine reads, and the direction lookup
// that searches the arc-tangent table.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "mkdata.h"

namespace korva::mkdata {
namespace {

int32_t word(const Bytes& b, int32_t index) {
  const size_t at = size_t(index) * 4;
  return static_cast<int32_t>(b[at] | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) |
                              (uint32_t(b[at + 3]) << 24));
}

// The engine's direction lookup over the table: ratio already formed, (x, z) only for signs.
int32_t direction(const Bytes& atan, int64_t x, int64_t z, int64_t ratio) {
  int32_t a8;
  if (x == 0 || ratio >= 512000) {
    a8 = 720;
  } else {
    int32_t lo = 0, hi = 719;
    for (;;) {
      const int32_t mid = (lo + hi) / 2;
      if (mid == lo) {
        a8 = mid;
        break;
      }
      const int32_t e = word(atan, mid);
      if (ratio > e) {
        lo = mid;
      } else if (ratio < e) {
        hi = mid;
      } else {
        a8 = mid;
        break;
      }
    }
  }
  if (x < 0 && z < 0) {
    a8 += 1440;
  } else if (z < 0) {
    a8 = 2880 - a8;
  } else if (x < 0) {
    a8 = 1440 - a8;
  }
  return (a8 - 720) * 64;
}

// direction_xz from a at the origin to b at (x, z) in position units.
int32_t direction_xz(const Bytes& atan, int32_t x, int32_t z) {
  const int32_t dx = x >> 9;
  if (dx == 0) return direction(atan, 0, z, 0);
  return direction(atan, dx, z, std::llabs(int64_t(z) * 2 / dx));
}

TEST(Tables, SizesMatchWhatTheEngineLoads) {
  EXPECT_EQ(make_sinus().size(), 115200u);
  EXPECT_EQ(make_sinusbig().size(), 14400u);
  EXPECT_EQ(make_atan().size(), 2880u);
  EXPECT_EQ(make_random().size(), 2000u);
}

TEST(Tables, FineSineDefiningValues) {
  const Bytes t = make_sinusbig();
  // Entry angle / 64 is the sine, entry + 720 the cosine.
  const struct {
    int32_t entry, value;
  } cases[] = {{0, 0}, {240, 16384}, {720, 32768}, {1440, 0}, {2160, -32768}, {2880, 0}};
  for (const auto& c : cases) EXPECT_EQ(word(t, c.entry), c.value) << "entry " << c.entry;
  EXPECT_EQ(word(t, 3599), static_cast<int32_t>(std::lround(std::sin(449.875 * std::numbers::pi / 180) * 32768)));
}

TEST(Tables, ArcTangentAscendsAndIsScaledBy1024) {
  const Bytes t = make_atan();
  EXPECT_EQ(word(t, 0), 0);
  EXPECT_EQ(word(t, 360), 1024);  // tan 45 degrees
  EXPECT_EQ(word(t, 240), 591);   // tan 30 degrees x 1024 = 591.2
  for (int32_t k = 1; k < 720; ++k) ASSERT_GT(word(t, k), word(t, k - 1)) << k;
}

TEST(Tables, DirectionLookupGivesTheAnglesOfTheFourQuadrants) {
  const Bytes t = make_atan();
  const int32_t d = 1000 * 512;  // one metre in each direction
  const struct {
    int32_t x, z, angle;
  } cases[] = {
      {0, d, 0},              // straight ahead along +z
      {d, 0, -46080},         // along +x
      {d, d, -23040},         // 45 degrees in each quadrant
      {-d, d, 23040},
      {d, -d, 115200},
      {-d, -d, 69120},
      {-d, 0, 46080},
  };
  for (const auto& c : cases) EXPECT_EQ(direction_xz(t, c.x, c.z), c.angle) << c.x << "," << c.z;
  // 30 degrees off the x axis: exact to the eighth degree.
  const int32_t x = 866025 * 512 / 1000, z = 500000 * 512 / 1000;
  EXPECT_EQ(direction_xz(t, x, z), (240 - 720) * 64);
}

TEST(Tables, ByteSineOffsetsActAsTheYawsSineAndCosine) {
  const Bytes s = make_sinus();
  const Bytes fine = make_sinusbig();
  auto byte = [&s](int32_t at) { return static_cast<int32_t>(static_cast<int8_t>(s[at])); };
  EXPECT_EQ(byte(256 * 90 + 255), 127);   // yaw 0: straight along +z
  EXPECT_EQ(byte(256 * 0 + 1), 0);
  EXPECT_EQ(byte(256 * 90 + 1), -127);    // yaw 90: along -x, as the rotation about y turns (0, 0, 1)
  EXPECT_EQ(byte(256 * 180 + 255), 0);
  // For every whole degree, horizontal thrust points where the element's forward axis does.
  const int32_t t = 100000;
  for (int32_t d = 0; d < 360; ++d) {
    const int32_t bx = byte(256 * d + 1), bz = byte(256 * (d + 90) + 255);
    const int64_t sn = word(fine, d * 8), cs = word(fine, d * 8 + 720);
    const int64_t fx = (-int64_t(t) * sn) >> 15, fz = (int64_t(t) * cs) >> 15;
    EXPECT_NEAR((int64_t(t) * bx) >> 7, fx, t / 80 + 1) << "degree " << d;  // byte precision
    EXPECT_NEAR((int64_t(t) * bz) >> 7, fz, t / 80 + 1) << "degree " << d;  // byte precision
  }
}

TEST(Tables, RandomBytesAreFixedAndSpread) {
  const Bytes a = make_random(), b = make_random();
  EXPECT_EQ(a, b);
  int32_t counts[256] = {};
  for (uint8_t v : a) ++counts[v];
  int32_t used = 0;
  for (int32_t c : counts) used += c > 0;
  EXPECT_GT(used, 200);  // 2000 bytes cover almost every value
  EXPECT_NE(make_random(7), a);
}

}  // namespace
}  // namespace korva::mkdata
