// Keywords of values. Everything wraps in 32 bits as brain arithmetic does; the trigonometric
// keywords compute in floating point and round to the nearest integer (ties to even).
#include "runtime/value_keywords.h"

#include "engine/keyword_table.h"

#include <climits>
#include <cmath>

#include "core/core.h"
#include "engine/element_access.h"
#include "engine/rotation.h"
#include "model/run_state.h"

namespace korva {
namespace {

// A rounded floating-point result as a 32-bit value; out of range saturates, NaN gives 0.
int32_t round_to_int(double v) {
  if (std::isnan(v)) return 0;
  v = std::nearbyint(v);
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

double radians_of(int32_t angle) { return normalise_angle(angle) / kAngleUnitsPerRadian; }

}  // namespace

int32_t sum(System&, int32_t a, int32_t b) { return wrap_add(a, b); }
int32_t subtract(System&, int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
int32_t multiply(System&, int32_t a, int32_t b) { return wrap_mul(a, b); }

int32_t divide(System&, int32_t a, int32_t b) {
  // The one overflowing quotient (INT32_MIN / -1) also gives the zero-divisor answer.
  if (b == 0 || (a == INT32_MIN && b == -1)) return kDivideByZero;
  return a / b;
}

int32_t absolute_value(System&, int32_t a) { return a >= 0 ? a : wrap_mul(a, -1); }

int32_t factor_512(System&, int32_t a, int32_t b) {
  const int32_t r = wrap_mul(a, b) >> 9;
  return r == -1 ? 0 : r;
}

int32_t limit(System&, int32_t v, int32_t lo, int32_t hi) {
  if (v < lo) return lo;
  if (v >= hi) return hi;
  return v;
}

int32_t between(System&, int32_t v, int32_t lo, int32_t hi) { return lo <= v && v <= hi ? -1 : 0; }

int32_t wrap(System& s, int32_t v, int32_t lo, int32_t hi) { return wrap_range(*s.core, v, lo, hi); }

int32_t random(System& s, int32_t a, int32_t b) {
  return a > b ? random_range(*s.core, b, a) : random_range(*s.core, a, b);
}

int32_t sin_512(System&, int32_t angle) { return round_to_int(std::sin(radians_of(angle)) * 512); }
int32_t cos_512(System&, int32_t angle) { return round_to_int(std::cos(radians_of(angle)) * 512); }
int32_t tan_512(System&, int32_t angle) { return round_to_int(std::tan(radians_of(angle)) * 512); }
int32_t atan_512(System&, int32_t t) {
  return round_to_int(std::atan(t / 512.0) * kAngleUnitsPerRadian);
}
// The root of a negative value has no meaning; it reads 0 rather than an undefined number.
int32_t sqrt_512(System&, int32_t v) { return v < 0 ? 0 : round_to_int(std::sqrt(double(v)) * 512); }

int32_t every_tics(System& s, int32_t n, int32_t until) {
  const uint32_t tics = s.run ? s.run->tics : 0;
  const bool due = (tics & static_cast<uint32_t>(wrap_add(n, -1))) == 0;
  return tics < static_cast<uint32_t>(until) && due ? -1 : 0;
}

int32_t oscillate(System& s, int32_t amplitude, int32_t rate, int32_t phase) {
  const int32_t tics = static_cast<int32_t>(s.run ? s.run->tics : 0);
  const int32_t c = cos_512(s, wrap_add(wrap_mul(rate, tics), phase));
  return wrap_mul(amplitude, c) >> 9;
}

void bind_value_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"sum", keyword_routine<sum>},
      {"subtract", keyword_routine<subtract>},
      {"multiply", keyword_routine<multiply>},
      {"divide", keyword_routine<divide>},
      {"absolute_value", keyword_routine<absolute_value>},
      {"factor_512", keyword_routine<factor_512>},
      {"limit", keyword_routine<limit>},
      {"between", keyword_routine<between>},
      {"wrap", keyword_routine<wrap>},
      {"random", keyword_routine<random>},
      {"sin_512", keyword_routine<sin_512>},
      {"cos_512", keyword_routine<cos_512>},
      {"tan_512", keyword_routine<tan_512>},
      {"atan_512", keyword_routine<atan_512>},
      {"sqrt_512", keyword_routine<sqrt_512>},
      {"every_tics", keyword_routine<every_tics>},
      {"oscillate", keyword_routine<oscillate>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
