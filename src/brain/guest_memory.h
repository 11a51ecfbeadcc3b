// The brain machine's 32-bit guest address space: a fixed map of regions, each backed by a
// host buffer that belongs to someone else (the Core's instance pool, the compiler's buffers)
// or to the machine (the guest stack). Every guest access is checked against the map, so a
// brain can never read or write host memory outside these buffers.
#pragma once
#include <cstdint>
#include <cstring>

namespace korva {

// The fixed guest address map. Tests and tools may rely on these numbers.
namespace guest {
constexpr uint32_t kUnmappedEnd = 0x00010000u;        // 0 .. 64 KiB: never mapped
constexpr uint32_t kKeywordEntryBase = 0x00010000u;   // row k enters at base + 16 * k
constexpr uint32_t kKeywordEntryStride = 16;
constexpr uint32_t kInstancesBase = 0x00100000u;      // element i's record at base + 1024 * i
constexpr uint32_t kInstancesBytes = 256u * 1024u;
constexpr uint32_t kTempAreaBase = 0x00140000u;       // temporary k at base + 4 * k
constexpr uint32_t kTempAreaBytes = 16u * 1024u;
constexpr uint32_t kLiteralPoolBase = 0x00180000u;
constexpr uint32_t kLiteralPoolBytes = 256u * 1024u;
constexpr uint32_t kCodeBufferBase = 0x00200000u;
constexpr uint32_t kCodeBufferBytes = 524288u;
constexpr uint32_t kStackBase = 0x00300000u;          // return addresses of gosub and execute
constexpr uint32_t kStackBytes = 64u * 1024u;
constexpr uint32_t kStackTop = kStackBase + kStackBytes;  // esp at the start of a brain call
}  // namespace guest

// The data regions of the map, in address order.
enum class Region : int32_t { Instances, TempArea, LiteralPool, CodeBuffer, Stack, Count };
constexpr int32_t kRegionCount = static_cast<int32_t>(Region::Count);

// What a guest access may do to a region. Brains never write their own code or the literal
// texts; the stack is written only by call and ret.
enum class Access : int32_t { Read, Write };

struct GuestRegion {
  uint32_t base = 0;   // guest address of the first byte
  uint32_t size = 0;   // bytes mapped (0: the region is absent and faults)
  uint8_t* host = nullptr;
  bool writable = false;
};

struct GuestMemory {
  GuestRegion regions[kRegionCount];
};

// Maps region r onto a host buffer of size bytes (at most the region's size in the map).
void guest_map(GuestMemory& m, Region r, uint8_t* host, uint32_t size);

// The host address of the guest bytes [addr, addr + size), or nullptr when any of them lies
// outside a mapped region or the access is not allowed there. size is 1..4096.
uint8_t* guest_translate(const GuestMemory& m, uint32_t addr, uint32_t size, Access a);

// Checked word access. False (and no change) when the access faults.
[[nodiscard]] inline bool guest_read32(const GuestMemory& m, uint32_t addr, int32_t& out) {
  const uint8_t* p = guest_translate(m, addr, 4, Access::Read);
  if (!p) return false;
  std::memcpy(&out, p, 4);
  return true;
}
[[nodiscard]] inline bool guest_write32(const GuestMemory& m, uint32_t addr, int32_t v) {
  uint8_t* p = guest_translate(m, addr, 4, Access::Write);
  if (!p) return false;
  std::memcpy(p, &v, 4);
  return true;
}

// The host address of element handle's 1024-byte instance record, or nullptr when the value
// is not the start of a record of the instance pool. Keyword routines validate handles with it.
uint8_t* guest_instance_record(const GuestMemory& m, int32_t handle);

// The index of the keyword row whose entry point is addr, or -1 when addr is not an entry.
inline int32_t keyword_row_at(uint32_t addr, int32_t row_count) {
  if (addr < guest::kKeywordEntryBase) return -1;
  uint32_t off = addr - guest::kKeywordEntryBase;
  if (off % guest::kKeywordEntryStride != 0) return -1;
  uint32_t row = off / guest::kKeywordEntryStride;
  return row < static_cast<uint32_t>(row_count) ? static_cast<int32_t>(row) : -1;
}

}  // namespace korva
