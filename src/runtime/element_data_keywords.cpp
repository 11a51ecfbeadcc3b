// Keywords of element data: plain words and bit sets of the instance record that brains share.
#include "runtime/element_data_keywords.h"

#include "engine/keyword_table.h"

#include "engine/element_access.h"
#include "model/model.h"

namespace korva {
namespace {

int32_t read(System& s, int32_t e, int32_t offset) {
  const uint8_t* r = instance_at(s, e);
  return r ? word(r, offset) : 0;
}
void write(System& s, int32_t e, int32_t offset, int32_t v) {
  if (uint8_t* r = instance_at(s, e)) set_word(r, offset, v);
}
// Clears the bits of mask; bits 28..31 are cleared too unless mask sets them.
void reset_bits(System& s, int32_t e, int32_t offset, int32_t mask) {
  if (uint8_t* r = instance_at(s, e)) set_word(r, offset, word(r, offset) & (mask ^ 0x0FFFFFFF));
}
void set_bits(System& s, int32_t e, int32_t offset, int32_t mask) {
  if (uint8_t* r = instance_at(s, e)) set_word(r, offset, word(r, offset) | mask);
}

// The pocket byte i of e, or nullptr for a bad handle or an index outside 0..255.
uint8_t* pocket_byte(System& s, int32_t e, int32_t i) {
  uint8_t* r = instance_at(s, e);
  if (!r || static_cast<uint32_t>(i) >= static_cast<uint32_t>(ir::kPocketBytes)) return nullptr;
  return r + ir::kPocket + i;
}

}  // namespace

int32_t score(System& s, int32_t e) { return read(s, e, ir::kScore); }
void score_set(System& s, int32_t e, int32_t v) { write(s, e, ir::kScore, v); }
void score_add(System& s, int32_t e, int32_t v) {
  if (uint8_t* r = instance_at(s, e)) add_word(r, ir::kScore, v);
}
int32_t element_id(System& s, int32_t e) { return read(s, e, ir::kId); }
void element_id_set(System& s, int32_t e, int32_t v) { write(s, e, ir::kId, v); }
int32_t timer(System& s, int32_t e) { return read(s, e, ir::kCallCounter); }
void timer_set(System& s, int32_t e, int32_t v) { write(s, e, ir::kCallCounter, v); }

int32_t state(System& s, int32_t e, int32_t mask) { return read(s, e, ir::kFlags) & mask; }
void state_set(System& s, int32_t e, int32_t mask) { set_bits(s, e, ir::kFlags, mask); }
void state_reset(System& s, int32_t e, int32_t mask) { reset_bits(s, e, ir::kFlags, mask); }
// The active bit: an element whose bit is clear runs no brain, moves no more and is not drawn.
void on(System& s, int32_t e) { set_bits(s, e, ir::kFlags, ir::kFlagActive); }
void off(System& s, int32_t e) {
  if (uint8_t* r = instance_at(s, e)) set_word(r, ir::kFlags, word(r, ir::kFlags) & ~ir::kFlagActive);
}
int32_t signal(System& s, int32_t e, int32_t mask) { return read(s, e, ir::kSignal) & mask; }
void signal_set(System& s, int32_t e, int32_t mask) { set_bits(s, e, ir::kSignal, mask); }
void signal_reset(System& s, int32_t e, int32_t mask) { reset_bits(s, e, ir::kSignal, mask); }

int32_t pocket(System& s, int32_t e, int32_t i) {
  const uint8_t* b = pocket_byte(s, e, i);
  return b ? *b : 0;
}
void pocket_set(System& s, int32_t e, int32_t i, int32_t v) {
  if (uint8_t* b = pocket_byte(s, e, i)) *b = static_cast<uint8_t>(v);
}
void pocket_add(System& s, int32_t e, int32_t i, int32_t v) {
  if (uint8_t* b = pocket_byte(s, e, i)) *b = static_cast<uint8_t>(*b + static_cast<uint32_t>(v));
}

// Indices outside 0..255 would leave the record: they read 0 and write nothing.
int32_t register_get(System& s, int32_t e, int32_t i) {
  if (static_cast<uint32_t>(i) >= static_cast<uint32_t>(kRegisterWords)) return 0;
  return read(s, e, 4 * i);
}
void register_set(System& s, int32_t e, int32_t i, int32_t v) {
  if (static_cast<uint32_t>(i) >= static_cast<uint32_t>(kRegisterWords)) return;
  write(s, e, 4 * i, v);
}

int32_t status(System& s, int32_t e) { return (read(s, e, ir::kFlags) & ir::kFlagActive) ? 1 : 0; }

int32_t element_index(System& s, int32_t e, int32_t n) {
  if (!instance_at(s, e)) return 0;
  return wrap_add(e, wrap_mul(n, kInstanceRecordBytes));
}

int32_t first_element(System&) { return element_handle(0); }

int32_t last_element(System& s) {
  // An empty table has no last element: its answer is element 0, a record nothing runs in.
  const int32_t last = s.model ? s.model->last_index : 0;
  return element_handle(last < 0 ? 0 : last);
}

void bind_element_data_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"score", keyword_routine<score>},
      {"score_set", keyword_routine<score_set>},
      {"score_add", keyword_routine<score_add>},
      {"element_id", keyword_routine<element_id>},
      {"element_id_set", keyword_routine<element_id_set>},
      {"timer", keyword_routine<timer>},
      {"timer_set", keyword_routine<timer_set>},
      {"state", keyword_routine<state>},
      {"state_set", keyword_routine<state_set>},
      {"state_reset", keyword_routine<state_reset>},
      {"on", keyword_routine<on>},
      {"off", keyword_routine<off>},
      {"signal", keyword_routine<signal>},
      {"signal_set", keyword_routine<signal_set>},
      {"signal_reset", keyword_routine<signal_reset>},
      {"pocket", keyword_routine<pocket>},
      {"pocket_set", keyword_routine<pocket_set>},
      {"pocket_add", keyword_routine<pocket_add>},
      {"register", keyword_routine<register_get>},
      {"register_set", keyword_routine<register_set>},
      {"status", keyword_routine<status>},
      {"element_index", keyword_routine<element_index>},
      {"first_element", keyword_routine<first_element>},
      {"last_element", keyword_routine<last_element>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
