// Our binary model format (.kmd): frames, meshes, materials, texture names and animation sets of
// an imported model. The import process writes it; the engine reads only this format, and reads
// it as untrusted input (a cache file or a packaged model can be damaged or crafted).
// Plain data only, so that the import tool links nothing of the engine.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korva::render {

constexpr uint32_t kModelFileVersion = 1;
constexpr uint32_t kNoMaterial = 0xffffffffu;
constexpr int32_t kNoParent = -1;

// Limits the reader enforces. Every count is also checked against the bytes left in the file,
// so memory stays proportional to the file's size.
constexpr int64_t kMaxModelFileBytes = 256 << 20;  // imported form of the largest accepted model
constexpr uint32_t kMaxModelNameBytes = 1024;      // names and texture file names
constexpr uint32_t kMaxModelItems = 1u << 16;      // materials, meshes, frames, sets, channels
constexpr uint32_t kMaxMeshElements = 1u << 24;    // vertices or faces of one mesh, keys of a channel
constexpr int32_t kMaxFrameDepth = 256;            // frames are destroyed recursively

struct ModelMaterial {
  std::array<float, 4> color{1.0f, 1.0f, 1.0f, 1.0f};  // diffuse RGBA, 0..1
  std::string texture;                                 // file name as the model gives it, or empty
};

struct ModelMesh {
  std::string name;
  uint32_t material = kNoMaterial;
  std::vector<std::array<float, 3>> positions;
  std::vector<std::array<float, 3>> normals;  // empty, or one per position
  std::vector<std::array<float, 2>> uvs;      // empty, or one per position
  std::vector<std::array<uint32_t, 3>> faces;
};

// Frames come parents first: frame 0 is the root, every other frame names an earlier parent.
struct ModelFrame {
  std::string name;
  int32_t parent = kNoParent;
  std::array<float, 16> transform{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};  // column-major
  std::vector<uint32_t> meshes;
};

struct ModelPositionKey {
  float time = 0.0f;
  std::array<float, 3> value{};
};
struct ModelRotationKey {
  float time = 0.0f;
  std::array<float, 4> value{1.0f, 0.0f, 0.0f, 0.0f};  // w, x, y, z
};
struct ModelChannel {
  uint32_t frame = 0;
  std::vector<ModelPositionKey> positions;
  std::vector<ModelPositionKey> scales;
  std::vector<ModelRotationKey> rotations;
};
struct ModelAnimationSet {
  std::string name;
  float length = 0.0f;
  std::vector<ModelChannel> channels;
};

struct ModelData {
  std::vector<ModelMaterial> materials;
  std::vector<ModelMesh> meshes;
  std::vector<ModelFrame> frames;
  std::vector<ModelAnimationSet> animation_sets;
};

enum class ModelFileError { None, NotOurs, Version, Truncated, Limit, BadIndex, Trailing };

// The file's bytes. The model must be valid (model_check) for the reader to take it back.
std::vector<uint8_t> model_write(const ModelData& m);
// Parses a whole file. Any fault leaves `out` empty and says what it was. Non-finite numbers
// read as 0.
[[nodiscard]] ModelFileError model_read(const uint8_t* data, size_t size, ModelData& out);
// The checks the reader makes on the structure (indices, tree order, depth, sizes).
[[nodiscard]] ModelFileError model_check(const ModelData& m);
const char* model_file_error_text(ModelFileError e);

}  // namespace korva::render
