// Checked translation of guest addresses into the host buffers of the fixed map.
#include "brain/guest_memory.h"

namespace korva {

namespace {
struct RegionPlan {
  uint32_t base;
  uint32_t size;
  bool writable;
};
constexpr RegionPlan kPlan[kRegionCount] = {
    {guest::kInstancesBase, guest::kInstancesBytes, true},
    {guest::kTempAreaBase, guest::kTempAreaBytes, true},
    {guest::kLiteralPoolBase, guest::kLiteralPoolBytes, false},
    {guest::kCodeBufferBase, guest::kCodeBufferBytes, false},
    {guest::kStackBase, guest::kStackBytes, false},
};
}  // namespace

void guest_map(GuestMemory& m, Region r, uint8_t* host, uint32_t size) {
  const RegionPlan& plan = kPlan[static_cast<int32_t>(r)];
  GuestRegion& g = m.regions[static_cast<int32_t>(r)];
  g.base = plan.base;
  g.size = host ? (size < plan.size ? size : plan.size) : 0;
  g.host = host;
  g.writable = plan.writable;
}

uint8_t* guest_translate(const GuestMemory& m, uint32_t addr, uint32_t size, Access a) {
  if (size == 0 || size > 4096) return nullptr;
  for (const GuestRegion& g : m.regions) {
    // Unsigned differences: an address below the base wraps to a huge offset and fails.
    uint32_t off = addr - g.base;
    if (off < g.size && size <= g.size - off) {
      if (a == Access::Write && !g.writable) return nullptr;
      return g.host + off;
    }
  }
  return nullptr;
}

uint8_t* guest_instance_record(const GuestMemory& m, int32_t handle) {
  const GuestRegion& g = m.regions[static_cast<int32_t>(Region::Instances)];
  uint32_t off = static_cast<uint32_t>(handle) - g.base;
  if (off % 1024u != 0 || off >= g.size || g.size - off < 1024u) return nullptr;
  return g.host + off;
}

}  // namespace korva
