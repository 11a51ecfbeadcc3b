// The FixedString library: slots, copies, comparisons, fields, numbers, substrings, ranges.
// Every text-yielding function writes ResultString; inputs may alias ResultString, so results
// are built in a local buffer (or moved with memmove) before they land there.
#include "core/fixed_string.h"

#include <cstdio>

#include "core/core.h"

namespace korva {
namespace {

// A result under construction; appends past the capacity are dropped.
struct Builder {
  char buf[kStrCapacity];
  int32_t n = 0;
  void put(char ch) {
    if (n < kStrCapacity) buf[n++] = ch;
  }
  // The accumulator rule: a piece that would not fit is not appended at all.
  void append(std::string_view v) {
    if (n + static_cast<int64_t>(v.size()) > kStrCapacity || v.empty()) return;
    std::memcpy(buf + n, v.data(), v.size());
    n += static_cast<int32_t>(v.size());
  }
};

FixedString& finish(Core& c, const Builder& b) {
  if (b.n > 0) std::memcpy(c.str.result.text, b.buf, static_cast<size_t>(b.n));
  c.str.result.len = b.n;
  return c.str.result;
}

FixedString& set_result(Core& c, std::string_view v) {
  size_t n = v.size() > size_t(kStrCapacity) ? size_t(kStrCapacity) : v.size();
  if (n > 0) std::memmove(c.str.result.text, v.data(), n);
  c.str.result.len = static_cast<int32_t>(n);
  return c.str.result;
}

int32_t remember(Core& c, int32_t v) {
  c.str.last_result = v;
  return v;
}

char lower_ascii(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch + 32) : ch; }
char upper_ascii(char ch) { return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 32) : ch; }

}  // namespace

// ---- Slots and copies ----

FixedString& str_temp(Core& c) {
  if (c.str.top <= 0) {
    c.str.overflow.len = 0;
    return c.str.overflow;
  }
  FixedString& s = c.str.stack[--c.str.top];
  s.len = 0;
  return s;
}

void str_release(Core& c, const FixedString& s) {
  if (c.str.top < kStringStackSlots && &s == &c.str.stack[c.str.top]) ++c.str.top;
}

bool str_temp_array(Core& c, FixedString** table, int32_t n) {
  if (n < 0 || n + 1 > c.str.top) return false;
  for (int32_t i = 0; i <= n; ++i) table[i] = &str_temp(c);
  return true;
}

int32_t str_stack_free(const Core& c) { return c.str.top; }

void str_set(FixedString& target, std::string_view source) {
  if (source.data() == target.text) {
    target.len = static_cast<int32_t>(source.size());
    return;
  }
  size_t n = source.size() > size_t(kStrCapacity) ? size_t(kStrCapacity) : source.size();
  if (n > 0) std::memmove(target.text, source.data(), n);
  target.len = static_cast<int32_t>(n);
}

void str_cat(FixedString& target, std::string_view source) {
  int32_t len = static_cast<int32_t>(target.view().size());
  if (len + static_cast<int64_t>(source.size()) > kStrCapacity || source.empty()) return;
  std::memmove(target.text + len, source.data(), source.size());
  target.len = len + static_cast<int32_t>(source.size());
}

void str_cat_char(FixedString& target, char ch) {
  int32_t len = static_cast<int32_t>(target.view().size());
  if (len >= kStrCapacity) return;
  target.text[len] = ch;
  target.len = len + 1;
}

void str_from_platform(FixedString& target, const char* text) {
  target.len = 0;
  if (!text) return;
  const void* end = std::memchr(text, 0, kStrCapacity + 1);
  if (!end) return;
  str_set(target, std::string_view(text, static_cast<const char*>(end) - text));
}

// ---- Comparison and measure ----

int32_t str_equal(Core& c, std::string_view a, std::string_view b) { return remember(c, a == b ? 0 : 1); }

int32_t str_cmp(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int32_t str_icmp(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(lower_ascii(a[i]));
    auto y = static_cast<unsigned char>(lower_ascii(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int32_t str_len(Core& c, std::string_view s) { return remember(c, static_cast<int32_t>(s.size())); }

int32_t first_code(Core& c, std::string_view s) {
  return remember(c, s.empty() ? 0 : static_cast<unsigned char>(s[0]));
}

// ---- Fields ----

std::string_view field_view(std::string_view s, int32_t n, char d) {
  if (n <= 0 || d == 0 || s.empty()) return {};
  size_t start = 0;
  for (int32_t seen = 1; seen < n; ++seen) {
    size_t at = s.find(d, start);
    if (at == std::string_view::npos) return {};
    start = at + 1;
  }
  size_t end = s.find(d, start);
  if (end == std::string_view::npos) end = s.size();
  return s.substr(start, end - start);
}

std::vector<std::string> fields_split(std::string_view s, char d) {
  std::vector<std::string> fields;
  for (size_t start = 0;;) {
    const size_t at = s.find(d, start);
    fields.emplace_back(s.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) return fields;
    start = at + 1;
  }
}

FixedString& field_get(Core& c, std::string_view s, int32_t n, char d) { return set_result(c, field_view(s, n, d)); }

FixedString& field_set(Core& c, std::string_view s, int32_t n, char d) {
  Builder b;
  if (n <= 0 || d == 0) return finish(c, b);
  size_t i = 0;
  int32_t copied = 0;  // delimiters copied so far
  while (copied < n - 1 && i < s.size()) {
    b.put(s[i]);
    if (s[i] == d) ++copied;
    ++i;
  }
  for (; copied < n - 1; ++copied) b.put(d);
  b.append(c.str.operand.view());
  size_t rest = s.find(d, i);
  if (rest != std::string_view::npos) b.append(s.substr(rest));
  return finish(c, b);
}

int32_t field_count(Core& c, std::string_view s, char d) {
  if (s.empty()) return remember(c, 0);
  int32_t count = 1;
  for (char ch : s)
    if (ch == d) ++count;
  return remember(c, count);
}

// ---- Numbers ----

int32_t str_to_int(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && s[i] == '-') {
    negative = true;
    ++i;
  }
  uint32_t value = 0;  // wraps on overflow like the 32-bit register it stands for
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) value = value * 10u + uint32_t(s[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

int32_t str_to_int(Core& c, std::string_view s) { return remember(c, str_to_int(s)); }

FixedString& int_to_str(Core& c, int32_t v) {
  char buf[16];
  int n = std::snprintf(buf, sizeof buf, "%d", v);
  return set_result(c, std::string_view(buf, static_cast<size_t>(n)));
}

FixedString& int_to_hex(Core& c, int32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", static_cast<uint32_t>(v));
  return set_result(c, std::string_view(buf, 8));
}

int32_t str_to_fixed3(std::string_view s) {
  size_t dot = s.find('.');
  std::string_view whole = s.substr(0, dot);
  std::string_view fraction = dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1);
  size_t dot2 = fraction.find('.');  // field 2 ends at a second "."
  if (dot2 != std::string_view::npos) fraction = fraction.substr(0, dot2);
  char joined[kStrCapacity + 3];
  size_t n = whole.size() > size_t(kStrCapacity) ? size_t(kStrCapacity) : whole.size();
  if (n > 0) std::memcpy(joined, whole.data(), n);
  for (size_t k = 0; k < 3; ++k) joined[n + k] = k < fraction.size() ? fraction[k] : '0';
  return str_to_int(std::string_view(joined, n + 3));
}

int32_t str_to_fixed3(Core& c, std::string_view s) { return remember(c, str_to_fixed3(s)); }

FixedString& str_from_fixed3(Core& c, int32_t v) {
  int64_t m = v < 0 ? -static_cast<int64_t>(v) : v;
  char buf[32];
  int n = std::snprintf(buf, sizeof buf, "%s%lld.%03lld", v < 0 ? "-" : "",
                        static_cast<long long>(m / 1000), static_cast<long long>(m % 1000));
  return set_result(c, std::string_view(buf, static_cast<size_t>(n)));
}

FixedString& char_str(Core& c, int32_t code) {
  char ch = static_cast<char>(code & 0xFF);
  return set_result(c, std::string_view(&ch, 1));
}

// ---- Substrings and transformations ----

FixedString& str_mid(Core& c, std::string_view s, int32_t start, int32_t n) {
  int64_t len = static_cast<int64_t>(s.size());
  if (start <= 0) start = 1;
  if (n <= 0 || start > len) return set_result(c, {});
  int64_t count = n < len - start + 1 ? n : len - start + 1;
  return set_result(c, s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count)));
}

FixedString& str_left(Core& c, std::string_view s, int32_t n) { return str_mid(c, s, 1, n); }

FixedString& str_right(Core& c, std::string_view s, int32_t n) {
  int64_t len = static_cast<int64_t>(s.size());
  if (n <= 0) return set_result(c, {});
  if (n > len) n = static_cast<int32_t>(len);
  return str_mid(c, s, static_cast<int32_t>(len - n + 1), n);
}

FixedString& str_drop_right(Core& c, std::string_view s, int32_t n) {
  int64_t keep = static_cast<int64_t>(s.size()) - n;
  if (keep <= 0) return set_result(c, {});
  if (keep > static_cast<int64_t>(s.size())) keep = static_cast<int64_t>(s.size());
  return str_mid(c, s, 1, static_cast<int32_t>(keep));
}

FixedString& str_drop_left(Core& c, std::string_view s, int32_t n) {
  if (n < 0) n = 0;
  int64_t keep = static_cast<int64_t>(s.size()) - n;
  if (keep <= 0) return set_result(c, {});
  return str_mid(c, s, n + 1, static_cast<int32_t>(keep));
}

FixedString& str_upper(Core& c, std::string_view s) {
  Builder b;
  for (char ch : s) b.put(ch == '\t' ? ' ' : upper_ascii(ch));
  return finish(c, b);
}

FixedString& str_lower(Core& c, std::string_view s) {
  Builder b;
  for (char ch : s) b.put(ch == '\t' ? ' ' : lower_ascii(ch));
  return finish(c, b);
}

FixedString& str_trim(Core& c, std::string_view s) {
  size_t from = s.find_first_not_of(" \t");
  if (from == std::string_view::npos) return set_result(c, {});
  size_t to = s.find_last_not_of(" \t");
  return set_result(c, s.substr(from, to - from + 1));
}

FixedString& str_mask_quoted(Core& c, std::string_view s) {
  Builder b;
  bool inside = false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '"') {
      // Only a quote that has a partner opens a masked run.
      if (!inside && s.find('"', i + 1) == std::string_view::npos) {
        b.put(s[i]);
        continue;
      }
      inside = !inside;
      b.put('"');
    } else {
      b.put(inside ? '.' : s[i]);
    }
  }
  return finish(c, b);
}

FixedString& str_repeat(Core& c, std::string_view s, int32_t n) {
  if (n <= 1) return set_result(c, s);
  Builder b;
  for (int32_t i = 0; i < n; ++i) {
    if (b.n + static_cast<int64_t>(s.size()) > kStrCapacity) break;
    b.append(s);
  }
  return finish(c, b);
}

int32_t str_find(Core& c, std::string_view s, int32_t start) {
  std::string_view what = c.str.operand.view();
  int64_t len = static_cast<int64_t>(s.size());
  if (what.empty() || start < 1 || start > len ||
      len - start + 1 < static_cast<int64_t>(what.size()))
    return remember(c, 0);
  size_t at = s.find(what, static_cast<size_t>(start - 1));
  return remember(c, at == std::string_view::npos ? 0 : static_cast<int32_t>(at + 1));
}

FixedString& str_replace_all(Core& c, std::string_view s, std::string_view search,
                             std::string_view replacement) {
  if (s.empty()) return set_result(c, {});
  if (search.empty()) return set_result(c, s);
  Builder b;
  size_t i = 0;
  while (i < s.size()) {
    if (s.compare(i, search.size(), search) == 0 && i + search.size() <= s.size()) {
      b.append(replacement);
      i += search.size();
    } else {
      b.put(s[i++]);
    }
  }
  return finish(c, b);
}

namespace {

// Quicksort of list-table slot references: middle pivot swapped to the front, one
// partitioning pass, pivot into place, both sides recursively.
void sort_slots(FixedString** t, int32_t first, int32_t last) {
  while (first < last) {
    int32_t mid = (first + last) / 2;
    std::swap(t[first], t[mid]);
    int32_t store = first;
    for (int32_t i = first + 1; i <= last; ++i)
      if (str_icmp(t[i]->view(), t[first]->view()) < 0) std::swap(t[++store], t[i]);
    std::swap(t[first], t[store]);
    // Recurse into the smaller side, loop on the larger: the depth stays logarithmic.
    if (store - first < last - store) {
      sort_slots(t, first, store - 1);
      first = store + 1;
    } else {
      sort_slots(t, store + 1, last);
      last = store - 1;
    }
  }
}

}  // namespace

void str_sort(Core& c, int32_t first, int32_t last) {
  if (first < 0) first = 0;
  if (last > kListTableSlots - 1) last = kListTableSlots - 1;
  sort_slots(c.list_table, first, last);
}

// ---- Integers and ranges ----

int32_t wrap_range(int32_t v, int32_t lo, int32_t hi) {
  if (lo >= hi) return hi;
  if (v >= lo && v <= hi) return v;
  int64_t span = static_cast<int64_t>(hi) - lo + 1;
  if (v > hi) return static_cast<int32_t>(lo + (static_cast<int64_t>(v) - hi - 1) % span);
  int64_t r = (static_cast<int64_t>(hi) + 1 - v) % span;
  return r != 0 ? static_cast<int32_t>(static_cast<int64_t>(hi) + 1 - r) : lo;
}

int32_t wrap_range(Core& c, int32_t v, int32_t lo, int32_t hi) {
  return remember(c, wrap_range(v, lo, hi));
}

int32_t clamp_range(Core& c, int32_t v, int32_t lo, int32_t hi) {
  return remember(c, v < lo ? lo : (v > hi ? hi : v));
}

int32_t random_range(Core& c, int32_t lo, int32_t hi) {
  if (lo >= hi) return remember(c, lo);
  constexpr int32_t kTable = 2000;
  if (c.random_cursor >= 1997 || c.random_cursor < 0) c.random_cursor = 0;
  ++c.random_cursor;
  // The cursor can stand at 1997, whose word would reach one byte past the table: that byte
  // is read from the table's start instead.
  const uint8_t* t = c.pool(Pool::Random);
  uint32_t word = 0;
  for (int32_t k = 3; k >= 0; --k) word = (word << 8) | t[(c.random_cursor + k) % kTable];
  uint32_t sum = word + c.pump_counter * 65537u;
  return remember(c, wrap_range(static_cast<int32_t>(sum >> 1), lo, hi));
}

// ---- Text output ----

void print_text(Core& c, std::string_view s) {
  if (c.files.output >= 0) {
    write_bytes(c, s.data(), static_cast<int64_t>(s.size()));
  } else if (c.screen_print) {
    c.screen_print(s, false);
  }
}

void print_line(Core& c, std::string_view s) {
  if (c.files.output >= 0) {
    write_bytes(c, s.data(), static_cast<int64_t>(s.size()));
    write_bytes(c, "\r\n", 2);
  } else if (c.screen_print) {
    c.screen_print(s, true);
  }
}

}  // namespace korva
