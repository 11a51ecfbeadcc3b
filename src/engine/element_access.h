// Element handles: the guest address of an instance record. Every keyword validates the handle
// it receives; only a value that names a record of the instance pool reaches the record bytes.
#pragma once
#include <cstdint>

#include "core/system.h"
#include "model/instance_record.h"

namespace korva {

// The element index a handle names, or -1 when it is not the start of a record of the pool
// (a scene frame handle with bit 31 set, a value below or above the pool, or inside a record).
constexpr int32_t element_index_of(int32_t handle) {
  const uint32_t offset = static_cast<uint32_t>(handle) - kInstanceGuestBase;
  if (offset >= static_cast<uint32_t>(kInstanceRecords * kInstanceRecordBytes)) return -1;
  if (offset % kInstanceRecordBytes != 0) return -1;
  return static_cast<int32_t>(offset / kInstanceRecordBytes);
}

// The record bytes a handle names, or nullptr when the handle is not valid.
uint8_t* instance_at(const System& s, int32_t handle);

// Word access to a record by byte offset (see instance_record.h).
inline int32_t word(const uint8_t* record, int32_t offset) { return ir_get(record, offset); }
inline void set_word(uint8_t* record, int32_t offset, int32_t v) { ir_set(record, offset, v); }
// Wrapping 32-bit addition, as the integer arithmetic of brains does.
constexpr int32_t wrap_add(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
// Wrapping negation: the negation of INT32_MIN is INT32_MIN itself, as in brains' arithmetic.
constexpr int32_t wrap_neg(int32_t a) { return static_cast<int32_t>(0u - static_cast<uint32_t>(a)); }
constexpr int32_t wrap_mul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
inline void add_word(uint8_t* record, int32_t offset, int32_t d) {
  ir_set(record, offset, wrap_add(ir_get(record, offset), d));
}

}  // namespace korva
