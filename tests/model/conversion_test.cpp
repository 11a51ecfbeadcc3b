// Field conversions into instance words and back, random spreads, and the "/"-separated
// screen, aspect and sound fields.
#include "model_fixture.h"

namespace korva::test {

using ModelConversion = ModelTest;

TEST_F(ModelConversion, FieldsFillTheirInstanceWords) {
  add(make_record({{5, "1.5"},     {6, "-2"},     {7, "0.001"}, {11, "90"},  {12, "-45.5"},
                   {13, "360"},    {17, "1"},     {18, "0.5"},  {19, "-3"},  {23, "10"},
                   {24, "-1"},     {25, "0.125"}, {29, "12.9"}, {31, "6.7"}, {32, "-2.5"},
                   {33, "3"},      {36, "1"},     {42, "2"},    {43, "0"},   {44, "0.5"},
                   {47, "4"},      {48, "7"}},
                  48));
  fill_instance_fields(*c, *m, 0);
  struct {
    int32_t offset, value;
  } expected[] = {
      {ir::kPosX, 768000},   {ir::kPosY, -1024000}, {ir::kPosZ, 512},    {ir::kRotX, 46080},
      {ir::kRotY, -23296},   {ir::kRotZ, 184320},   {ir::kVelX, 17067},  {ir::kVelY, 8533},
      {ir::kVelZ, -51201},   {ir::kSpinX, 1024},    {ir::kSpinY, -102},  {ir::kSpinZ, 12},
      {ir::kScore, 12},      {ir::kId, 6},          {ir::kCollisionRadius, 2500},
      {ir::kScaleX, 2000},   {ir::kScaleY, 1000},   {ir::kScaleZ, 500},  {ir::kFlags, 1},
      {ir::kNetFlags, 4},    {ir::kMachine, 7},
  };
  for (auto e : expected) EXPECT_EQ(word(0, e.offset), e.value) << "offset " << e.offset;

  // Flag bits other than bit 0 belong to others and are kept.
  ir_set(instance(0), ir::kFlags, 0x40);
  element_field_set(*c, 0, fld::kOptions, "2");
  fill_instance_fields(*c, *m, 0);
  EXPECT_EQ(word(0, ir::kFlags), 0x40);
}

TEST_F(ModelConversion, ShortRecordReadsZerosAndSpritesStayPlain) {
  add("Bare|a.v3d|s.wav|-");
  fill_instance_fields(*c, *m, 0);
  EXPECT_EQ(element_type(*c, 0), kTypeCamera);
  for (int32_t off : {ir::kPosX, ir::kRotZ, ir::kVelY, ir::kSpinX, ir::kScore, ir::kId,
                      ir::kCollisionRadius, ir::kFlags})
    EXPECT_EQ(word(0, off), 0) << off;
  EXPECT_EQ(word(0, ir::kScaleX), 1000);

  add(make_record({{5, "100.9"}, {11, "45"}, {17, "3"}, {36, "5"}, {42, "0"}}));
  fill_instance_fields(*c, *m, 1);
  EXPECT_EQ(word(1, ir::kPosX), 100);
  EXPECT_EQ(word(1, ir::kRotX), 45);
  EXPECT_EQ(word(1, ir::kVelX), 3);
  EXPECT_EQ(word(1, ir::kScaleX), 1000);
}

TEST_F(ModelConversion, SpreadsApplyOnlyWhileRunningAndOnlyWhenPositive) {
  // Value 1 m with spreads: x 0.5 m, y 0, z -1 (ignored); credits 100 spread 10; the id and
  // scale x are followed by other values (radius 3, scale y 2) that are not their spreads.
  std::string rec = make_record({{5, "1"},  {6, "1"},   {7, "1"},   {8, "0.5"}, {9, "0"},
                                 {10, "-1"}, {29, "100"}, {30, "10"}, {31, "4"}, {32, "3"},
                                 {36, "1"},  {42, "1"},   {43, "2"}},
                                43);
  add(rec);
  for (auto [f, v] : std::vector<std::pair<int32_t, int32_t>>{{5, 512000}, {29, 100}})
    EXPECT_EQ(field_start_value(*c, *m, 0, f), v);
  m->run_flag = true;
  bool varied = false;
  for (int32_t n = 0; n < 200; ++n) {
    int32_t x = field_start_value(*c, *m, 0, 5);
    EXPECT_GE(x, 512000 - 256000);
    EXPECT_LE(x, 512000 + 256000);
    varied = varied || x != 512000;
    int32_t credits = field_start_value(*c, *m, 0, 29);
    EXPECT_GE(credits, 90);
    EXPECT_LE(credits, 110);
    EXPECT_EQ(field_start_value(*c, *m, 0, 6), 512000);  // spread 0
    EXPECT_EQ(field_start_value(*c, *m, 0, 7), 512000);  // negative spread
    EXPECT_EQ(field_start_value(*c, *m, 0, 31), 4);
    EXPECT_EQ(field_start_value(*c, *m, 0, 42), 1000);
    c->pump_counter += 7;
  }
  EXPECT_TRUE(varied);
}

TEST_F(ModelConversion, ConversionsSaturateInsteadOfWrapping) {
  EXPECT_EQ(position_from_file(5000000), 2147483647);  // 5000 m
  EXPECT_EQ(position_from_file(-5000000), -2147483647 - 1);
  EXPECT_EQ(angle_to_file(2000000000), 2147483647);
  EXPECT_EQ(angle_to_file(-184320), -360000);
  EXPECT_EQ(spin_to_file(2000000000), 2147483647);
  EXPECT_EQ(velocity_to_file(2000000000), 117185211);  // 64-bit intermediate
}

TEST_F(ModelConversion, WriteBackUsesTheInverseConversions) {
  add(make_record({{1, "Shape"}, {8, "9"}, {36, "1"}}));
  add(make_record({{1, "Sprite"}, {36, "5"}}));
  struct {
    int32_t offset, value;
    int32_t field;
    const char* shape_text;
  } cases[] = {
      {ir::kPosX, 768000, 5, "1.500"},     {ir::kPosY, -1024, 6, "-0.002"},
      {ir::kPosZ, -512000, 7, "-1.000"},   {ir::kRotX, 46080, 11, "90.000"},
      {ir::kRotY, 23296, 12, "45.500"},    {ir::kRotZ, -1, 13, "-0.001"},
      {ir::kVelX, 17067, 17, "1.000"},     {ir::kVelY, 8533, 18, "0.499"},
      {ir::kVelZ, 1000000000, 19, "58592.605"},
      {ir::kSpinX, 1024, 23, "10.000"},    {ir::kSpinY, -102, 24, "-0.996"},
      {ir::kSpinZ, 200000000, 25, "1953125.000"},
      {ir::kScore, -5, 29, "-5"},          {ir::kId, 3, 31, "3"},
      {ir::kScaleX, 1500, 42, "1.500"},    {ir::kScaleY, 1000, 43, "1.000"},
      {ir::kScaleZ, 2, 44, "0.002"},
  };
  for (auto k : cases) {
    ir_set(instance(0), k.offset, k.value);
    ir_set(instance(1), k.offset, k.value);
  }
  write_back(*c, *m);
  for (auto k : cases) {
    EXPECT_EQ(field(0, k.field), k.shape_text) << "field " << k.field;
    EXPECT_EQ(field(1, k.field), std::to_string(k.value)) << "sprite field " << k.field;
  }
  EXPECT_EQ(field(0, 8), "9");  // spreads are not rewritten
  EXPECT_EQ(field(0, 1), "Shape");
  EXPECT_EQ(field(0, 36), "1");
}

TEST_F(ModelConversion, ScreenRectanglesAndCameraViewport) {
  add(make_record({{36, "5"}, {37, "100/100/200/200/3x4"}}));
  add(make_record({{36, "7"}, {37, "100/100/200/200"}}));
  add(make_record({{36, "0"}, {37, "160/120/479/359/0/20&40/7"}, {38, "1/3"}, {39, "4096/2/50/0"}}));
  add(make_record({{36, "0"}, {37, "160/120/479/359/0/20&40"}}));
  add(make_record({{36, "8"}, {37, "100/100/200/200"}}));
  for (int32_t i : {0, 1}) {
    ScreenRect r = screen_rect(*c, i, 800);
    EXPECT_EQ(std::vector<int32_t>({r.x1, r.y1, r.x2, r.y2}), std::vector<int32_t>({125, 125, 250, 250}));
    r = screen_rect(*c, i, 1024);
    EXPECT_EQ(std::vector<int32_t>({r.x1, r.y1, r.x2, r.y2}), std::vector<int32_t>({160, 160, 320, 320}));
    r = screen_rect(*c, i, 640);
    EXPECT_EQ(r.x2, 200);
  }
  EXPECT_EQ(screen_rect(*c, 4, 1024).x2, 200);  // counters are not scaled
  EXPECT_EQ(screen_rect(*c, 2, 1024).x2, 479);  // nor cameras
  int32_t a = 0, b = 0;
  screen_pair(*c, 0, a, b);
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, 4);

  CameraViewport v;
  ASSERT_TRUE(camera_viewport(*c, 2, v));
  EXPECT_EQ(v.rect.x1, 160);
  EXPECT_EQ(v.rect.y2, 359);
  EXPECT_EQ(v.option, 0);
  EXPECT_EQ(v.near_value, 20);
  EXPECT_EQ(v.far_value, 40);
  EXPECT_EQ(v.last, 7);
  EXPECT_FALSE(camera_viewport(*c, 3, v));

  EXPECT_EQ(aspect_option(*c, 2), 1);
  EXPECT_EQ(aspect_count(*c, 2), 3);
  aspect_count_set(*c, 2, 12);
  EXPECT_EQ(field(2, 38), "1/12");
  EXPECT_EQ(field(2, 39), "4096/2/50/0");
  EXPECT_EQ(sound_option(*c, 2, 3), 50);
}

}  // namespace korva::test
