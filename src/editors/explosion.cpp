// The explosion generator (mode 8): a visual's .3ds model is split into one fragment per face
// and the fragments fly apart, driven by a parameter script (.exp); every frame is written as
// its own .3ds file and the visual is rewritten to show them as its animation.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/core.h"
#include "editors/editors.h"
#include "editors/gui_local.h"
#include "engine/rotation.h"

namespace korva {
namespace {

constexpr std::string_view kKeys[kExplosionKeys] = {"velocity", "air density", "spin",    "dummy",
                                                    "gravity",  "x angle",     "z angle", "frames"};
// Script values are kept well inside 32 bits so that no product or sum of the motion can
// overflow, whatever the script says.
constexpr int32_t kScriptLimit = 100'000'000;
constexpr int32_t kAirDensityBase = 50'000;
// The vertex list counts its vertices in 16 bits: 3 per fragment.
constexpr int32_t kMaxFragments = 65535 / 3;
constexpr int32_t kHeaderBytes = 40;

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return out;
}

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t u32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + k] = uint8_t(v >> (8 * k));
}
void chunk_header(std::vector<uint8_t>& b, size_t at, uint16_t id, size_t length) {
  put16(b, at, id);
  put32(b, at + 2, static_cast<uint32_t>(length));
}

int32_t saturate(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

int32_t thousandths(float v) {
  if (!std::isfinite(v)) return 0;
  return saturate(std::llround(std::clamp(double(v) * 1000.0, -2.0e9, 2.0e9)));
}

// A draw from a script range with the brain runtime's generator; the ends may come in either
// order.
int32_t draw(Core& c, const ExplosionRange& r) {
  return random_range(c, std::min(r.min, r.max), std::max(r.min, r.max));
}

// Degrees as an angle in 1/512 degree, wrapped into one turn.
int32_t angle_of_degrees(int32_t degrees) { return normalise_angle((degrees % 360) * kAngleUnitsPerDegree); }

}  // namespace

ExplosionScript explosion_script_parse(std::string_view text) {
  ExplosionScript s;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    at = end + 1;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string key = lower(gui_trim(line.substr(0, eq)));
    const std::string_view value = line.substr(eq + 1);
    const size_t slash = value.find('/');
    const auto number = [](std::string_view v) {
      return std::clamp(str_to_int(gui_trim(v)), -kScriptLimit, kScriptLimit);
    };
    const int32_t lo = number(value.substr(0, slash));
    const int32_t hi = slash == std::string_view::npos ? 0 : number(value.substr(slash + 1));
    for (int32_t k = 0; k < kExplosionKeys; ++k)
      if (key == kKeys[k]) s.pairs[k] = {lo, hi};
  }
  // A higher density brakes harder: it is kept as the drag divisor's range.
  ExplosionRange& air = s.pairs[kExpAirDensity];
  air = {kAirDensityBase - air.min, kAirDensityBase - air.max};
  return s;
}

std::string_view explosion_key_name(int32_t key) { return key >= 0 && key < kExplosionKeys ? kKeys[key] : ""; }

bool explosion_faces_from_3ds(const uint8_t* data, size_t size, std::vector<std::array<float, 9>>& faces) {
  faces.clear();
  if (size < 6 || u16(data) != 0x4D4D) return false;
  const size_t main_end = std::min<size_t>(size, u32(data + 2));
  std::vector<float> vertices;  // the last vertex list, three floats a vertex
  size_t at = 6;
  while (at + 6 <= main_end) {
    const uint16_t id = u16(data + at);
    const uint32_t length = u32(data + at + 2);
    const size_t body = at + 6;
    const size_t end = length < 6 || length > main_end - at ? main_end : at + length;
    if (id == 0x3D3D || id == 0x4100) {
      at = body;
      continue;
    }
    if (id == 0x4000) {
      size_t name_end = body;
      while (name_end < end && data[name_end] != 0) ++name_end;
      at = std::min(end, name_end + 1);
      continue;
    }
    if (id == 0x4110 && body + 2 <= end) {
      const size_t count = std::min<size_t>(u16(data + body), (end - body - 2) / 12);
      vertices.resize(count * 3);
      if (count > 0) std::memcpy(vertices.data(), data + body + 2, count * 12);
    } else if (id == 0x4120 && body + 2 <= end) {
      const size_t count = std::min<size_t>(u16(data + body), (end - body - 2) / 8);
      const size_t known = vertices.size() / 3;
      for (size_t f = 0; f < count && faces.size() < size_t(kMaxFragments); ++f) {
        const uint8_t* p = data + body + 2 + 8 * f;
        const size_t idx[3] = {u16(p), u16(p + 2), u16(p + 4)};
        if (idx[0] >= known || idx[1] >= known || idx[2] >= known) continue;  // a face of nothing
        std::array<float, 9> face{};
        for (int k = 0; k < 3; ++k)
          for (int a = 0; a < 3; ++a) face[size_t(3 * k + a)] = vertices[3 * idx[k] + size_t(a)];
        faces.push_back(face);
      }
    }
    at = end;
  }
  return true;
}

std::vector<ExplosionFragment> explosion_fragments(Core& c, const std::vector<std::array<float, 9>>& faces,
                                                   const ExplosionScript& s) {
  std::vector<ExplosionFragment> out;
  out.reserve(faces.size());
  for (const auto& face : faces) {
    ExplosionFragment f;
    for (int k = 0; k < 3; ++k)
      for (int a = 0; a < 3; ++a) f.vertex[k][a] = thousandths(face[size_t(3 * k + a)]);
    const int32_t speed = draw(c, s.pairs[kExpVelocity]);
    const int32_t x_angle = angle_of_degrees(draw(c, s.pairs[kExpXAngle]));
    const int32_t z_angle = angle_of_degrees(draw(c, s.pairs[kExpZAngle]));
    for (int32_t& spin : f.spin) spin = draw(c, s.pairs[kExpSpin]);
    f.drag = draw(c, s.pairs[kExpAirDensity]);
    f.gravity = draw(c, s.pairs[kExpGravity]);
    // (0, speed, 0) in the order x, z, y; turned by the z angle in its first two components and
    // by the x angle in its last two.
    int32_t x = 0, z = speed, y = 0;
    rotate_pair(c, x, z, z_angle);
    rotate_pair(c, z, y, x_angle);
    f.velocity[0] = x;
    f.velocity[1] = y;
    f.velocity[2] = z;
    out.push_back(f);
  }
  return out;
}

void explosion_step(const Core& c, std::vector<ExplosionFragment>& fragments) {
  for (ExplosionFragment& f : fragments) {
    int64_t centre[3];
    for (int a = 0; a < 3; ++a) centre[a] = (int64_t(f.vertex[0][a]) + f.vertex[1][a] + f.vertex[2][a]) / 3;
    for (auto& v : f.vertex) {
      IVec3 rel{saturate(v[0] - centre[0]), saturate(v[1] - centre[1]), saturate(v[2] - centre[2])};
      rotate_about_x(c, rel, f.spin[0]);
      rotate_about_y(c, rel, f.spin[1]);
      rotate_about_z(c, rel, f.spin[2]);
      v[0] = saturate(centre[0] + f.velocity[0] + rel.x);
      v[1] = saturate(centre[1] + f.velocity[1] + rel.y);
      v[2] = saturate(centre[2] + f.velocity[2] + rel.z);
    }
    // Drag: each component loses v x v / D (D with the sign of v), never more than it has, so
    // a fragment is braked to a halt but never thrown back; a divisor of 0 (the densest air)
    // stops it at once.
    for (int32_t& v : f.velocity) {
      const int64_t magnitude = v < 0 ? -int64_t(v) : int64_t(v);
      const int64_t divisor = f.drag < 0 ? -int64_t(f.drag) : int64_t(f.drag);
      const int64_t loss = divisor == 0 ? magnitude : std::min(magnitude, magnitude * magnitude / divisor);
      v = saturate(v < 0 ? v + loss : v - loss);
    }
    f.velocity[2] = saturate(int64_t(f.velocity[2]) + f.gravity);  // along the model's z axis
  }
}

std::vector<uint8_t> explosion_image(const std::vector<ExplosionFragment>& fragments) {
  const size_t n = std::min(fragments.size(), size_t(kMaxFragments));
  const size_t faces_at = kHeaderBytes + 36 * n;
  const size_t total = faces_at + 8 + 16 * n;
  std::vector<uint8_t> b(total, 0);
  chunk_header(b, 0, 0x4D4D, total);
  chunk_header(b, 6, 0x3D3D, total - 6);
  chunk_header(b, 12, 0x4000, total - 12);
  std::memcpy(b.data() + 18, "explode", 8);  // the object's name with its terminating zero
  chunk_header(b, 26, 0x4100, total - 26);
  chunk_header(b, 32, 0x4110, 8 + 36 * n);
  put16(b, 38, static_cast<uint32_t>(3 * n));
  size_t at = kHeaderBytes;
  for (size_t k = 0; k < n; ++k)
    for (const auto& v : fragments[k].vertex)
      for (int a = 0; a < 3; ++a) {
        const float value = static_cast<float>(v[a] / 1000.0);
        std::memcpy(b.data() + at, &value, 4);
        at += 4;
      }
  chunk_header(b, faces_at, 0x4120, 8 + 16 * n);
  put16(b, faces_at + 6, static_cast<uint32_t>(2 * n));
  at = faces_at + 8;
  for (size_t k = 0; k < n; ++k) {
    const uint32_t first = static_cast<uint32_t>(3 * k);
    const uint32_t sides[2][3] = {{first, first + 1, first + 2}, {first, first + 2, first + 1}};
    for (const auto& side : sides) {
      for (int i = 0; i < 3; ++i) put16(b, at + size_t(2 * i), side[i]);
      put16(b, at + 6, 0);
      at += 8;
    }
  }
  return b;
}

std::string explosion_frame_path(std::string_view model_path, int32_t frame) {
  std::string stem(model_path);
  if (stem.size() >= 4 && lower(stem.substr(stem.size() - 4)) == ".3ds") stem.erase(stem.size() - 4);
  char digits[8];
  std::snprintf(digits, sizeof digits, "%03d", std::clamp(frame, 0, 999));
  return stem + digits + ".3ds";
}

namespace {

constexpr std::string_view kDefaultPartLine =
    "|./images/default_.bmp|./visuals/default_.3ds|1|3|0|0|0|0|0|0|25000|0|0|0|0|0|0|0|0|0|0|0|0|255|255|255|0|1|"
    "./visuals/default_.3ds|0";
constexpr std::string_view kDefaultScript =
    "velocity=100/900\r\nair density=100/200\r\nspin=-2000/2000\r\ndummy=0/0\r\ngravity=-30/-30\r\n"
    "x angle=0/360\r\nz angle=0/360\r\nframes=1/30\r\n";

std::vector<std::string> split_fields(std::string_view line) {
  std::vector<std::string> out;
  size_t at = 0;
  while (true) {
    const size_t bar = line.find('|', at);
    out.emplace_back(line.substr(at, bar == std::string_view::npos ? std::string_view::npos : bar - at));
    if (bar == std::string_view::npos) break;
    at = bar + 1;
  }
  return out;
}

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// "./" in a file stands for the base folder.
std::string absolute(std::string_view base, std::string_view path) {
  if (path.substr(0, 2) == "./") return std::string(base) + std::string(path.substr(2));
  return std::string(path);
}
std::string relative(std::string_view base, std::string_view path) {
  if (!base.empty() && path.substr(0, base.size()) == base) return "./" + std::string(path.substr(base.size()));
  return std::string(path);
}

}  // namespace

ExplosionResult explode_visual(Core& c, std::string_view visual_path, const ExplosionScript& script) {
  ExplosionResult r;
  const std::string base(c.base_folder->view());
  const std::string visual(visual_path);
  // The visual's first part line names the model.
  const std::string text = read_text(visual);
  std::string first_line;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find_first_of("\r\n", at);
    if (end == std::string::npos) end = text.size();
    // A line without "|" is no part line.
    if (end > at && text.substr(at, end - at).find('|') != std::string::npos) {
      first_line = text.substr(at, end - at);
      break;
    }
    at = end + 1;
  }
  std::vector<std::string> fields = split_fields(first_line.empty() ? "1" + std::string(kDefaultPartLine) : first_line);
  const std::vector<std::string> defaults = split_fields("1" + std::string(kDefaultPartLine));
  if (fields.size() < defaults.size())
    for (size_t k = fields.size(); k < defaults.size(); ++k) fields.push_back(defaults[k]);
  const std::string model = absolute(base, fields[2]);
  std::vector<uint8_t> bytes;
  {
    std::ifstream in(model, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<std::array<float, 9>> faces;
  if (!explosion_faces_from_3ds(bytes.data(), bytes.size(), faces) || faces.empty()) {
    r.error = "The model " + model + " has no faces to explode";
    return r;
  }
  const ExplosionRange frames = script.pairs[kExpFrames];
  const int32_t first = std::clamp(std::min(frames.min, frames.max), 0, 999);
  const int32_t last = std::clamp(std::max(frames.min, frames.max), 0, 999);
  std::vector<ExplosionFragment> fragments = explosion_fragments(c, faces, script);
  std::string lines;
  for (int32_t frame = first; frame <= last; ++frame) {
    const std::string path = explosion_frame_path(model, frame);
    const std::vector<uint8_t> image = explosion_image(fragments);
    if (!file_write_safely(path, image.data(), static_cast<int64_t>(image.size()))) {
      r.error = "The frame " + path + " cannot be written";
      return r;
    }
    r.files.push_back(path);
    explosion_step(c, fragments);
    // One visual number per frame: the part line of the model with the frame's file.
    fields[0] = std::to_string(frame - first + 1);
    // The second model follows the first when it named the same one.
    if (fields[29] == fields[2]) fields[29] = relative(base, path);
    fields[2] = relative(base, path);
    for (size_t k = 0; k < fields.size(); ++k) lines += (k ? "|" : "") + fields[k];
    lines += "\r\n";
  }
  if (!file_write_safely(visual, lines.data(), static_cast<int64_t>(lines.size()))) {
    r.error = "The visual " + visual + " cannot be written";
    return r;
  }
  r.done = true;
  return r;
}

void edit_explosion_script(Gui& g, std::string_view script_path) {
  Core& c = *g.core;
  const std::string base(c.base_folder->view());
  const std::string path(script_path);
  TextEditorStore store;
  while (true) {
    const int32_t code = brain_editor(g, path, store);
    if (code == kEditorSaveAs) {
      std::string name(gui_trim(gui_input_box(g, 500, "", "Save current script as...")));
      if (name.size() > 4 && lower(name.substr(name.size() - 4)) == ".exp") name.erase(name.size() - 4);
      if (name.empty() || name.find_first_of("/\\") != std::string::npos) continue;
      const std::string target = base + "brains/" + name + ".exp";
      if (file_exists(c, target) &&
          gui_message_box(g, "Using the name '" + name + "' you will overwrite an existing script", " CONTINUE ",
                          " ABORT ") != 1)
        continue;
      file_copy(c, path, target);
    } else if (code == kEditorLoad) {
      if (gui_message_box(g, "Load script. Current script modifications will be lost!", " CONTINUE ", " ABORT ") != 1)
        continue;
      const std::string chosen = choose_file(g, base + "brains/", "*.exp");
      if (!chosen.empty()) file_copy(c, chosen, path);
    } else {
      break;
    }
  }
}

void explosion_generator(Gui& g, PreviewDevice* device) {
  Core& c = *g.core;
  const std::string base(c.base_folder->view());
  const std::string visual = browse_resources(g, base + "visuals/", 11, "Select a visual to explode", device);
  if (visual.empty()) return;
  const std::string script_path = std::string(c.data_folder->view()) + "current.exp";
  if (!file_exists(c, script_path)) file_write_safely(script_path, kDefaultScript.data(), int64_t(kDefaultScript.size()));
  edit_explosion_script(g, script_path);
  const std::string name(file_part(c, visual).view());
  if (gui_message_box(g, "WARNING!|Selected visual (" + name + ") will be overwritten!", " CONTINUE ", " ABORT ") != 1)
    return;
  const ExplosionResult r = explode_visual(c, visual, explosion_script_parse(read_text(script_path)));
  if (!r.done) {
    gui_message_box(g, r.error, " OK ", " OK ");
    return;
  }
  gui_message_box(g, "Exploding visual successfully generated!", " OK ", " OK ");
}

}  // namespace korva
