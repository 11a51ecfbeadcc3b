// The demo's hilly terrain: its model, and the ground map the engine would generate from it,
// stamped with the model's content so that the first run does not regenerate it.
#include <cmath>
#include <numbers>

#include "engine/collision.h"
#include "engine/triangles.h"
#include "mkdata.h"

namespace korva::mkdata {

Mesh make_hills(float x0, float z0, float size, int32_t steps) {
  Mesh m;
  const float pi = std::numbers::pi_v<float>;
  // Two round hills on a base that stays above the floor's top (0.05), low at the edges.
  auto height = [&](float u, float v) {
    const float edge = std::sin(pi * u) * std::sin(pi * v);
    const float bumps = 0.5f + 0.5f * std::cos(2 * pi * (u - 0.3f)) * std::cos(pi * (v - 0.5f));
    return 0.07f + 1.2f * edge * edge * bumps;
  };
  for (int32_t j = 0; j <= steps; ++j)
    for (int32_t k = 0; k <= steps; ++k) {
      const float u = float(k) / steps, v = float(j) / steps;
      m.vertices.push_back({x0 + size * u, height(u, v), z0 + size * v, u * 4, v * 4});
    }
  const int32_t row = steps + 1;
  for (int32_t j = 0; j < steps; ++j)
    for (int32_t k = 0; k < steps; ++k) {
      const int32_t bl = j * row + k, br = bl + 1, tl = bl + row, tr = tl + 1;  // seen from above
      m.faces.push_back({bl, tl, tr});
      m.faces.push_back({bl, tr, br});
    }
  return m;
}

Bytes ground_map_of_model(const Bytes& tds) {
  TriangleList triangles;
  tds_parse(tds.data(), tds.size(), triangles);
  return m3d_build(ground_triangles(triangles), content_stamp(tds));
}

}  // namespace korva::mkdata
