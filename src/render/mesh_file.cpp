// Writer and bounded reader of our binary model format; the layout is in docs/file-formats.md.
#include "render/mesh_file.h"

#include <cmath>
#include <cstring>

namespace korva::render {

namespace {

constexpr char kMagic[4] = {'K', 'M', 'D', 'L'};

class Writer {
 public:
  std::vector<uint8_t> bytes;

  void u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
  }
  void f32(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    u32(v);
  }
  void str(const std::string& s) {
    u32(uint32_t(s.size()));
    bytes.insert(bytes.end(), s.begin(), s.end());
  }
  template <size_t N>
  void floats(const std::array<float, N>& a) {
    for (float f : a) f32(f);
  }
};

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  ModelFileError error = ModelFileError::None;

  bool ok() const { return error == ModelFileError::None; }
  size_t left() const { return size_ - pos_; }

  uint32_t u32() {
    if (!ok()) return 0;
    if (left() < 4) {
      error = ModelFileError::Truncated;
      return 0;
    }
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(data_[pos_ + size_t(i)]) << (8 * i);
    pos_ += 4;
    return v;
  }
  float f32() {
    const uint32_t v = u32();
    float f;
    std::memcpy(&f, &v, 4);
    return std::isfinite(f) ? f : 0.0f;
  }
  template <size_t N>
  void floats(std::array<float, N>& a) {
    for (float& f : a) f = f32();
  }
  std::string str() {
    const uint32_t n = u32();
    if (!ok()) return {};
    if (n > kMaxModelNameBytes) {
      error = ModelFileError::Limit;
      return {};
    }
    if (n > left()) {
      error = ModelFileError::Truncated;
      return {};
    }
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return s;
  }
  // A count of items that each take at least item_bytes in the file: refused when above the
  // limit or when the rest of the file cannot hold that many, before anything is allocated.
  uint32_t count(uint32_t limit, size_t item_bytes) {
    const uint32_t n = u32();
    if (!ok()) return 0;
    if (n > limit) {
      error = ModelFileError::Limit;
      return 0;
    }
    if (uint64_t(n) * item_bytes > left()) {
      error = ModelFileError::Truncated;
      return 0;
    }
    return n;
  }
  bool magic() {
    if (left() < 4 || std::memcmp(data_, kMagic, 4) != 0) return false;
    pos_ = 4;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Smallest size in the file of each kind of item, for Reader::count.
constexpr size_t kMaterialBytes = 4 * 4 + 4;
constexpr size_t kMeshBytes = 4 * 5;
constexpr size_t kFrameBytes = 4 + 4 + 16 * 4 + 4;
constexpr size_t kSetBytes = 4 + 4 + 4;
constexpr size_t kChannelBytes = 4 * 4;
constexpr size_t kPositionKeyBytes = 4 * 4;
constexpr size_t kRotationKeyBytes = 5 * 4;

// Bits of a mesh's flag word: which per-vertex arrays follow the positions.
constexpr uint32_t kHasNormals = 1;
constexpr uint32_t kHasUvs = 2;

void read_keys(Reader& r, std::vector<ModelPositionKey>& keys) {
  keys.resize(r.count(kMaxMeshElements, kPositionKeyBytes));
  for (auto& k : keys) {
    k.time = r.f32();
    r.floats(k.value);
  }
}

}  // namespace

const char* model_file_error_text(ModelFileError e) {
  switch (e) {
    case ModelFileError::None: return "no error";
    case ModelFileError::NotOurs: return "not a model file of ours";
    case ModelFileError::Version: return "model file of another version";
    case ModelFileError::Truncated: return "model file ends early";
    case ModelFileError::Limit: return "model file exceeds a limit";
    case ModelFileError::BadIndex: return "model file refers to something it does not hold";
    case ModelFileError::Trailing: return "model file has bytes after its end";
  }
  return "unknown error";
}

ModelFileError model_check(const ModelData& m) {
  if (m.materials.size() > kMaxModelItems || m.meshes.size() > kMaxModelItems ||
      m.frames.size() > kMaxModelItems || m.animation_sets.size() > kMaxModelItems)
    return ModelFileError::Limit;
  for (const auto& mat : m.materials)
    if (mat.texture.size() > kMaxModelNameBytes) return ModelFileError::Limit;
  for (const auto& mesh : m.meshes) {
    if (mesh.name.size() > kMaxModelNameBytes) return ModelFileError::Limit;
    if (mesh.positions.size() > kMaxMeshElements || mesh.faces.size() > kMaxMeshElements)
      return ModelFileError::Limit;
    if (mesh.material != kNoMaterial && mesh.material >= m.materials.size()) return ModelFileError::BadIndex;
    if ((!mesh.normals.empty() && mesh.normals.size() != mesh.positions.size()) ||
        (!mesh.uvs.empty() && mesh.uvs.size() != mesh.positions.size()))
      return ModelFileError::BadIndex;
    for (const auto& f : mesh.faces)
      for (uint32_t c : f)
        if (c >= mesh.positions.size()) return ModelFileError::BadIndex;
  }
  // A model has a root frame; parents come before their children, which also rules out cycles.
  if (m.frames.empty() || m.frames[0].parent != kNoParent) return ModelFileError::BadIndex;
  std::vector<int32_t> depth(m.frames.size(), 0);
  for (size_t i = 0; i < m.frames.size(); ++i) {
    const ModelFrame& f = m.frames[i];
    if (f.name.size() > kMaxModelNameBytes || f.meshes.size() > kMaxModelItems) return ModelFileError::Limit;
    if (i > 0) {
      if (f.parent < 0 || size_t(f.parent) >= i) return ModelFileError::BadIndex;
      depth[i] = depth[size_t(f.parent)] + 1;
      if (depth[i] > kMaxFrameDepth) return ModelFileError::Limit;
    }
    for (uint32_t mesh : f.meshes)
      if (mesh >= m.meshes.size()) return ModelFileError::BadIndex;
  }
  for (const auto& set : m.animation_sets) {
    if (set.name.size() > kMaxModelNameBytes || set.channels.size() > kMaxModelItems)
      return ModelFileError::Limit;
    for (const auto& ch : set.channels) {
      if (ch.frame >= m.frames.size()) return ModelFileError::BadIndex;
      if (ch.positions.size() > kMaxMeshElements || ch.scales.size() > kMaxMeshElements ||
          ch.rotations.size() > kMaxMeshElements)
        return ModelFileError::Limit;
    }
  }
  return ModelFileError::None;
}

std::vector<uint8_t> model_write(const ModelData& m) {
  Writer w;
  w.bytes.insert(w.bytes.end(), kMagic, kMagic + 4);
  w.u32(kModelFileVersion);
  w.u32(uint32_t(m.materials.size()));
  for (const auto& mat : m.materials) {
    w.floats(mat.color);
    w.str(mat.texture);
  }
  w.u32(uint32_t(m.meshes.size()));
  for (const auto& mesh : m.meshes) {
    w.str(mesh.name);
    w.u32(mesh.material);
    w.u32((mesh.normals.empty() ? 0 : kHasNormals) | (mesh.uvs.empty() ? 0 : kHasUvs));
    w.u32(uint32_t(mesh.positions.size()));
    for (const auto& p : mesh.positions) w.floats(p);
    for (const auto& n : mesh.normals) w.floats(n);
    for (const auto& uv : mesh.uvs) w.floats(uv);
    w.u32(uint32_t(mesh.faces.size()));
    for (const auto& f : mesh.faces)
      for (uint32_t c : f) w.u32(c);
  }
  w.u32(uint32_t(m.frames.size()));
  for (const auto& f : m.frames) {
    w.str(f.name);
    w.u32(uint32_t(f.parent));
    w.floats(f.transform);
    w.u32(uint32_t(f.meshes.size()));
    for (uint32_t mesh : f.meshes) w.u32(mesh);
  }
  w.u32(uint32_t(m.animation_sets.size()));
  for (const auto& set : m.animation_sets) {
    w.str(set.name);
    w.f32(set.length);
    w.u32(uint32_t(set.channels.size()));
    for (const auto& ch : set.channels) {
      w.u32(ch.frame);
      for (const auto* keys : {&ch.positions, &ch.scales}) {
        w.u32(uint32_t(keys->size()));
        for (const auto& k : *keys) {
          w.f32(k.time);
          w.floats(k.value);
        }
      }
      w.u32(uint32_t(ch.rotations.size()));
      for (const auto& k : ch.rotations) {
        w.f32(k.time);
        w.floats(k.value);
      }
    }
  }
  return std::move(w.bytes);
}

ModelFileError model_read(const uint8_t* data, size_t size, ModelData& out) {
  out = ModelData();
  if (size > size_t(kMaxModelFileBytes)) return ModelFileError::Limit;
  Reader r(data, size);
  if (!r.magic()) return ModelFileError::NotOurs;
  if (r.u32() != kModelFileVersion) return r.ok() ? ModelFileError::Version : r.error;
  ModelData m;
  m.materials.resize(r.count(kMaxModelItems, kMaterialBytes));
  for (auto& mat : m.materials) {
    r.floats(mat.color);
    mat.texture = r.str();
  }
  m.meshes.resize(r.count(kMaxModelItems, kMeshBytes));
  for (auto& mesh : m.meshes) {
    if (!r.ok()) break;
    mesh.name = r.str();
    mesh.material = r.u32();
    const uint32_t flags = r.u32();
    const size_t vertex_bytes =
        12 + ((flags & kHasNormals) ? 12 : 0) + ((flags & kHasUvs) ? 8 : 0);
    mesh.positions.resize(r.count(kMaxMeshElements, vertex_bytes));
    for (auto& p : mesh.positions) r.floats(p);
    if (flags & kHasNormals) {
      mesh.normals.resize(mesh.positions.size());
      for (auto& n : mesh.normals) r.floats(n);
    }
    if (flags & kHasUvs) {
      mesh.uvs.resize(mesh.positions.size());
      for (auto& uv : mesh.uvs) r.floats(uv);
    }
    mesh.faces.resize(r.count(kMaxMeshElements, 12));
    for (auto& f : mesh.faces)
      for (uint32_t& c : f) c = r.u32();
  }
  m.frames.resize(r.count(kMaxModelItems, kFrameBytes));
  for (auto& f : m.frames) {
    if (!r.ok()) break;
    f.name = r.str();
    f.parent = int32_t(r.u32());
    r.floats(f.transform);
    f.meshes.resize(r.count(kMaxModelItems, 4));
    for (uint32_t& mesh : f.meshes) mesh = r.u32();
  }
  m.animation_sets.resize(r.count(kMaxModelItems, kSetBytes));
  for (auto& set : m.animation_sets) {
    if (!r.ok()) break;
    set.name = r.str();
    set.length = r.f32();
    set.channels.resize(r.count(kMaxModelItems, kChannelBytes));
    for (auto& ch : set.channels) {
      if (!r.ok()) break;
      ch.frame = r.u32();
      read_keys(r, ch.positions);
      read_keys(r, ch.scales);
      ch.rotations.resize(r.count(kMaxMeshElements, kRotationKeyBytes));
      for (auto& k : ch.rotations) {
        k.time = r.f32();
        r.floats(k.value);
      }
    }
  }
  if (!r.ok()) return r.error;
  if (r.left() != 0) return ModelFileError::Trailing;
  if (const ModelFileError e = model_check(m); e != ModelFileError::None) return e;
  out = std::move(m);
  return ModelFileError::None;
}

}  // namespace korva::render
