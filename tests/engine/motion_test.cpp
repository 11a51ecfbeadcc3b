// Motion keywords on instance records: units, the rotation rule, forces and measurements.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "engine/engine.h"
#include "engine/keyword_fixture.h"

namespace korva {
namespace {

class Motion : public KeywordFixture, public ::testing::Test {};

TEST(ElementHandles, OnlyRecordStartsOfThePoolAreElements) {
  struct Case {
    int64_t handle;
    int32_t index;
  } cases[] = {{0x00100000, 0}, {0x00100400, 1}, {0x00100000 + 255 * 1024, 255},
               {0x00100000 + 256 * 1024, -1}, {0x00100004, -1}, {0x000FFC00, -1}, {0, -1},
               {-1, -1}, {INT32_MIN, -1}, {static_cast<int32_t>(0x80100000u), -1}};
  for (const Case& c : cases) {
    EXPECT_EQ(element_index_of(static_cast<int32_t>(c.handle)), c.index) << c.handle;
  }
}

TEST_F(Motion, InvalidHandlesChangeNothingAndReadZero) {
  const std::vector<uint8_t> before(record(0), record(0) + 256 * 1024);
  set(0, ir::kVelX, 5);
  for (int32_t bad : {0, -1, h(0) + 4, h(256), INT32_MIN}) {
    velocity_x_set(sys, bad, 99);
    velocity_update(sys, bad);
    thrust(sys, bad, 1000);
    drag(sys, bad, 0);
    push(sys, bad);
    position_copy(sys, h(0), bad);
    EXPECT_EQ(velocity_x(sys, bad), 0);
    EXPECT_EQ(speed(sys, bad), 0);
  }
  set(0, ir::kVelX, 0);
  EXPECT_EQ(std::vector<uint8_t>(record(0), record(0) + 256 * 1024), before);
  EXPECT_EQ(run.state_stack_top, 0);
}

TEST(Angles, NormaliseIntoOneTurn) {
  const int32_t cases[][2] = {{0, 0}, {184319, 184319}, {184320, 0}, {-1, 184319},
                              {368641, 1}, {-184320, 0}, {-184321, 184319},
                              {INT32_MAX, INT32_MAX % 184320},
                              {INT32_MIN, INT32_MIN % 184320 + 184320}};
  for (const auto& c : cases) EXPECT_EQ(normalise_angle(c[0]), c[1]) << c[0];
}

TEST_F(Motion, RotationsAreStoredRawAndReadNormalised) {
  rotation_x_set(sys, h(0), 184320);
  rotation_y_set(sys, h(0), -1);
  rotation_z_add(sys, h(0), -184320);
  EXPECT_EQ(get(0, ir::kRotX), 184320);
  EXPECT_EQ(rotation_x(sys, h(0)), 0);
  EXPECT_EQ(rotation_y(sys, h(0)), 184319);
  EXPECT_EQ(rotation_z(sys, h(0)), 0);
  spin_x_set(sys, h(0), 10);
  spin_update(sys, h(0));
  EXPECT_EQ(get(0, ir::kRotX), 184330);
}

TEST_F(Motion, RotationCopyAddsTheExtraRotationOnlyWhileFlagged) {
  set3(0, ir::kRotX, 1, 2, 3);
  set3(0, ir::kExtraRotX, 10, 20, 30);
  rotation_copy(sys, h(0), h(1));
  EXPECT_EQ(get(1, ir::kRotY), 2);
  set(0, ir::kFlags, ir::kFlagExtraRotation);
  rotation_copy(sys, h(0), h(1));
  EXPECT_EQ(get(1, ir::kRotX), 11);
  EXPECT_EQ(get(1, ir::kRotY), 22);
  EXPECT_EQ(get(1, ir::kRotZ), 33);
}

TEST_F(Motion, IntegrationAddsPerAxisAndWraps) {
  set3(0, ir::kPosX, 1, INT32_MAX, 3);
  set3(0, ir::kVelX, 10, 1, -30);
  velocity_update(sys, h(0));
  EXPECT_EQ(get(0, ir::kPosX), 11);
  EXPECT_EQ(get(0, ir::kPosY), INT32_MIN);
  EXPECT_EQ(get(0, ir::kPosZ), -27);
  gravity(sys, h(0), 1, 2, 3);
  EXPECT_EQ(get(0, ir::kVelZ), -27);
  position_copy(sys, h(0), h(2));
  velocity_copy(sys, h(0), h(2));
  EXPECT_EQ(get(2, ir::kPosZ), -27);
  EXPECT_EQ(get(2, ir::kVelX), 11);
}

TEST_F(Motion, FrictionScalesTowardZero) {
  struct Case {
    int32_t f, v, expect;
  } cases[] = {{0, 1000, 0}, {512, -777, -777}, {256, -3, -1}, {256, 3, 1}, {1024, 5, 10}};
  for (const Case& c : cases) {
    set3(0, ir::kVelX, c.v, c.v, c.v);
    friction(sys, h(0), c.f);
    EXPECT_EQ(get(0, ir::kVelX), c.expect) << c.f << " " << c.v;
    EXPECT_EQ(get(0, ir::kVelZ), c.expect);
  }
  set3(0, ir::kVelX, 100, 100, 100);
  friction_xz(sys, h(0), 0);
  EXPECT_EQ(get(0, ir::kVelY), 100);
  EXPECT_EQ(get(0, ir::kVelZ), 0);
  set3(0, ir::kSpinX, 100, 100, 100);
  friction_yr(sys, h(0), 256);
  EXPECT_EQ(get(0, ir::kSpinX), 100);
  EXPECT_EQ(get(0, ir::kSpinY), 50);
}

TEST_F(Motion, DragIsQuadraticPlusTenAndHalvesWhenTheSquareOverflows) {
  drag(sys, h(0), 0);  // at rest: the constant still applies
  EXPECT_EQ(get(0, ir::kVelX), -10);
  EXPECT_EQ(get(0, ir::kVelY), -10);

  set3(0, ir::kVelX, 1000 * 4096, -1000 * 4096, 4095);
  drag(sys, h(0), 8192);
  EXPECT_EQ(get(0, ir::kVelX), 1000 * 4096 - 1000010);
  EXPECT_EQ(get(0, ir::kVelY), -1000 * 4096 + 1000010);
  EXPECT_EQ(get(0, ir::kVelZ), 4095 - 10);

  // x is dragged first, then z overflows: every affected component is halved, x included.
  set3(0, ir::kVelX, 0, 100, 1 << 28);
  drag_xz(sys, h(0), 100);
  EXPECT_EQ(get(0, ir::kVelX), -5);
  EXPECT_EQ(get(0, ir::kVelY), 100);
  EXPECT_EQ(get(0, ir::kVelZ), 1 << 27);

  set3(0, ir::kVelX, -(1 << 28), 0, 0);
  drag_y(sys, h(0), 0);  // x is not affected
  EXPECT_EQ(get(0, ir::kVelX), -(1 << 28));
  EXPECT_EQ(get(0, ir::kVelY), -10);
  set3(0, ir::kVelX, (1 << 28) - 1, 0, 0);  // (v >> 12)^2 still fits 32 bits
  drag_xz(sys, h(0), 0);
  EXPECT_EQ(get(0, ir::kVelX), (1 << 28) - 1 - 10);
}

TEST_F(Motion, ReboundMovesBackFourStepsAndReverses) {
  set(0, ir::kPosY, 1000);
  set(0, ir::kVelY, 100);
  rebound_y(sys, h(0));
  EXPECT_EQ(get(0, ir::kPosY), 600);
  EXPECT_EQ(get(0, ir::kVelY), -100);
  set(0, ir::kVelX, -7);
  rebound_x(sys, h(0));
  EXPECT_EQ(get(0, ir::kPosX), 28);
  EXPECT_EQ(get(0, ir::kVelX), 7);
}

TEST_F(Motion, SpeedMeasurementsUseWholeThousandths) {
  set3(0, ir::kVelX, 1000, 0, 0);
  EXPECT_EQ(velocity(sys, h(0)), 1);
  EXPECT_EQ(speed(sys, h(0)), 512);
  set3(0, ir::kVelX, 3 * 512, 12 * 512, -4 * 512);
  EXPECT_EQ(velocity(sys, h(0)), 13);
  EXPECT_EQ(speed(sys, h(0)), 13 * 512);
  EXPECT_EQ(velocity_xz(sys, h(0)), 5);
  EXPECT_EQ(speed_xz(sys, h(0)), 5 * 512);
  set3(0, ir::kVelX, 512, 512, 0);  // sqrt(2) rounds to 1
  EXPECT_EQ(velocity(sys, h(0)), 1);
}

TEST_F(Motion, ThrustFollowsTheRotation) {
  thrust(sys, h(0), 1000);  // no rotation: straight along z
  EXPECT_EQ(get(0, ir::kVelX), 0);
  EXPECT_EQ(get(0, ir::kVelY), 0);
  EXPECT_EQ(get(0, ir::kVelZ), 1000);

  set3(0, ir::kRotX, 63, 63, 63);  // under 1/8 degree: skipped
  thrust(sys, h(0), 1000);
  EXPECT_EQ(get(0, ir::kVelZ), 2000);
  EXPECT_EQ(get(0, ir::kVelX), 0);

  set3(0, ir::kRotX, 0, 90 * 512, 0);
  speed_set(sys, h(0), 1000);
  EXPECT_EQ(get(0, ir::kVelX), -1000);
  EXPECT_EQ(get(0, ir::kVelY), 0);
  EXPECT_EQ(get(0, ir::kVelZ), 0);
  EXPECT_EQ(speed_lz(sys, h(0)), 1000);

  set3(0, ir::kRotX, -90 * 512, 0, 0);  // pitched up: forward is +y
  speed_set(sys, h(0), 2048);
  EXPECT_EQ(get(0, ir::kVelY), 2048);
  EXPECT_EQ(get(0, ir::kVelZ), 0);
  EXPECT_EQ(speed_lz(sys, h(0)), 2048);

  // Any orientation: speed_lz reads back the forward speed to within rounding.
  set3(0, ir::kRotX, 12345, 67890, 150000);
  speed_set(sys, h(0), 100000);
  EXPECT_NEAR(speed_lz(sys, h(0)), 100000, 8);
  set3(0, ir::kVelX, 0, 0, 0);
  EXPECT_EQ(speed_lz(sys, h(0)), 0);
}

TEST_F(Motion, HorizontalThrustUsesTheByteTableAndKeepsY) {
  set(0, ir::kVelY, 77);
  thrust_xz(sys, h(0), 128);
  EXPECT_EQ(get(0, ir::kVelX), 0);
  EXPECT_EQ(get(0, ir::kVelZ), 127);
  set(0, ir::kRotY, 90 * 512 + 511);  // whole degrees only
  speed_xz_set(sys, h(0), 1280);
  EXPECT_EQ(get(0, ir::kVelX), -1270);
  EXPECT_EQ(get(0, ir::kVelZ), 0);
  EXPECT_EQ(get(0, ir::kVelY), 77);
  set(0, ir::kRotY, -90 * 512);  // 270 degrees: the last rows of the table
  speed_xz_set(sys, h(0), 128);
  EXPECT_EQ(get(0, ir::kVelX), 127);
  EXPECT_EQ(get(0, ir::kVelZ), 0);
}

TEST_F(Motion, FollowClosesTheGapToAPointBehindTheTarget) {
  set3(1, ir::kPosX, 512000, 0, -512000);
  follow(sys, h(0), h(1), 1024, 5120, 128);
  EXPECT_EQ(get(0, ir::kPosX), 512000);
  EXPECT_EQ(get(0, ir::kPosY), 1024);
  EXPECT_EQ(get(0, ir::kPosZ), -512000 + 5120);

  set(1, ir::kRotY, 90 * 512);  // the offset turns with the target
  follow(sys, h(0), h(1), 1024, 5120, 64);  // half the gap
  EXPECT_EQ(get(0, ir::kPosX), 512000 - 2560);
  EXPECT_EQ(get(0, ir::kPosZ), -512000 + 2560);
  follow(sys, h(0), h(1) + 1, 0, 0, 128);  // bad target
  EXPECT_EQ(get(0, ir::kPosZ), -512000 + 2560);
}

TEST_F(Motion, HorizontalSpeedLimitScalesDown) {
  set3(0, ir::kVelX, 300 * 512, 9, 400 * 512);
  speed_xz_limit(sys, h(0), 250 * 512);
  EXPECT_EQ(get(0, ir::kVelX), 150 * 512);
  EXPECT_EQ(get(0, ir::kVelY), 9);
  EXPECT_EQ(get(0, ir::kVelZ), 200 * 512);
  for (int32_t limit : {511, 350 * 512, 0, -100000}) {  // too small or not exceeded
    speed_xz_limit(sys, h(0), limit);
    EXPECT_EQ(get(0, ir::kVelX), 150 * 512) << limit;
  }
  set3(0, ir::kVelX, 300, 0, 300);  // under one thousandth per axis: m = 0, unchanged
  speed_xz_limit(sys, h(0), 512);
  EXPECT_EQ(get(0, ir::kVelX), 300);
}

TEST_F(Motion, PushAndPopShareOneBoundedStack) {
  set3(0, ir::kPosX, 1, 2, 3);
  set3(0, ir::kSpinX, 10, 11, 12);
  push(sys, h(0));
  set3(0, ir::kPosX, 9, 9, 9);
  pop(sys, h(1));  // another element may take the entry
  EXPECT_EQ(get(1, ir::kPosX), 1);
  EXPECT_EQ(get(1, ir::kPosZ), 3);
  EXPECT_EQ(get(1, ir::kSpinZ), 12);
  pop(sys, h(1));  // empty: nothing changes
  EXPECT_EQ(get(1, ir::kPosX), 1);

  for (int32_t i = 0; i < 130; ++i) {
    set(0, ir::kPosX, i);
    push(sys, h(0));
  }
  EXPECT_EQ(run.state_stack_top, 128);
  pop(sys, h(2));
  EXPECT_EQ(get(2, ir::kPosX), 127);  // the 129th and 130th pushes changed nothing
}

TEST_F(Motion, FrameRateAccepts15To250) {
  EXPECT_EQ(max_framerate(sys), 30);
  EXPECT_EQ(run.frame_period, 150);
  max_framerate_set(sys, 14);
  max_framerate_set(sys, 251);
  EXPECT_EQ(max_framerate(sys), 30);
  max_framerate_set(sys, 250);
  EXPECT_EQ(run.frame_period, 18);
  max_framerate_set(sys, 15);
  EXPECT_EQ(run.frame_period, 300);
  EXPECT_EQ(max_framerate(sys), 15);
}

TEST_F(Motion, FrameHandlesReadTheFramePosition) {
  const int32_t frame = static_cast<int32_t>(0x80000000u | 5u);
  EXPECT_EQ(position_x(sys, frame), 0);  // no scene frames yet
  int32_t asked = -1;
  run.hooks.frame_position = [&](int32_t f, double& x, double& y, double& z) {
    asked = f;
    x = 1.5;
    y = -0.001;
    z = 1e12;
    return true;
  };
  EXPECT_EQ(position_x(sys, frame), 768000);
  EXPECT_EQ(asked, 5);
  EXPECT_EQ(position_y(sys, frame), -512);
  EXPECT_EQ(position_z(sys, frame), INT32_MAX);
  EXPECT_EQ(velocity_x(sys, frame), 0);
}

TEST(MathTables, FineAndByteTablesFollowTheirDefinitions) {
  auto core = core_create();
  fill_math_tables(*core);
  EXPECT_EQ(fine_sin_cos(*core, 0).c, 32768);
  EXPECT_EQ(fine_sin_cos(*core, 90 * 512).s, 32768);
  EXPECT_EQ(fine_sin_cos(*core, 184319).c, 32768);  // last entry of the cosine: 449.875 degrees
  EXPECT_EQ(fine_sin_cos(*core, 270 * 512).s, -32768);
  const int8_t* bytes = reinterpret_cast<const int8_t*>(core->pool(Pool::Sinus));
  EXPECT_EQ(bytes[256 * 90 + 1], -127);
  EXPECT_EQ(bytes[256 * 90 + 255], 127);
  EXPECT_EQ(bytes[256 * 449 + 0], -128);  // round(sin 89 degrees x -128)
  int32_t atan[kAtanEntries];
  make_atan_table(atan);
  EXPECT_EQ(atan[0], 0);
  EXPECT_EQ(atan[360], 1024);  // tan 45 degrees

  // Coordinates near the ends of the range wrap to 32 bits, as the integer rules do elsewhere:
  // 45 degrees of (INT_MAX, -INT_MAX) gives x = (INT_MAX + INT_MAX) / sqrt 2, past the range.
  IVec3 far{INT_MAX, 0, -INT_MAX};
  rotate_about_y(*core, far, 45 * 512);
  // sin and cos of 45 degrees are 23170 in the fine table; the shift rounds toward -infinity.
  const int64_t plus = (int64_t(INT_MAX) * 23170) >> 15, minus = (-int64_t(INT_MAX) * 23170) >> 15;
  EXPECT_EQ(far.x, static_cast<int32_t>(plus - minus));
  EXPECT_LT(far.x, 0);  // wrapped
  EXPECT_EQ(far.z, static_cast<int32_t>(plus + minus));
}

}  // namespace
}  // namespace korva
