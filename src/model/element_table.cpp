// The element table: record access, names, type names, insertion and reference retargeting.
#include <algorithm>
#include <memory>

#include "model/model.h"
#include "model/model_local.h"

namespace korva {

namespace {
constexpr std::string_view kTypeNames =
    "CAMERA-type element|3D-SHAPE-type element|FLAT-SHAPE-type element|SHADOW-type element||"
    "SPRITE-type element|FRAME-type element|BACKGROUND-type element|COUNTER-type element|"
    "TRACK-type element|LIGHT-type element|VISUAL-type element|BOUNDARY-type element";
}

std::unique_ptr<Model> model_create() { return std::make_unique<Model>(); }

FixedString& element_record(Core& c, int32_t index) {
  // Out-of-range indices land on the unused slot 0 rather than outside the table.
  if (index < 0 || index >= kMaxElements) return *c.element_table[0];
  return *c.element_table[index + 1];
}

FixedString& element_field(Core& c, int32_t index, int32_t field) {
  return field_get(c, element_record(c, index), field, '|');
}

int32_t element_field_int(Core& c, int32_t index, int32_t field) {
  return str_to_int(element_field(c, index, field).view());
}

int32_t element_field_fixed3(Core& c, int32_t index, int32_t field) {
  return str_to_fixed3(element_field(c, index, field).view());
}

void element_field_set(Core& c, int32_t index, int32_t field, std::string_view value) {
  if (field < 1) return;
  FixedString& rec = element_record(c, index);
  std::string_view r = rec.view();
  // Where field n starts and ends, and how many delimiters must be added to reach it.
  size_t start = 0;
  int32_t missing = 0;
  for (int32_t seen = 1; seen < field; ++seen) {
    size_t at = r.find('|', start);
    if (at == std::string_view::npos) {
      missing = field - seen;
      start = r.size();
      break;
    }
    start = at + 1;
  }
  size_t end = missing ? r.size() : r.find('|', start);
  if (end == std::string_view::npos) end = r.size();
  int64_t grown = static_cast<int64_t>(start) + missing + value.size() + (r.size() - end);
  if (grown <= kStrCapacity) {
    str_set(c.str.operand, value);
    str_set(rec, field_set(c, r, field, '|'));
    return;
  }
  // Too long for a slot: the record keeps its start and the new value, and loses its end
  // (the accumulator rule would drop the whole tail instead).
  Temp out(c, r.substr(0, start));
  for (int32_t k = 0; k < missing; ++k) str_cat_char(*out, '|');
  std::string_view tail = r.substr(end);
  str_cat(*out, value.substr(0, std::min<size_t>(value.size(), kStrCapacity - out->len)));
  str_cat(*out, tail.substr(0, std::min<size_t>(tail.size(), kStrCapacity - out->len)));
  str_set(rec, *out);
}

int32_t element_type(Core& c, int32_t index) { return element_field_int(c, index, fld::kType); }

bool is_plain_integer_type(int32_t type) { return type == kTypeSprite || type == kTypeCounter; }

FixedString& element_name(Core& c, int32_t index) {
  Temp f1(c, element_field(c, index, fld::kName).view());
  std::string_view v = f1.view();
  size_t cut = v.find('(');
  if (cut != std::string_view::npos) v = v.substr(0, cut);
  Temp name(c, v);
  return str_trim(c, name.view());
}

FixedString& type_name(Core& c, int32_t type) {
  if (type < 0) return str_left(c, "", 0);
  return field_get(c, kTypeNames, type + 1, '|');
}

void rename_element(Core& c, int32_t index, std::string_view name) {
  Temp f1(c, element_field(c, index, fld::kName).view());
  std::string_view old = f1.view();
  // A delimiter or a line end in a name would split the record or the file line.
  Temp out(c);
  for (char ch : name)
    if (ch != '|' && ch != '\r' && ch != '\n') str_cat_char(*out, ch);
  size_t cut = old.find('(');
  if (cut != std::string_view::npos) {
    // The note is the text from the first "(" on, e.g. "(red one)".
    str_cat(*out, " ");
    str_cat(*out, old.substr(cut));
  }
  element_field_set(c, index, fld::kName, out.view());
}

FixedString& file_title(Core& c, std::string_view path) {
  Temp name(c, file_part(c, path).view());
  std::string_view v = name.view();
  size_t dot = v.rfind('.');
  if (dot != std::string_view::npos) v = v.substr(0, dot);
  Temp stem(c, v);
  return str_upper(c, stem.view());
}

void retarget_references(Core& c, const Model& m, int32_t old_index, int32_t new_index) {
  if (old_index == new_index) return;
  Temp params(c);
  Temp new_text(c, int_to_str(c, new_index).view());
  for (int32_t i = 0; i <= m.last_index && i < kMaxElements; ++i) {
    str_set(*params, element_field(c, i, fld::kParams));
    int32_t count = param_count(c, i);
    bool changed = false;
    for (int32_t j = 0; j < count; ++j) {
      if (str_to_int(field_get(c, *params, 3 * j + 2, '/').view()) != 1) continue;
      if (str_to_int(field_get(c, *params, 3 * j + 3, '/').view()) != old_index) continue;
      str_set(c.str.operand, *new_text);
      str_set(*params, field_set(c, *params, 3 * j + 3, '/'));
      changed = true;
    }
    if (changed) element_field_set(c, i, fld::kParams, params.view());
  }
}

bool insert_element(Core& c, Model& m, std::string_view record, int32_t position) {
  if (m.last_index + 1 >= kMaxElements) return false;
  Temp copy(c, record);  // the record may be a slot of the table or ResultString
  int32_t old_last = m.last_index;
  int32_t p = position < 0 ? 0 : (position > old_last + 1 ? old_last + 1 : position);
  for (int32_t k = old_last; k >= p; --k) str_set(element_record(c, k + 1), element_record(c, k));
  str_set(element_record(c, p), *copy);
  m.last_index = old_last + 1;
  // Downwards, so that a reference moved from j to j + 1 is not moved again.
  for (int32_t j = old_last; j >= p; --j) retarget_references(c, m, j, j + 1);
  if (m.shift_element_data) m.shift_element_data(p);
  if (p < m.load_first) ++m.load_first;
  if (p < m.load_last) ++m.load_last;
  return true;
}

}  // namespace korva
