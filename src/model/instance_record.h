// Byte layout of an element's 1024-byte instance record. Compiled brains address these words
// directly (relative to the record, and other elements as multiples of 1024 from it), so every
// offset here is part of the contract between the brain compiler, the machine and the engine.
#pragma once
#include <cstdint>
#include <cstring>

namespace korva {

constexpr int32_t kInstanceRecordBytes = 1024;
constexpr int32_t kInstanceRecords = 256;

// Guest address of instance record 0; record i (element i's handle) is 1024 * i further on.
constexpr uint32_t kInstanceGuestBase = 0x00100000u;

// All words are 32-bit signed little-endian.
namespace ir {
constexpr int32_t kCurrentAspect = 0;   // reference to the current aspect (asset record)
constexpr int32_t kFirstAspect = 4;     // reference to the first aspect
constexpr int32_t kAnimationStep = 8;   // frame animation: speed accumulated towards the next frame
constexpr int32_t kPosX = 12, kPosY = 16, kPosZ = 20;
constexpr int32_t kRotX = 24, kRotY = 28, kRotZ = 32;
constexpr int32_t kVelX = 36, kVelY = 40, kVelZ = 44;
constexpr int32_t kSpinX = 48, kSpinY = 52, kSpinZ = 56;
constexpr int32_t kDimX = 60, kDimY = 64, kDimZ = 68;  // read by dimension_abs
constexpr int32_t kBrainEntry = 84;
constexpr int32_t kFlags = 88;
constexpr int32_t kScore = 92;          // credits
constexpr int32_t kId = 96;             // element id, also the collision channel bits sent
constexpr int32_t kChannelsHit = 100;   // collision channel bits received this frame
constexpr int32_t kCollisionRadius = 104;
constexpr int32_t kBoxRadius = 120;
constexpr int32_t kScaleX = 124, kScaleY = 128, kScaleZ = 140;  // thousandths
constexpr int32_t kNetFlags = 148;
constexpr int32_t kMachine = 152;
constexpr int32_t kExtraRotX = 156, kExtraRotY = 160, kExtraRotZ = 164;
constexpr int32_t kAspectCount = 168;   // animation frames, numbered from 1
constexpr int32_t kCallCounter = 172;   // brain calls so far (timer)
constexpr int32_t kSignal = 176;
constexpr int32_t kPocket = 180;        // 256 unsigned bytes, 180..435
constexpr int32_t kPocketBytes = 256;
constexpr int32_t kParamArea = 768;     // brain parameter area; a target of 255 or less lands here
constexpr int32_t kFirstVariable = 1020;  // brain variables at 1020, 1016, ... downwards

// Flags word bits.
constexpr int32_t kFlagActive = 1 << 0;
constexpr int32_t kFlagBrainStopped = 1 << 1;
constexpr int32_t kFlagExtraRotation = 1 << 3;
constexpr int32_t kFlagTranslucent = 1 << 5;
constexpr int32_t kFlagShown = 1 << 6;
constexpr int32_t kFlagCollisions = 1 << 7;
constexpr int32_t kFlagBoxCollisions = 1 << 8;
}  // namespace ir

// Guest handle of element i's instance record.
constexpr int32_t element_handle(int32_t index) {
  return static_cast<int32_t>(kInstanceGuestBase + static_cast<uint32_t>(index) * 1024u);
}

// The byte offset in the record that a brain parameter target names: targets above 255 are
// offsets as they are, smaller ones lie in the parameter area at the end of the record.
constexpr int32_t param_offset(int32_t target) {
  return target > 255 ? target : ir::kParamArea + target;
}

// Word access to a record; offsets outside the record read 0 and write nothing.
inline int32_t ir_get(const uint8_t* record, int32_t offset) {
  int32_t v = 0;
  if (offset >= 0 && offset <= kInstanceRecordBytes - 4) std::memcpy(&v, record + offset, 4);
  return v;
}
inline void ir_set(uint8_t* record, int32_t offset, int32_t v) {
  if (offset >= 0 && offset <= kInstanceRecordBytes - 4) std::memcpy(record + offset, &v, 4);
}

}  // namespace korva
