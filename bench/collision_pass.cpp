// The collision pass over 256 active elements with every pair allowed (32 640 pairs), spread
// out over a field (almost every pair rejected on its first axis) and crowded together (most
// pairs reach the distance test and many collide); and one ground query on a terrain of
// 20 000 triangles. The pass must stay well inside the frame step's budget of 333 us.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "core/core.h"
#include "engine/collision.h"
#include "engine/math_tables.h"
#include "model/instance_record.h"

namespace korva::bench {
namespace {

constexpr int32_t kElements = 256;

struct World {
  std::unique_ptr<Core> core = core_create();
  Collisions col;
  System sys;

  explicit World(bool crowded) {
    fill_math_tables(*core);
    sys.core = core.get();
    sys.collisions = &col;
    uint8_t* matrix = core->pool(Pool::ProjectTable);
    for (int32_t i = 0; i < kElements; ++i)
      for (int32_t j = i + 1; j < kElements; ++j) matrix[i * 256 + j] = uint8_t(1 + (i + j) % 11);
    std::mt19937 rng(5);
    for (int32_t i = 0; i < kElements; ++i) {
      uint8_t* r = core->pool(Pool::Instances) + i * kInstanceRecordBytes;
      ir_set(r, ir::kFlags, ir::kFlagActive | ir::kFlagCollisions);
      ir_set(r, ir::kId, 1 << (i % 31));
      ir_set(r, ir::kCollisionRadius, 500);
      // Spread: a 16 x 16 grid 10 m apart. Crowded: all within a cube of 4 m.
      const int32_t spread = crowded ? 4000 : 0;
      const int32_t x = crowded ? int32_t(rng() % spread) - spread / 2 : (i % 16) * 10000;
      const int32_t z = crowded ? int32_t(rng() % spread) - spread / 2 : (i / 16) * 10000;
      const int32_t y = crowded ? int32_t(rng() % spread) - spread / 2 : 0;
      ir_set(r, ir::kPosX, x * 512);
      ir_set(r, ir::kPosY, y * 512);
      ir_set(r, ir::kPosZ, z * 512);
    }
    for (int32_t c = 0; c < kCollisionCodes; ++c) col.code_colours[size_t(c)] = 0x8000u + uint32_t(c);
    collision_pairs_build(sys);
  }
};

void collision_pass_bench(benchmark::State& state, bool crowded) {
  World w(crowded);
  for (auto _ : state) {
    collision_pass(w.sys);
    benchmark::ClobberMemory();
  }
  int32_t hits = 0;
  for (const CollisionPair& p : w.col.pairs) hits += p.hit != 0;
  state.counters["pairs"] = double(w.col.pairs.size());
  state.counters["colliding"] = hits;
}

void BM_CollisionPassSpread(benchmark::State& state) { collision_pass_bench(state, false); }
void BM_CollisionPassCrowded(benchmark::State& state) { collision_pass_bench(state, true); }

// A 100 x 100 grid of quads (20 000 triangles) over 100 m, gently rolling.
void BM_GroundQuery(benchmark::State& state) {
  constexpr int32_t n = 100, side = 1000;  // thousandths per quad
  std::vector<GroundTriangle> tris;
  auto y = [](int32_t k, int32_t j) { return int32_t(300 * ((k * 7 + j * 13) % 10)); };
  for (int32_t j = 0; j < n; ++j)
    for (int32_t k = 0; k < n; ++k) {
      const int32_t x0 = (k - n / 2) * side, z0 = (j - n / 2) * side, x1 = x0 + side, z1 = z0 + side;
      tris.push_back({{x0, y(k, j), z0, x1, y(k + 1, j), z0, x1, y(k + 1, j + 1), z1}});
      tris.push_back({{x0, y(k, j), z0, x1, y(k + 1, j + 1), z1, x0, y(k, j + 1), z1}});
    }
  const auto map = m3d_parse(m3d_build(tris, 0));
  std::mt19937 rng(9);
  std::vector<int32_t> points(1024);
  for (int32_t& p : points) p = int32_t(rng() % (n * side)) - n * side / 2;
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ground_height(*map, points[k] * 512, 0, points[(k + 1) & 1023] * 512, 100));
    k = (k + 1) & 1023;
  }
  state.counters["triangles"] = double(map->triangles.size());
}

BENCHMARK(BM_CollisionPassSpread)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CollisionPassCrowded)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GroundQuery)->Unit(benchmark::kNanosecond);

}  // namespace
}  // namespace korva::bench

BENCHMARK_MAIN();
