// The network keywords. Without a session every one of them does nothing and answers 0.
#include <algorithm>
#include <mutex>
#include <string>

#include "brain/keyword_binding.h"
#include "core/system.h"
#include "devices/net.h"
#include "engine/element_access.h"
#include "engine/keyword_table.h"
#include "model/model.h"
#include "runtime/memory_blocks.h"
#include "runtime/text_argument.h"
#include "runtime/text_keywords.h"

namespace korva {
namespace {

Net* session(System& s) { return s.net && s.net->active ? s.net : nullptr; }

int32_t last_element(System& s) { return s.model ? std::min(s.model->last_index, kInstanceRecords - 1) : -1; }

bool driven_here(const Net& n, const uint8_t* r) {
  return n.machine_number != 0 && ir_get(r, ir::kMachine) == n.machine_number;
}

}  // namespace

void str_send(System& s, int32_t text, int32_t value) {
  Net* n = session(s);
  if (!n || free_block_handle(s, text)) return;
  const std::string_view t = text_argument(s, text);
  if (t.empty()) return;
  net_send(*n, net_text_message(t.substr(0, kNetMessageBytes - 9), value));
}

void str_poll(System& s, int32_t target, int32_t mask) {
  Net* n = session(s);
  if (!n || !s.blocks || free_block_handle(s, target) || target < 0 || target >= kBlockEntries) return;
  std::string text;
  {
    std::lock_guard<std::mutex> hold(n->lock);
    net_text_take(n->tables, mask, text);
  }
  block_text_set(s, target, text);
}

void machine_number_set(System& s, int32_t number) {
  if (Net* n = session(s)) n->machine_number = std::clamp(number, 0, kMachines);
}

int32_t machine_number(System& s) {
  Net* n = session(s);
  return n ? n->machine_number : 0;
}

int32_t machine_status(System& s, int32_t number) {
  Net* n = session(s);
  if (!n || number <= 0) return 0;
  number = std::min(number, kMachines);
  int32_t count;
  {
    std::lock_guard<std::mutex> hold(n->lock);
    count = n->tables.machine_count[number - 1];
  }
  if (number == n->machine_number) return count == 0 ? 1 : 2;
  return count;
}

int32_t network_mismatch(System& s) {
  Net* n = session(s);
  if (!n) return 0;
  std::lock_guard<std::mutex> hold(n->lock);
  return n->tables.mismatch;
}

int32_t network_mode(System& s) { return session(s) ? -1 : 0; }

int32_t host(System& s) {
  Net* n = session(s);
  if (!n) return 0;
  std::lock_guard<std::mutex> hold(n->lock);
  return n->tables.host ? -1 : 0;
}

int32_t machine_element(System& s, int32_t number) {
  Net* n = session(s);
  if (!n || number == 0) return 0;
  const int32_t last = last_element(s);
  for (int32_t i = 0; i <= last; ++i) {
    const int32_t h = element_handle(i);
    if (ir_get(instance_at(s, h), ir::kMachine) == number) return h;
  }
  return 0;
}

int32_t machine_element_find(System& s, int32_t e, int32_t mask, int32_t count, int32_t mode) {
  Net* n = session(s);
  if (!n || !instance_at(s, e)) return 0;
  if (count <= 0) return e;
  if (mode == 0 || mode > 3 || mode < -3) return 0;
  const int32_t step = mode > 0 ? 1 : -1;
  const int32_t kind = mode * step;  // 1 any, 2 inactive only, 3 active only
  const int32_t last = last_element(s);
  int32_t found = 0;
  for (int32_t i = element_index_of(e) + step; step > 0 ? i <= last : i >= 0; i += step) {
    const uint8_t* r = instance_at(s, element_handle(i));
    if (!driven_here(*n, r) || (ir_get(r, ir::kId) & mask) == 0) continue;
    const bool active = (ir_get(r, ir::kFlags) & ir::kFlagActive) != 0;
    if ((kind == 2 && active) || (kind == 3 && !active)) continue;
    if (++found == count) return element_handle(i);
  }
  return 0;
}

void bind_network_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"str_send", keyword_routine<str_send>},
      {"str_poll", keyword_routine<str_poll>},
      {"machine_number_set", keyword_routine<machine_number_set>},
      {"machine_number", keyword_routine<machine_number>},
      {"machine_status", keyword_routine<machine_status>},
      {"network_mismatch", keyword_routine<network_mismatch>},
      {"network_mode", keyword_routine<network_mode>},
      {"host", keyword_routine<host>},
      {"machine_element", keyword_routine<machine_element>},
      {"machine_element_find", keyword_routine<machine_element_find>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
