// FixedString: the one text type of the system, a 32-bit length and up to 2044 bytes in a
// 2048-byte slot, with the StringStack of temporaries and the result accumulators.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

struct Core;

constexpr int32_t kStrCapacity = 2044;     // bytes of text in one slot
constexpr int32_t kStrSlotBytes = 2048;    // length word + text
constexpr int32_t kStringStackSlots = 1280;

struct FixedString {
  int32_t len = 0;
  char text[kStrCapacity];

  // The text as a view; the length is clamped so a damaged length never reads outside the slot.
  std::string_view view() const {
    int32_t n = len < 0 ? 0 : (len > kStrCapacity ? kStrCapacity : len);
    return {text, static_cast<size_t>(n)};
  }
  operator std::string_view() const { return view(); }
  bool empty() const { return len <= 0; }
};
static_assert(sizeof(FixedString) == kStrSlotBytes);

// StringStack, accumulators and LastResult: one set per system.
struct StringState {
  FixedString* stack = nullptr;  // kStringStackSlots slots (the StringStack pool)
  int32_t top = kStringStackSlots;  // index of the slot most recently taken; moves down
  FixedString result;   // ResultString
  FixedString operand;  // OperandString: search text of str_find, new value of field_set
  FixedString replace;  // ReplaceString
  int32_t last_result = 0;
  // Handed out when the StringStack is exhausted, so a runaway caller gets scratch space
  // instead of a write outside the pool; releasing it does nothing.
  FixedString overflow;
};

// A 0-terminated copy of a text for platform calls (the slot has no room for the terminator).
struct PlatformText {
  char s[kStrCapacity + 1];
  explicit PlatformText(std::string_view v) {
    size_t n = v.size() > size_t(kStrCapacity) ? size_t(kStrCapacity) : v.size();
    std::memcpy(s, v.data(), n);
    s[n] = 0;
  }
  const char* c_str() const { return s; }
};

// ---- Slots and copies ----
FixedString& str_temp(Core& c);                   // next StringStack slot, emptied
void str_release(Core& c, const FixedString& s);  // gives the slot back only if it is the top
// Takes n + 1 emptied slots into table[0..n]; returns false (taking nothing) when the stack is short.
bool str_temp_array(Core& c, FixedString** table, int32_t n);
int32_t str_stack_free(const Core& c);            // slots still free on the StringStack
void str_set(FixedString& target, std::string_view source);
// Appends; an append past the capacity leaves the target unchanged (like the accumulators).
void str_cat(FixedString& target, std::string_view source);
void str_cat_char(FixedString& target, char ch);
// Copies a 0-terminated platform text; no terminator within the capacity gives an empty string.
void str_from_platform(FixedString& target, const char* text);

// ---- Comparison and measure ----
int32_t str_equal(Core& c, std::string_view a, std::string_view b);  // 0 when equal
int32_t str_cmp(std::string_view a, std::string_view b);   // -1, 0, 1 (unsigned bytes)
int32_t str_icmp(std::string_view a, std::string_view b);  // as str_cmp, A..Z fold to a..z
int32_t str_len(Core& c, std::string_view s);
int32_t first_code(Core& c, std::string_view s);

// ---- Fields (1-based, one-character delimiter) ----
FixedString& field_get(Core& c, std::string_view s, int32_t n, char d);
// The same field as a view into s, for lines longer than a slot and callers without a Core.
std::string_view field_view(std::string_view s, int32_t n, char d);
FixedString& field_set(Core& c, std::string_view s, int32_t n, char d);  // value: c.str.operand
int32_t field_count(Core& c, std::string_view s, char d);
// Every field of s in order (an empty s is one empty field).
std::vector<std::string> fields_split(std::string_view s, char d);

// ---- Numbers ----
int32_t str_to_int(Core& c, std::string_view s);
int32_t str_to_int(std::string_view s);  // the same conversion without touching LastResult
FixedString& int_to_str(Core& c, int32_t v);
FixedString& int_to_hex(Core& c, int32_t v);
int32_t str_to_fixed3(Core& c, std::string_view s);
int32_t str_to_fixed3(std::string_view s);
FixedString& str_from_fixed3(Core& c, int32_t v);
FixedString& char_str(Core& c, int32_t code);

// ---- Substrings and transformations ----
FixedString& str_left(Core& c, std::string_view s, int32_t n);
FixedString& str_right(Core& c, std::string_view s, int32_t n);
FixedString& str_mid(Core& c, std::string_view s, int32_t start, int32_t n);
FixedString& str_drop_right(Core& c, std::string_view s, int32_t n);
FixedString& str_drop_left(Core& c, std::string_view s, int32_t n);
FixedString& str_upper(Core& c, std::string_view s);
FixedString& str_lower(Core& c, std::string_view s);
FixedString& str_trim(Core& c, std::string_view s);
FixedString& str_mask_quoted(Core& c, std::string_view s);
FixedString& str_repeat(Core& c, std::string_view s, int32_t n);
int32_t str_find(Core& c, std::string_view s, int32_t start);  // search text: c.str.operand
FixedString& str_replace_all(Core& c, std::string_view s, std::string_view search,
                             std::string_view replacement);
void str_sort(Core& c, int32_t first, int32_t last);  // list table slots, by str_icmp

// ---- Integers and ranges ----
int32_t random_range(Core& c, int32_t lo, int32_t hi);
int32_t clamp_range(Core& c, int32_t v, int32_t lo, int32_t hi);
int32_t wrap_range(Core& c, int32_t v, int32_t lo, int32_t hi);
int32_t wrap_range(int32_t v, int32_t lo, int32_t hi);  // without touching LastResult
int64_t ticks_now(const Core& c);

// ---- Text output: the selected output file, or the screen when none is selected ----
void print_text(Core& c, std::string_view s);
void print_line(Core& c, std::string_view s);

}  // namespace korva
