// DirectX models (.x) through Assimp: the node tree becomes frames, meshes become mesh builders
// with their material colour and texture, animations become animation sets bound to the frames.
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <cmath>
#include <map>

#include "render/render.h"

namespace korva::render {

namespace {

rm::mat4 to_mat4(const aiMatrix4x4& a) {
  rm::mat4 m;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m[c][r] = a[r][c];
  return m;
}

std::string folder_of(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

rm::MeshPtr convert_mesh(const aiMesh& am, const aiScene& scene, const std::string& folder,
                         TextureCache& textures) {
  rm::MeshPtr m = rm::mesh_create();
  m->name = am.mName.C_Str();
  rm::vec4 color(1.0f);
  rm::TexturePtr texture;
  if (am.mMaterialIndex < scene.mNumMaterials) {
    const aiMaterial& mat = *scene.mMaterials[am.mMaterialIndex];
    aiColor4D c;
    if (mat.Get(AI_MATKEY_COLOR_DIFFUSE, c) == AI_SUCCESS)
      color = rm::vec4(c.r, c.g, c.b, std::isfinite(c.a) && c.a > 0.0f ? c.a : 1.0f);
    aiString file;
    if (mat.GetTexture(aiTextureType_DIFFUSE, 0, &file) == AI_SUCCESS && file.length > 0) {
      texture = texture_load(textures, folder + file.C_Str());
      if (!texture) texture = texture_load(textures, file.C_Str());
    }
  }
  rm::mesh_reserve(*m, int32_t(am.mNumVertices), int32_t(am.mNumFaces));
  for (unsigned i = 0; i < am.mNumVertices; ++i) {
    const aiVector3D& v = am.mVertices[i];
    rm::vec2 uv(0.0f);
    if (am.mTextureCoords[0]) uv = rm::vec2(am.mTextureCoords[0][i].x, am.mTextureCoords[0][i].y);
    rm::mesh_add_vertex(*m, rm::vec3(v.x, v.y, v.z), uv);
  }
  if (am.mNormals) {
    m->normals.resize(m->vertices.size());
    for (unsigned i = 0; i < am.mNumVertices; ++i)
      m->normals[i] = rm::vec3(am.mNormals[i].x, am.mNormals[i].y, am.mNormals[i].z);
  }
  for (unsigned i = 0; i < am.mNumFaces; ++i) {
    const aiFace& f = am.mFaces[i];
    if (f.mNumIndices != 3) continue;  // points and lines are not drawn
    const int32_t face = rm::mesh_add_face(*m, int32_t(f.mIndices[0]), int32_t(f.mIndices[1]),
                                           int32_t(f.mIndices[2]), color);
    if (face >= 0) m->faces[size_t(face)].texture = texture;
  }
  if (!am.mNormals) rm::mesh_generate_normals(*m);
  return m;
}

void convert_node(const aiNode& node, const aiScene& scene, rm::Frame& frame,
                  const std::string& folder, TextureCache& textures,
                  std::map<std::string, rm::FramePtr>& by_name, int depth) {
  frame.name = node.mName.C_Str();
  rm::frame_set_transform(frame, to_mat4(node.mTransformation));
  for (unsigned i = 0; i < node.mNumMeshes; ++i) {
    if (node.mMeshes[i] >= scene.mNumMeshes) continue;
    rm::frame_add_visual(frame, convert_mesh(*scene.mMeshes[node.mMeshes[i]], scene, folder, textures));
  }
  if (depth > 256) return;  // a tree this deep is damaged; its lower part is dropped
  for (unsigned i = 0; i < node.mNumChildren; ++i) {
    rm::FramePtr child = rm::frame_create(&frame);
    by_name.emplace(node.mChildren[i]->mName.C_Str(), child);
    convert_node(*node.mChildren[i], scene, *child, folder, textures, by_name, depth + 1);
  }
}

std::shared_ptr<rm::AnimationSet> convert_animation(const aiAnimation& a,
                                                    const std::map<std::string, rm::FramePtr>& by_name) {
  auto set = std::make_shared<rm::AnimationSet>();
  set->name = a.mName.C_Str();
  set->length = std::isfinite(a.mDuration) ? float(a.mDuration) : 0.0f;
  for (unsigned c = 0; c < a.mNumChannels; ++c) {
    const aiNodeAnim& ch = *a.mChannels[c];
    auto it = by_name.find(ch.mNodeName.C_Str());
    if (it == by_name.end()) continue;
    rm::AnimationPtr anim = rm::animation_create();
    anim->name = ch.mNodeName.C_Str();
    rm::animation_set_options(*anim, rm::kAnimLinear | rm::kAnimPosition | rm::kAnimScaleAndRotation);
    for (unsigned k = 0; k < ch.mNumPositionKeys; ++k) {
      const auto& key = ch.mPositionKeys[k];
      rm::animation_add_position_key(*anim, float(key.mTime), rm::vec3(key.mValue.x, key.mValue.y, key.mValue.z));
    }
    for (unsigned k = 0; k < ch.mNumScalingKeys; ++k) {
      const auto& key = ch.mScalingKeys[k];
      rm::animation_add_scale_key(*anim, float(key.mTime), rm::vec3(key.mValue.x, key.mValue.y, key.mValue.z));
    }
    for (unsigned k = 0; k < ch.mNumRotationKeys; ++k) {
      const auto& key = ch.mRotationKeys[k];
      rm::animation_add_rotation_key(*anim, float(key.mTime),
                                     rm::quat(key.mValue.w, key.mValue.x, key.mValue.y, key.mValue.z));
    }
    rm::animation_set_frame(*anim, it->second);
    set->animations.push_back(anim);
  }
  return set;
}

bool load(std::string_view path, XModel& out, TextureCache& textures) {
  std::vector<uint8_t> bytes;
  if (!read_whole_file(path, bytes, kMaxModelBytes) || bytes.empty()) return false;
  Assimp::Importer importer;
  // The model comes back in its own (DirectX) conventions: left-handed, clockwise faces, v down.
  const aiScene* scene = importer.ReadFileFromMemory(
      bytes.data(), bytes.size(),
      aiProcess_Triangulate | aiProcess_ConvertToLeftHanded | aiProcess_ValidateDataStructure, "x");
  if (!scene || !scene->mRootNode || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE)) return false;
  out.frame = rm::frame_create(nullptr);
  out.animation_sets.clear();
  out.path = path;
  std::map<std::string, rm::FramePtr> by_name;
  by_name.emplace(scene->mRootNode->mName.C_Str(), out.frame);
  convert_node(*scene->mRootNode, *scene, *out.frame, folder_of(path), textures, by_name, 0);
  for (unsigned i = 0; i < scene->mNumAnimations; ++i)
    out.animation_sets.push_back(convert_animation(*scene->mAnimations[i], by_name));
  return true;
}

}  // namespace

bool read_x(std::string_view path, XModel& out, TextureCache& textures, std::string_view default_path) {
  if (load(path, out, textures)) return true;
  return !default_path.empty() && default_path != path && load(default_path, out, textures);
}

}  // namespace korva::render
