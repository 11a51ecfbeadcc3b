// Collisions and ground maps in a run: the BOUNDARY loader, the run-start tables (bounds by
// element kind, radii, pairs, code colours, the boundary grid) and the per-frame pass.
#include "run/collision_steps.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#include "core/core.h"
#include "editors/gui.h"
#include "model/model.h"
#include "render/overlay.h"
#include "render/scene.h"

namespace korva {
namespace {

constexpr std::string_view kDefaultMap = "grndmaps/default_.m3d";
constexpr std::string_view kNotice = "Initializing boundary element|This is a one-time operation, please wait...";
constexpr float kThousandths = 1000.0f;  // scene units to thousandths

bool read_whole(std::string_view path, std::vector<uint8_t>& out) {
  std::ifstream in{std::string(path), std::ios::binary | std::ios::ate};
  if (!in) return false;
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxM3dBytes) return false;
  out.resize(size_t(size));
  in.seekg(0);
  return bool(in.read(reinterpret_cast<char*>(out.data()), size));
}

std::shared_ptr<GroundMap> read_map(std::string_view path, std::string& why) {
  std::vector<uint8_t> bytes;
  if (!read_whole(path, bytes)) {
    why = "missing or unreadable";
    return nullptr;
  }
  return m3d_parse(bytes, &why);
}

bool ends_with_m3d(std::string_view p) {
  return p.size() >= 4 && (p.substr(p.size() - 4) == ".m3d" || p.substr(p.size() - 4) == ".M3D");
}

// The bounds an element's first asset gives it, by kind; false when its kind keeps none.
bool kind_bounds(System& s, int32_t i, Bounds& b) {
  const uint8_t* rec = s.core->pool(Pool::Instances) + i * kInstanceRecordBytes;
  const render::SceneAsset* a = render::scene_asset(s, asset_record(s, ir_get(rec, ir::kFirstAspect)));
  if (!a) return false;
  switch (a->kind) {
    case render::ElementKind::Camera: b = kCameraBounds; return true;
    case render::ElementKind::FlatShape: b = kFlatShapeBounds; return true;
    case render::ElementKind::Shape3d: {
      if (!a->shape || a->shape->vertices.empty()) return false;
      TriangleList points;
      for (const auto& v : a->shape->vertices) points.push_back({v.x, v.y, v.z, v.x, v.y, v.z, v.x, v.y, v.z});
      b = bounds_of_triangles(points, kThousandths);
      return true;
    }
    case render::ElementKind::Visual: {
      if (!a->visual) return false;
      TriangleList all;
      for (const auto& part : a->visual->parts)
        if (part.part.visual == a->visual_number) all.insert(all.end(), part.triangles.begin(), part.triangles.end());
      if (all.empty()) return false;
      b = bounds_of_triangles(all, kThousandths);
      return true;
    }
    default: return false;
  }
}

void collision_tables(System& s) {
  Collisions& col = *s.collisions;
  const int32_t last = std::min(s.model ? s.model->last_index : -1, kInstanceRecords - 1);
  std::array<bool, 256> has{};
  for (int32_t i = 0; i <= last; ++i) has[size_t(i)] = kind_bounds(s, i, col.bounds[size_t(i)]);
  Gui fallback;
  const Gui& g = s.gui ? *s.gui : fallback;
  for (int32_t c = 0; c < kCollisionCodes; ++c) {
    const Rgb rgb = code_rgb(c);
    col.code_colours[size_t(c)] = gui_rgb_pixel(g, rgb.r, rgb.g, rgb.b);
  }
  collision_setup(s, has);
  // The boundary element: the first whose first asset is a ground map; its grid answers ground
  // queries while no map is selected.
  col.boundary_element = -1;
  col.grid = {};
  for (int32_t i = 0; i <= last && col.boundary_element < 0; ++i) {
    if (auto m = ground_map_of(s, i)) {
      col.boundary_element = i;
      col.grid = boundary_grid_from(*m, str_to_int(element_field(*s.core, i, fld::kBoundaryOption).view()));
    }
  }
}

int32_t boundary_load(System& s, int32_t, int32_t slot, std::string_view path) {
  std::string map_path(path);
  if (!ends_with_m3d(path)) {
    prepare_ground_map(s, path);
    map_path = ground_map_path(path);
  }
  auto map = load_ground_map(map_path);
  if (!map) return 0;
  ground_map_attach(s, slot, std::move(map));
  return 1;
}

}  // namespace

std::string ground_map_path(std::string_view model_path) {
  std::string p(model_path);
  const size_t slash = p.find_last_of('/');
  const size_t dot = p.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) p.resize(dot);
  return p + ".m3d";
}

bool prepare_ground_map(System& s, std::string_view model_path) {
  const std::string map_path = ground_map_path(model_path);
  const uint32_t stamp = model_stamp(model_path);
  uint32_t stored = 0;
  if (m3d_stamp(map_path, stored) && stored == stamp) return true;
  if (s.core && s.core->ui.message_box)
    s.core->ui.message_box(kNotice, "", "");
  else
    std::fprintf(stderr, "%.*s\n", int(kNotice.size()), kNotice.data());
  TriangleList model;
  read_triangles(model_path, model);
  const std::vector<uint8_t> bytes = m3d_build(ground_triangles(model), stamp);
  std::ofstream out(map_path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(out);
}

std::shared_ptr<GroundMap> load_ground_map(std::string_view path) {
  std::string why;
  if (auto m = read_map(path, why)) return m;
  std::fprintf(stderr, "korva: ground map %.*s refused (%s); using %.*s\n", int(path.size()), path.data(),
               why.c_str(), int(kDefaultMap.size()), kDefaultMap.data());
  return read_map(kDefaultMap, why);
}

void add_collision_steps(RunPipeline& p) {
  auto state = std::make_shared<Collisions>();
  p.loader[kTypeBoundary] = boundary_load;
  run_step_add(p, Phase::AssetReset, "collision state", [state](System& s) {
    if (!s.collisions) s.collisions = state.get();
    Collisions& col = *s.collisions;
    col.maps.clear();
    col.ground.reset();
    col.volume.reset();
    col.pairs.clear();
    col.grid = {};
    col.boundary_element = -1;
    col.bounds.fill({});
  });
  run_step_add(p, Phase::RunStart, "collision tables", [](System& s) {
    if (s.collisions) collision_tables(s);
  });
  run_step_add(p, Phase::Collisions, "collision pass", collision_pass);
}

}  // namespace korva
