// The brain parameter list of field 35: "/"-separated, the entry count first, then one
// (kind, value, target) triple per entry. Entry j has its kind in sub-field 3j + 2.
#include "model/model.h"
#include "model/model_local.h"

namespace korva {

namespace {

int32_t param_sub_int(Core& c, int32_t index, int32_t sub) {
  Temp params(c, element_field(c, index, fld::kParams).view());
  return str_to_int(field_get(c, *params, sub, '/').view());
}

void param_sub_set(Core& c, int32_t index, int32_t sub, std::string_view value) {
  Temp params(c, element_field(c, index, fld::kParams).view());
  str_set(c.str.operand, value);
  Temp updated(c, field_set(c, *params, sub, '/').view());
  element_field_set(c, index, fld::kParams, updated.view());
}

bool valid_entry(int32_t entry) { return entry >= 0 && entry < kMaxParamEntries; }

}  // namespace

int32_t param_count(Core& c, int32_t index) {
  int32_t n = param_sub_int(c, index, 1);
  return n < 0 ? 0 : (n > kMaxParamEntries ? kMaxParamEntries : n);
}

int32_t param_kind(Core& c, int32_t index, int32_t entry) {
  return valid_entry(entry) ? param_sub_int(c, index, 3 * entry + 2) : 0;
}

FixedString& param_value(Core& c, int32_t index, int32_t entry) {
  if (!valid_entry(entry)) return str_left(c, "", 0);
  Temp params(c, element_field(c, index, fld::kParams).view());
  return field_get(c, *params, 3 * entry + 3, '/');
}

int32_t param_target(Core& c, int32_t index, int32_t entry) {
  return valid_entry(entry) ? param_sub_int(c, index, 3 * entry + 4) : 0;
}

void param_count_set(Core& c, int32_t index, int32_t count) {
  Temp t(c, int_to_str(c, count).view());
  param_sub_set(c, index, 1, t.view());
}

void param_kind_set(Core& c, int32_t index, int32_t entry, int32_t kind) {
  if (!valid_entry(entry)) return;
  Temp t(c, int_to_str(c, kind).view());
  param_sub_set(c, index, 3 * entry + 2, t.view());
}

void param_value_set(Core& c, int32_t index, int32_t entry, std::string_view value) {
  if (!valid_entry(entry)) return;
  // "/" and "|" would shift the sub-fields and fields after the value.
  Temp clean(c);
  for (char ch : value)
    if (ch != '/' && ch != '|' && ch != '\r' && ch != '\n') str_cat_char(*clean, ch);
  param_sub_set(c, index, 3 * entry + 3, clean.view());
}

void param_target_set(Core& c, int32_t index, int32_t entry, int32_t target) {
  if (!valid_entry(entry)) return;
  Temp t(c, int_to_str(c, target).view());
  param_sub_set(c, index, 3 * entry + 4, t.view());
}

int32_t param_stored_value(Core& c, int32_t index, int32_t entry, const ResolveName& resolve) {
  int32_t kind = param_kind(c, index, entry);
  Temp value(c, param_value(c, index, entry).view());
  switch (kind) {
    case 1: return element_handle(str_to_int(value.view()));
    case 3: return position_from_file(str_to_fixed3(value.view()));
    case 4: return angle_from_file(str_to_fixed3(value.view()));
    case 5: return velocity_from_file(str_to_fixed3(value.view()));
    case 6: return spin_from_file(str_to_fixed3(value.view()));
    case 7: return resolve ? resolve(value.view()) : 0;
    default: return str_to_int(value.view());  // kinds 0 and 2
  }
}

void store_brain_parameters(Core& c, int32_t index, const ResolveName& resolve) {
  if (index < 0 || index >= kInstanceRecords) return;
  uint8_t* record = c.pool(Pool::Instances) + index * kInstanceRecordBytes;
  int32_t count = param_count(c, index);
  for (int32_t j = 0; j < count; ++j) {
    int32_t kind = param_kind(c, index, j);
    if (kind < 0 || kind > 7) continue;
    int32_t target = param_target(c, index, j);
    int32_t offset = param_offset(target);
    if (offset < 0 || offset > kInstanceRecordBytes - 4) continue;
    ir_set(record, offset, param_stored_value(c, index, j, resolve));
  }
}

}  // namespace korva
