// Creation and release of the Core context: pools in table order, then the string arrays and
// the folder strings taken from the StringStack.
#include "core/core.h"

#include <cstdlib>
#include <ctime>

namespace korva {

std::unique_ptr<Core> core_create() {
  auto c = std::make_unique<Core>();
  for (int32_t i = 0; i < kPoolCount; ++i)
    c->pools[i] = static_cast<uint8_t*>(std::calloc(1, static_cast<size_t>(kPools[i].bytes)));
  c->str.stack = c->pool_as<FixedString>(Pool::StringStack);
  c->str.top = kStringStackSlots;
  for (auto& slot : c->element_table) slot = &str_temp(*c);
  for (auto& slot : c->list_table) slot = &str_temp(*c);
  c->base_folder = &str_temp(*c);
  c->data_folder = &str_temp(*c);
  c->temp_path = &str_temp(*c);
  c->engine_file = &str_temp(*c);
  c->scratch = &str_temp(*c);
  // The clock counts nanoseconds; a tick is 1/4500 s.
  c->tick_divisor = 1000000000LL / 4500;
  return c;
}

Core::~Core() {
  file_close_all(*this);
  for (auto& p : pools) {
    std::free(p);
    p = nullptr;
  }
}

int64_t ticks_now(const Core& c) {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  int64_t counter = static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
  return counter / c.tick_divisor;
}

}  // namespace korva
