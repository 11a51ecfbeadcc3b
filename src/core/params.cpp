// Command-line "/" numbers.
#include "core/params.h"

#include "core/core.h"

namespace korva {

static bool is_blank(char ch) {
  return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r' || ch == '\v' || ch == '\f';
}

// The C library's text-to-integer rule (leading white space, an optional sign, digits up to the
// first non-digit), wrapping like a 32-bit register instead of overflowing.
static int32_t leading_int(std::string_view s, size_t i) {
  while (i < s.size() && is_blank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  uint32_t value = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) value = value * 10u + uint32_t(s[i] - '0');
  return static_cast<int32_t>(negative ? 0u - value : value);
}

void parse_params(Core& c, std::string_view s) {
  c.par_count = 0;
  size_t i = 0;
  while (i < s.size() && s[i] == '/') {
    // The list holds 256 numbers; the rest of a longer command line is ignored.
    if (c.par_count >= kMaxParams) break;
    c.par[c.par_count++] = leading_int(s, i + 1);
    while (i < s.size() && !is_blank(s[i])) ++i;
    while (i < s.size() && is_blank(s[i])) ++i;
  }
}

int32_t par_get(const Core& c, int32_t index) {
  if (index < 0 || index >= c.par_count || index >= kMaxParams) return 0;
  return c.par[index];
}

}  // namespace korva
