// All keyword families of the runtime library at once.
#include "runtime/memory_blocks.h"
#include "runtime/runtime.h"

namespace korva {

void bind_runtime_keywords(KeywordBindings& b) {
  bind_value_keywords(b);
  bind_element_data_keywords(b);
  bind_globals_keywords(b);
  bind_run_control_keywords(b);
  bind_port_keywords(b);
  bind_core_keywords(b);
  bind_memory_block_keywords(b);
}

}  // namespace korva
