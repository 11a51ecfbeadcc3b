// The fixed memory pools: every long-lived buffer of the system, allocated once at start-up
// at its maximum size and freed only at shutdown. Nothing grows at run time.
#pragma once
#include <cstdint>

namespace korva {

// In allocation order.
enum class Pool : int32_t {
  Offscreen,       // 8-bit 640 x 480 panel image
  StringStack,     // 1280 FixedString slots
  FileBuffer,      // general file buffer
  Instances,       // 256 instance records of 1024 bytes
  Assets,          // 4096 asset records of 64 bytes
  ProjectTable,    // 16384 32-bit entries (the ".col" companion)
  BrainVars,       // brain variable memory; the first 2048 words are the globals
  BrainWork,       // brain runtime work area
  CompilerWork,    // brain compiler work area
  CompilerLabels,  // brain compiler label area
  SoundFlags,      // one byte per element: sound was playing when released
  Sinus,           // "sinus.bin"
  SinusBig,        // "sinusbig.bin"
  Atan,            // "atan.bin"
  MiniMap,         // decoded "data/mini02.pcx"
  Panels,          // decoded "panels.pcx"
  Random,          // "random.bin"
  FileBuffer2,     // second general file buffer
  ImageBuffer,     // PCX and bitmap decoding
  TrackBuffer,     // track recording: 36000 records of 24 bytes and the one after the end
  StateStack,      // push/pop: 128 entries of 48 bytes
  Checkpoints,     // race gates: 1000 of 24 bytes
  Races,           // racers: 255 of 16 bytes
  Count
};

constexpr int32_t kPoolCount = static_cast<int32_t>(Pool::Count);

struct PoolInfo {
  const char* name;
  int32_t bytes;
};

// Sizes in bytes, in allocation order.
inline constexpr PoolInfo kPools[kPoolCount] = {
    {"offscreen image", 311296}, {"string stack", 2621440}, {"file buffer", 3145728},
    {"instance records", 262144}, {"asset records", 262144}, {"project table", 65536},
    {"brain variables", 737280}, {"brain work area", 6000}, {"compiler work area", 4096},
    {"compiler label area", 4096}, {"sound flags", 256}, {"sinus.bin", 115200},
    {"sinusbig.bin", 14400}, {"atan.bin", 2880}, {"mini map", 12800}, {"panels", 16384},
    {"random.bin", 2000}, {"file buffer 2", 1114112}, {"image buffer", 1048576},
    {"track buffer", 864024}, {"state stack", 6144}, {"race checkpoints", 24000},
    {"race table", 4096},
};

constexpr int32_t pool_bytes(Pool p) { return kPools[static_cast<int32_t>(p)].bytes; }

}  // namespace korva
