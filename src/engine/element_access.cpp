// Handle validation against the Core's instance pool.
#include "engine/element_access.h"

#include "core/core.h"

namespace korva {

uint8_t* instance_at(const System& s, int32_t handle) {
  const int32_t index = element_index_of(handle);
  if (index < 0 || s.core == nullptr) return nullptr;
  return s.core->pool(Pool::Instances) + index * kInstanceRecordBytes;
}

}  // namespace korva
