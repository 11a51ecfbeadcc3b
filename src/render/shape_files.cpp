// 3D shapes (.a3d), camera files (.03d) and background files (.g3d): small text formats of ours.
#include <algorithm>
#include <cmath>

#include "core/fixed_string.h"
#include "render/render.h"

namespace korva::render {

namespace {

// Calls fn(line) for every line without its CR, comment lines (";") included.
template <class Fn>
void for_lines(std::string_view text, Fn fn) {
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) nl = text.size();
    std::string_view line = text.substr(start, nl - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = nl + 1;
    if (!fn(line)) return;
  }
}

// "key=value" lines: the value of key, or false.
bool key_value(std::string_view line, std::string_view key, int32_t& value) {
  if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != '=')
    return false;
  const std::string_view v = line.substr(key.size() + 1);
  if (v.empty() || !(v[0] == '-' || (v[0] >= '0' && v[0] <= '9'))) return false;
  value = str_to_int(v);
  return true;
}

std::string_view text_of(const std::vector<uint8_t>& bytes) {
  return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// Field n (from 0) of a "|" separated line.
std::string_view bar_field(std::string_view line, int n) { return field_view(line, n + 1, '|'); }

}  // namespace

bool parse_shape(std::string_view text, rm::Mesh& out) {
  out = rm::Mesh();
  enum class Section { None, Vertices, Faces } section = Section::None;
  int32_t remaining = 0;
  std::vector<std::array<int32_t, 3>> faces;
  for_lines(text, [&](std::string_view line) {
    if (line.empty() || line[0] == ';') return true;
    int32_t n = 0;
    if (key_value(line, "vertices", n)) {
      section = Section::Vertices;
      remaining = std::clamp(n, 0, kMaxShapeItems);
      return true;
    }
    if (key_value(line, "faces", n)) {
      section = Section::Faces;
      remaining = std::clamp(n, 0, kMaxShapeItems);
      return true;
    }
    if (remaining <= 0) return true;
    --remaining;
    std::array<int32_t, 3> v{};
    for (int k = 0; k < 3; ++k) v[size_t(k)] = str_to_int(bar_field(line, k));
    if (section == Section::Vertices)
      rm::mesh_add_vertex(out, rm::vec3(float(v[0]), float(v[1]), float(v[2])) / 1000.0f);
    else if (section == Section::Faces)
      faces.push_back(v);
    return true;
  });
  // Faces are taken once every vertex is known; one naming a missing vertex is skipped.
  for (const auto& f : faces) rm::mesh_add_face(out, f[0], f[1], f[2]);
  return !out.faces.empty();
}

rm::MeshPtr read_shape(std::string_view path, std::string_view default_path) {
  constexpr int64_t kMaxShapeBytes = 32 << 20;
  auto m = rm::mesh_create();
  std::vector<uint8_t> bytes;
  if (read_whole_file(path, bytes, kMaxShapeBytes) && parse_shape(text_of(bytes), *m)) return m;
  if (read_whole_file(default_path, bytes, kMaxShapeBytes) && parse_shape(text_of(bytes), *m)) return m;
  return rm::mesh_create();  // nothing usable: an empty mesh
}

CameraFile parse_camera(std::string_view text) {
  CameraFile c;
  for_lines(text, [&](std::string_view line) {
    int32_t v = 0;
    // A field value of zero would divide by zero: such a lens keeps the default.
    if (key_value(line, "fov", v) && v != 0) c.fov = v;
    return true;
  });
  return c;
}

BackgroundFile parse_background(std::string_view text) {
  BackgroundFile b;
  for_lines(text, [&](std::string_view line) {
    int32_t v = 0;
    if (key_value(line, "color", v) && v >= 0 && v <= 255) b.color = v;
    return true;
  });
  return b;
}

CameraFile read_camera(std::string_view path) {
  std::vector<uint8_t> bytes;
  return read_whole_file(path, bytes, 1 << 20) ? parse_camera(text_of(bytes)) : CameraFile();
}

BackgroundFile read_background(std::string_view path) {
  std::vector<uint8_t> bytes;
  return read_whole_file(path, bytes, 1 << 20) ? parse_background(text_of(bytes)) : BackgroundFile();
}

}  // namespace korva::render
