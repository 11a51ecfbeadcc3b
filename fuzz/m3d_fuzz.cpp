// Fuzz target of the ground-map reader: any bytes as an .m3d file. A file is refused or
// loaded, never read outside its buffer; a loaded map answers height and volume queries at
// any point, including its edges and absurd positions, without a fault.
#include <cstdint>
#include <cstring>
#include <span>

#include "engine/collision.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto map = korva::m3d_parse(std::span<const uint8_t>(data, size));
  if (!map) return 0;
  const int64_t edge = int64_t(map->extent / 2) * 512;  // the far edge, in position units
  int32_t probe[4] = {0, INT32_MIN, INT32_MAX, int32_t(edge > INT32_MAX ? INT32_MAX : edge)};
  if (size >= 80) std::memcpy(probe, data + size - 16, 16);  // points chosen by the input too
  for (int32_t x : probe)
    for (int32_t z : probe) {
      (void)korva::ground_height(*map, x, probe[1], z, probe[3]);
      (void)korva::inside_volume_at(*map, x, probe[2], z);
    }
  return 0;
}
