// Keywords of element data: score, id, brain call counter, the flag and signal bit sets,
// pocket bytes, any word of the record by index, and element handles. (`execute` belongs to
// the brain machine.)
#pragma once
#include <cstdint>

#include "core/system.h"

namespace korva {

struct KeywordBindings;

constexpr int32_t kRegisterWords = 256;  // register indices 0..255 stay inside the record

int32_t score(System& s, int32_t e);  // also credits
void score_set(System& s, int32_t e, int32_t v);
void score_add(System& s, int32_t e, int32_t v);
int32_t element_id(System& s, int32_t e);
void element_id_set(System& s, int32_t e, int32_t v);
int32_t timer(System& s, int32_t e);
void timer_set(System& s, int32_t e, int32_t v);
int32_t state(System& s, int32_t e, int32_t mask);
void state_set(System& s, int32_t e, int32_t mask);
void state_reset(System& s, int32_t e, int32_t mask);
void on(System& s, int32_t e);   // sets the active bit
void off(System& s, int32_t e);  // clears it
int32_t signal(System& s, int32_t e, int32_t mask);
void signal_set(System& s, int32_t e, int32_t mask);
void signal_reset(System& s, int32_t e, int32_t mask);
int32_t pocket(System& s, int32_t e, int32_t i);
void pocket_set(System& s, int32_t e, int32_t i, int32_t v);
void pocket_add(System& s, int32_t e, int32_t i, int32_t v);
// The keyword `register` (a reserved word of C++) and its setter.
int32_t register_get(System& s, int32_t e, int32_t i);
void register_set(System& s, int32_t e, int32_t i, int32_t v);
int32_t status(System& s, int32_t e);
int32_t element_index(System& s, int32_t e, int32_t n);
int32_t first_element(System& s);
int32_t last_element(System& s);

void bind_element_data_keywords(KeywordBindings& b);

}  // namespace korva
