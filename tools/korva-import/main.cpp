// korva-import: reads one model file through Assimp and writes it in our model format.
//   korva-import [--hint EXT] [--memory MIB] [--seconds S] [--] INPUT OUTPUT
// Exit status: 0 written, 2 the model was refused (unreadable, damaged or over a limit),
// 1 wrong arguments or the output could not be written. The engine runs it as a child and
// uses the default model after anything but 0; only a refusal (2) is remembered in the cache.
// Limits are applied before Assimp is touched.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVA_HAS_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef KORVA_HAS_ADDRESS_SANITIZER
#define KORVA_HAS_ADDRESS_SANITIZER 0
#endif

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "render/mesh_file.h"

namespace {

using namespace korva::render;

enum Status : int { kWritten = 0, kUsage = 1, kRefused = 2 };

// Largest model file accepted, the same bound the engine puts on the file it hashes.
constexpr long kMaxInputBytes = 64L << 20;

void limit(int resource, rlim_t value) {
  const rlimit r{value, value};
  setrlimit(resource, &r);
}

// Test hook: KORVA_IMPORT_FAULT=abort or =hang makes the import die or never end, so tests can
// check that the engine survives an importer that crashes or hangs on a hostile file.
void test_fault() {
  const char* fault = std::getenv("KORVA_IMPORT_FAULT");
  if (!fault) return;
  if (std::strcmp(fault, "abort") == 0) std::abort();
  if (std::strcmp(fault, "hang") == 0)
    for (;;) pause();
}

bool read_input(const char* path, std::vector<uint8_t>& out) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    out.insert(out.end(), buf, buf + n);
    if (out.size() > size_t(kMaxInputBytes)) break;
  }
  std::fclose(f);
  return !out.empty() && out.size() <= size_t(kMaxInputBytes);
}

std::array<float, 16> to_columns(const aiMatrix4x4& a) {
  std::array<float, 16> m{};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m[size_t(c * 4 + r)] = a[r][c];
  return m;
}

float finite(float f) { return std::isfinite(f) ? f : 0.0f; }

ModelMaterial convert_material(const aiMaterial& mat) {
  ModelMaterial out;
  aiColor4D c;
  if (mat.Get(AI_MATKEY_COLOR_DIFFUSE, c) == AI_SUCCESS)
    out.color = {finite(c.r), finite(c.g), finite(c.b), std::isfinite(c.a) && c.a > 0.0f ? c.a : 1.0f};
  aiString file;
  if (mat.GetTexture(aiTextureType_DIFFUSE, 0, &file) == AI_SUCCESS && file.length > 0)
    out.texture = std::string(file.C_Str()).substr(0, kMaxModelNameBytes);
  return out;
}

bool convert_mesh(const aiMesh& am, const aiScene& scene, ModelMesh& out) {
  if (am.mNumVertices > kMaxMeshElements || am.mNumFaces > kMaxMeshElements) return false;
  out.name = std::string(am.mName.C_Str()).substr(0, kMaxModelNameBytes);
  if (am.mMaterialIndex < scene.mNumMaterials) out.material = am.mMaterialIndex;
  out.positions.reserve(am.mNumVertices);
  for (unsigned i = 0; i < am.mNumVertices; ++i)
    out.positions.push_back({am.mVertices[i].x, am.mVertices[i].y, am.mVertices[i].z});
  if (am.mNormals)
    for (unsigned i = 0; i < am.mNumVertices; ++i)
      out.normals.push_back({am.mNormals[i].x, am.mNormals[i].y, am.mNormals[i].z});
  if (am.mTextureCoords[0])
    for (unsigned i = 0; i < am.mNumVertices; ++i)
      out.uvs.push_back({am.mTextureCoords[0][i].x, am.mTextureCoords[0][i].y});
  for (unsigned i = 0; i < am.mNumFaces; ++i) {
    const aiFace& f = am.mFaces[i];
    if (f.mNumIndices != 3) continue;  // points and lines are not drawn
    if (f.mIndices[0] >= am.mNumVertices || f.mIndices[1] >= am.mNumVertices ||
        f.mIndices[2] >= am.mNumVertices)
      continue;
    out.faces.push_back({f.mIndices[0], f.mIndices[1], f.mIndices[2]});
  }
  return true;
}

// The node tree, parents first. Nodes below kMaxFrameDepth are dropped (a tree that deep is
// damaged) and so are nodes beyond the frame limit.
void convert_nodes(const aiNode& root, ModelData& m, std::map<std::string, uint32_t>& by_name) {
  struct Pending {
    const aiNode* node;
    int32_t parent;
    int32_t depth;
  };
  std::vector<Pending> stack{{&root, kNoParent, 0}};
  while (!stack.empty() && m.frames.size() < kMaxModelItems) {
    const Pending p = stack.back();
    stack.pop_back();
    const uint32_t index = uint32_t(m.frames.size());
    ModelFrame& f = m.frames.emplace_back();
    f.name = std::string(p.node->mName.C_Str()).substr(0, kMaxModelNameBytes);
    f.parent = p.parent;
    f.transform = to_columns(p.node->mTransformation);
    for (unsigned i = 0; i < p.node->mNumMeshes && f.meshes.size() < kMaxModelItems; ++i)
      if (p.node->mMeshes[i] < m.meshes.size()) f.meshes.push_back(p.node->mMeshes[i]);
    by_name.emplace(f.name, index);
    if (p.depth >= kMaxFrameDepth) continue;
    // Pushed in reverse so that children keep their order.
    for (unsigned i = p.node->mNumChildren; i-- > 0;)
      if (p.node->mChildren[i]) stack.push_back({p.node->mChildren[i], int32_t(index), p.depth + 1});
  }
}

ModelAnimationSet convert_animation(const aiAnimation& a, const std::map<std::string, uint32_t>& by_name) {
  ModelAnimationSet set;
  set.name = std::string(a.mName.C_Str()).substr(0, kMaxModelNameBytes);
  set.length = std::isfinite(a.mDuration) ? float(a.mDuration) : 0.0f;
  for (unsigned c = 0; c < a.mNumChannels && set.channels.size() < kMaxModelItems; ++c) {
    const aiNodeAnim& ch = *a.mChannels[c];
    auto it = by_name.find(ch.mNodeName.C_Str());
    if (it == by_name.end()) continue;
    ModelChannel& out = set.channels.emplace_back();
    out.frame = it->second;
    for (unsigned k = 0; k < ch.mNumPositionKeys && k < kMaxMeshElements; ++k) {
      const auto& key = ch.mPositionKeys[k];
      out.positions.push_back({float(key.mTime), {key.mValue.x, key.mValue.y, key.mValue.z}});
    }
    for (unsigned k = 0; k < ch.mNumScalingKeys && k < kMaxMeshElements; ++k) {
      const auto& key = ch.mScalingKeys[k];
      out.scales.push_back({float(key.mTime), {key.mValue.x, key.mValue.y, key.mValue.z}});
    }
    for (unsigned k = 0; k < ch.mNumRotationKeys && k < kMaxMeshElements; ++k) {
      const auto& key = ch.mRotationKeys[k];
      out.rotations.push_back({float(key.mTime), {key.mValue.w, key.mValue.x, key.mValue.y, key.mValue.z}});
    }
  }
  return set;
}

bool convert(const aiScene& scene, ModelData& m) {
  if (scene.mNumMaterials > kMaxModelItems || scene.mNumMeshes > kMaxModelItems) return false;
  for (unsigned i = 0; i < scene.mNumMaterials; ++i) m.materials.push_back(convert_material(*scene.mMaterials[i]));
  for (unsigned i = 0; i < scene.mNumMeshes; ++i)
    if (!convert_mesh(*scene.mMeshes[i], scene, m.meshes.emplace_back())) return false;
  std::map<std::string, uint32_t> by_name;
  convert_nodes(*scene.mRootNode, m, by_name);
  for (unsigned i = 0; i < scene.mNumAnimations && m.animation_sets.size() < kMaxModelItems; ++i)
    m.animation_sets.push_back(convert_animation(*scene.mAnimations[i], by_name));
  return model_check(m) == ModelFileError::None;
}

bool write_output(const char* path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::string hint = "x";
  long memory_mib = 2048;
  long seconds = 60;
  std::vector<const char*> files;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (options && a == "--") {
      options = false;
    } else if (options && i + 1 < argc && a == "--hint") {
      hint = argv[++i];
    } else if (options && i + 1 < argc && a == "--memory") {
      memory_mib = std::atol(argv[++i]);
    } else if (options && i + 1 < argc && a == "--seconds") {
      seconds = std::atol(argv[++i]);
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.size() != 2 || memory_mib <= 0 || seconds <= 0 || hint.size() > 8) {
    std::fprintf(stderr, "usage: korva-import [--hint EXT] [--memory MIB] [--seconds S] [--] INPUT OUTPUT\n");
    return kUsage;
  }
#if !defined(__SANITIZE_ADDRESS__) && !KORVA_HAS_ADDRESS_SANITIZER
  // (The address sanitizer reserves terabytes of address space up front: under it the memory
  // limit would stop every import, so sanitizer builds go without it.)
  limit(RLIMIT_AS, rlim_t(memory_mib) << 20);
#endif
  limit(RLIMIT_CPU, rlim_t(seconds));
  limit(RLIMIT_CORE, 0);
  limit(RLIMIT_FSIZE, rlim_t(kMaxModelFileBytes));
  test_fault();

  std::vector<uint8_t> bytes;
  if (!read_input(files[0], bytes)) return kRefused;
  Assimp::Importer importer;
  // The model comes back in its own (DirectX) conventions: left-handed, clockwise faces, v down.
  const aiScene* scene = importer.ReadFileFromMemory(
      bytes.data(), bytes.size(),
      aiProcess_Triangulate | aiProcess_ConvertToLeftHanded | aiProcess_ValidateDataStructure, hint.c_str());
  if (!scene || !scene->mRootNode || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE)) return kRefused;
  ModelData model;
  if (!convert(*scene, model)) return kRefused;
  const std::vector<uint8_t> out = model_write(model);
  if (out.size() > size_t(kMaxModelFileBytes)) return kRefused;
  return write_output(files[1], out) ? kWritten : kUsage;
}
