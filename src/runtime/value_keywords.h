// Keywords of values: integer arithmetic, trigonometry in angle units (results scaled by 512),
// and timing by the frame counter.
#pragma once
#include <cstdint>

#include "core/system.h"

namespace korva {

struct KeywordBindings;

constexpr int32_t kDivideByZero = 2147483647;  // divide's result for a zero divisor
constexpr double kAngleUnitsPerRadian = 29335.0;  // 184320 / 2 pi, truncated

int32_t sum(System& s, int32_t a, int32_t b);
int32_t subtract(System& s, int32_t a, int32_t b);
int32_t multiply(System& s, int32_t a, int32_t b);
int32_t divide(System& s, int32_t a, int32_t b);
int32_t absolute_value(System& s, int32_t a);  // also abs
int32_t factor_512(System& s, int32_t a, int32_t b);
int32_t limit(System& s, int32_t v, int32_t lo, int32_t hi);
int32_t between(System& s, int32_t v, int32_t lo, int32_t hi);
int32_t wrap(System& s, int32_t v, int32_t lo, int32_t hi);
int32_t random(System& s, int32_t a, int32_t b);

int32_t sin_512(System& s, int32_t angle);
int32_t cos_512(System& s, int32_t angle);
int32_t tan_512(System& s, int32_t angle);
int32_t atan_512(System& s, int32_t t);
int32_t sqrt_512(System& s, int32_t v);

int32_t every_tics(System& s, int32_t n, int32_t until);
int32_t oscillate(System& s, int32_t amplitude, int32_t rate, int32_t phase);

void bind_value_keywords(KeywordBindings& b);

}  // namespace korva
