// A .3ds file of one mesh for the tests: corners given (x, y, z) with y up are written z-up, as
// the format has them.
#pragma once
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace korva::test_files {

inline std::string tds_file(const std::vector<std::array<float, 3>>& corners,
                            const std::vector<std::array<uint16_t, 3>>& faces, const std::string& name) {
  auto chunk = [](uint16_t id, const std::string& body) {
    std::string c(6, '\0');
    const uint32_t len = uint32_t(6 + body.size());
    std::memcpy(c.data(), &id, 2);
    std::memcpy(c.data() + 2, &len, 4);
    return c + body;
  };
  auto raw = [](const void* p, size_t n) { return std::string(static_cast<const char*>(p), n); };
  std::string vertices;
  const uint16_t nv = uint16_t(corners.size());
  vertices += raw(&nv, 2);
  for (const auto& c : corners) {
    const float file[3] = {c[0], c[2], c[1]};
    vertices += raw(file, 12);
  }
  std::string list;
  const uint16_t nf = uint16_t(faces.size());
  list += raw(&nf, 2);
  for (const auto& t : faces) {
    const uint16_t face[4] = {t[0], t[1], t[2], 0};
    list += raw(face, 8);
  }
  const std::string mesh = chunk(0x4100, chunk(0x4110, vertices) + chunk(0x4120, list));
  return chunk(0x4D4D, chunk(0x3D3D, chunk(0x4000, name + std::string(1, '\0') + mesh)));
}

}  // namespace korva::test_files
