// Numeric fields of the element record: conversion from file values (thousandths) into engine
// units and back, random spreads, the instance words they fill, and the "/"-separated screen,
// aspect and sound fields.
#include <cstdlib>
#include <iterator>
#include <limits>
#include <span>

#include "model/model.h"
#include "model/model_local.h"

namespace korva {

namespace {

int32_t saturate(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

// Which conversion a field of the 5..28 block uses: 0 position, 1 angle, 2 velocity, 3 spin.
int32_t value_group(int32_t field) { return (field - fld::kPosX) / 6; }

int32_t convert_group(int32_t group, int32_t thousandths) {
  switch (group) {
    case 0: return position_from_file(thousandths);
    case 1: return angle_from_file(thousandths);
    case 2: return velocity_from_file(thousandths);
    default: return spin_from_file(thousandths);
  }
}

int32_t revert_group(int32_t group, int32_t v) {
  switch (group) {
    case 0: return position_to_file(v);
    case 1: return angle_to_file(v);
    case 2: return velocity_to_file(v);
    default: return spin_to_file(v);
  }
}

// The value of a field in engine units, before any spread.
int32_t field_engine_value(Core& c, int32_t index, int32_t field, bool plain) {
  if (field >= fld::kPosX && field <= fld::kSpinSpreadX + 2) {
    if (plain) return element_field_int(c, index, field);
    return convert_group(value_group(field), element_field_fixed3(c, index, field));
  }
  if (field == fld::kCollisionRadius) {
    int32_t v = plain ? element_field_int(c, index, field) : element_field_fixed3(c, index, field);
    return v < 0 ? saturate(-static_cast<int64_t>(v)) : v;
  }
  if (field >= fld::kScaleX && field <= fld::kScaleZ) {
    int32_t v = plain ? element_field_int(c, index, field) : element_field_fixed3(c, index, field);
    return v == 0 ? 1000 : v;
  }
  return element_field_int(c, index, field);  // 29, 31 and the plain integer fields
}

// The field that holds the spread of a value field, or 0 when the value has none. Fields 31 and
// 42..44 have none: the field after each of them holds another value (the collision radius, the
// next scale, parameter editor data), which must not randomise the id or the scales.
int32_t spread_field(int32_t field) {
  if (field >= fld::kPosX && field <= fld::kSpinSpreadX + 2 && (field - fld::kPosX) % 6 < 3)
    return field + 3;
  if (field == fld::kCredits) return fld::kCreditsSpread;
  return 0;
}

}  // namespace

int32_t position_from_file(int32_t t) { return saturate(int64_t{t} * 512); }
int32_t angle_from_file(int32_t t) { return saturate(int64_t{t} * 512 / 1000); }
int32_t velocity_from_file(int32_t t) { return saturate(int64_t{t} * 17067 / 1000); }
int32_t spin_from_file(int32_t t) { return saturate(int64_t{t} * 1024 / 10000); }
int32_t position_to_file(int32_t v) { return v / 512; }
int32_t angle_to_file(int32_t v) { return saturate(int64_t{v} * 1000 / 512); }
int32_t velocity_to_file(int32_t v) { return saturate(int64_t{v} * 1000 / 17067); }
int32_t spin_to_file(int32_t v) { return saturate(int64_t{v} * 10000 / 1024); }

int32_t field_start_value(Core& c, const Model& m, int32_t index, int32_t field) {
  bool plain = is_plain_integer_type(element_type(c, index));
  int32_t v = field_engine_value(c, index, field, plain);
  int32_t sf = spread_field(field);
  if (!m.run_flag || sf == 0) return v;
  int32_t s = sf == fld::kCreditsSpread ? element_field_int(c, index, sf)
                                        : field_engine_value(c, index, sf, plain);
  if (s <= 0) return v;  // a zero or negative spread leaves the value as written
  return random_range(c, saturate(int64_t{v} - s), saturate(int64_t{v} + s));
}

// The element fields the instance record carries and their words, in the order the object
// pass fills them (each spread draws the next random number). The virtual editor's write-back
// takes every row but the last back into the fields.
struct FieldWord {
  int32_t field, offset;
};
constexpr FieldWord kFieldWords[] = {
    {fld::kPosX, ir::kPosX},         {fld::kPosX + 1, ir::kPosY},     {fld::kPosX + 2, ir::kPosZ},
    {fld::kRotX, ir::kRotX},         {fld::kRotX + 1, ir::kRotY},     {fld::kRotX + 2, ir::kRotZ},
    {fld::kVelX, ir::kVelX},         {fld::kVelX + 1, ir::kVelY},     {fld::kVelX + 2, ir::kVelZ},
    {fld::kSpinX, ir::kSpinX},       {fld::kSpinX + 1, ir::kSpinY},   {fld::kSpinX + 2, ir::kSpinZ},
    {fld::kCredits, ir::kScore},     {fld::kId, ir::kId},             {fld::kScaleX, ir::kScaleX},
    {fld::kScaleY, ir::kScaleY},     {fld::kScaleZ, ir::kScaleZ},
    {fld::kCollisionRadius, ir::kCollisionRadius},
};
constexpr size_t kWrittenBack = std::size(kFieldWords) - 1;  // all but the collision radius

void fill_instance_fields(Core& c, const Model& m, int32_t index) {
  if (index < 0 || index >= kInstanceRecords) return;
  uint8_t* rec = c.pool(Pool::Instances) + index * kInstanceRecordBytes;
  for (const auto& w : kFieldWords) ir_set(rec, w.offset, field_start_value(c, m, index, w.field));
  int32_t flags = ir_get(rec, ir::kFlags) & ~ir::kFlagActive;
  flags |= element_field_int(c, index, fld::kOptions) & ir::kFlagActive;
  ir_set(rec, ir::kFlags, flags);
  ir_set(rec, ir::kNetFlags, element_field_int(c, index, fld::kNetFlags));
  ir_set(rec, ir::kMachine, element_field_int(c, index, fld::kMachine));
}

void write_back(Core& c, const Model& m) {
  const std::span<const FieldWord> kMoved(kFieldWords, kWrittenBack);
  for (int32_t i = 0; i <= m.last_index && i < kInstanceRecords; ++i) {
    const uint8_t* rec = c.pool(Pool::Instances) + i * kInstanceRecordBytes;
    bool plain = is_plain_integer_type(element_type(c, i));
    for (const auto& w : kMoved) {
      int32_t v = ir_get(rec, w.offset);
      Temp text(c);
      if (plain || w.field == fld::kCredits || w.field == fld::kId)
        str_set(*text, int_to_str(c, v));
      else if (w.field >= fld::kScaleX)
        str_set(*text, str_from_fixed3(c, v));
      else
        str_set(*text, str_from_fixed3(c, revert_group(value_group(w.field), v)));
      element_field_set(c, i, w.field, text.view());
    }
  }
}

int32_t scale_to_display(int32_t v, int32_t screen_width) {
  if (screen_width == 800) return saturate((int64_t{v} * 125 + 1) / 100);
  if (screen_width == 1024) return saturate((int64_t{v} * 160 + 1) / 100);
  return v;
}

ScreenRect screen_rect(Core& c, int32_t index, int32_t screen_width) {
  Temp f(c, element_field(c, index, fld::kScreen).view());
  int32_t v[4];
  for (int32_t k = 0; k < 4; ++k) v[k] = str_to_int(field_get(c, *f, k + 1, '/').view());
  int32_t type = element_type(c, index);
  if (type == kTypeSprite || type == kTypeBackground)
    for (int32_t& x : v) x = scale_to_display(x, screen_width);
  return {v[0], v[1], v[2], v[3]};
}

void screen_pair(Core& c, int32_t index, int32_t& a, int32_t& b) {
  Temp f(c, element_field(c, index, fld::kScreen).view());
  Temp sub(c, field_get(c, *f, 5, '/').view());
  a = str_to_int(field_get(c, *sub, 1, 'x').view());
  b = str_to_int(field_get(c, *sub, 2, 'x').view());
}

bool camera_viewport(Core& c, int32_t index, CameraViewport& out) {
  Temp f(c, element_field(c, index, fld::kScreen).view());
  if (field_count(c, *f, '/') != 7) return false;
  int32_t v[4];
  for (int32_t k = 0; k < 4; ++k) v[k] = str_to_int(field_get(c, *f, k + 1, '/').view());
  out.rect = {v[0], v[1], v[2], v[3]};
  out.option = str_to_int(field_get(c, *f, 5, '/').view());
  Temp sub6(c, field_get(c, *f, 6, '/').view());
  out.near_value = str_to_int(field_get(c, *sub6, 1, '&').view());
  out.far_value = str_to_int(field_get(c, *sub6, 2, '&').view());
  out.last = str_to_int(field_get(c, *f, 7, '/').view());
  return true;
}

namespace {
int32_t sub_field_int(Core& c, int32_t index, int32_t field, int32_t n) {
  Temp f(c, element_field(c, index, field).view());
  return str_to_int(field_get(c, *f, n, '/').view());
}
}  // namespace

int32_t aspect_option(Core& c, int32_t index) { return sub_field_int(c, index, fld::kAspect, 1); }

int32_t aspect_count(Core& c, int32_t index) { return sub_field_int(c, index, fld::kAspect, 2); }

void aspect_count_set(Core& c, int32_t index, int32_t count) {
  Temp f(c, element_field(c, index, fld::kAspect).view());
  str_set(c.str.operand, int_to_str(c, count));
  Temp updated(c, field_set(c, *f, 2, '/').view());
  element_field_set(c, index, fld::kAspect, updated.view());
}

int32_t sound_option(Core& c, int32_t index, int32_t n) {
  return sub_field_int(c, index, fld::kSoundOptions, n);
}

}  // namespace korva
