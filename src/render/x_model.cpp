// DirectX models (.x) and other formats Assimp reads. The engine never runs Assimp itself: the
// korva-import process turns a model into our format under time and memory limits, the result
// is cached by the file's content, and here the cached form becomes frames, mesh builders with
// their material colour and texture, and animation sets bound to the frames.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "core/scramble.h"
#include "render/mesh_file.h"
#include "render/render.h"

extern char** environ;

namespace korva::render {

namespace {

namespace fs = std::filesystem;

std::string folder_of(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

// Format hint for Assimp: the file's extension, lower case; "x" when it has none.
std::string format_hint(std::string_view path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of("/\\");
  std::string hint;
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash))
    for (char c : path.substr(dot + 1)) {
      if (!std::isalnum(static_cast<unsigned char>(c)) || hint.size() >= 8) return "x";
      hint += char(std::tolower(static_cast<unsigned char>(c)));
    }
  return hint.empty() ? "x" : hint;
}

// FNV-1a, 64 bits. The cache name also holds the size and the format, so an accidental clash
// needs two files of the same size and hash.
uint64_t content_hash(const std::vector<uint8_t>& bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (uint8_t b : bytes) {
    h ^= b;
    h *= 0x100000001b3ull;
  }
  return h;
}

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string cache_folder(const ModelImport& import) {
  if (!import.cache_folder.empty()) return import.cache_folder;
  if (std::string v = env("KORVA_MODEL_CACHE"); !v.empty()) return v;
  if (std::string v = env("XDG_CACHE_HOME"); !v.empty()) return v + "/korva/models";
  if (std::string v = env("HOME"); !v.empty()) return v + "/.cache/korva/models";
  return (fs::temp_directory_path() / ("korva-models-" + std::to_string(getuid()))).string();
}

std::string importer_path(const ModelImport& import) {
  if (!import.importer.empty()) return import.importer;
  if (std::string v = env("KORVA_IMPORTER"); !v.empty()) return v;
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return (self.parent_path() / "korva-import").string();
}

bool make_folder(const std::string& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return false;
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);  // the cache is private
  return fs::is_directory(folder, ec);
}

bool read_model_file(const std::string& path, ModelData& out) {
  std::vector<uint8_t> bytes;
  if (!read_whole_file(path, bytes, kMaxModelFileBytes)) return false;
  return model_read(bytes.data(), bytes.size(), out) == ModelFileError::None;
}

double now_seconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Runs the import process on `input`, writing `output`. Its standard streams go to /dev/null,
// so the library's own messages never reach the user; the engine prints one line instead.
ImportResult run_importer(const std::string& importer, std::string_view input, const std::string& output,
                          const std::string& hint, const ModelImport& import) {
  if (importer.empty() || access(importer.c_str(), X_OK) != 0) return ImportResult::NoImporter;
  const std::string memory = std::to_string(import.memory_mib);
  const std::string seconds = std::to_string(import.seconds);
  const std::string in(input);
  std::vector<char*> argv;
  const char* fixed[] = {importer.c_str(), "--hint", hint.c_str(), "--memory", memory.c_str(), "--seconds", seconds.c_str(), "--",
                         in.c_str(), output.c_str()};
  for (const char* a : fixed) argv.push_back(const_cast<char*>(a));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd = 0; fd <= 2; ++fd)
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, importer.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return ImportResult::NoImporter;

  // Poll rather than block, so a hung import is killed at the deadline.
  const double deadline = now_seconds() + import.seconds;
  long pause_ns = 1000000;
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (r < 0) return ImportResult::Crashed;  // the child cannot be waited for: nothing to trust
    if (now_seconds() > deadline) {
      kill(pid, SIGKILL);
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return ImportResult::TimedOut;
    }
    const timespec t{0, pause_ns};
    nanosleep(&t, nullptr);
    pause_ns = std::min(pause_ns * 2, 20000000L);
  }
  if (WIFSIGNALED(status)) return WTERMSIG(status) == SIGXCPU ? ImportResult::TimedOut : ImportResult::Crashed;
  if (!WIFEXITED(status)) return ImportResult::Crashed;
  // Only status 2 judges the model; anything else (1: the output could not be written, on a full
  // disk or under a file size limit) says nothing about it.
  switch (WEXITSTATUS(status)) {
    case 0: return ImportResult::Done;
    case 2: return ImportResult::Refused;
    default: return ImportResult::Unwritten;
  }
}

const char* result_text(ImportResult r) {
  switch (r) {
    case ImportResult::Done: return "imported";
    case ImportResult::Missing: return "missing";
    case ImportResult::Refused: return "refused by the importer";
    case ImportResult::Crashed: return "the importer crashed on it";
    case ImportResult::TimedOut: return "the importer took too long";
    case ImportResult::NoImporter: return "the importer korva-import cannot be started";
    case ImportResult::Unwritten: return "the importer could not write the converted model";
  }
  return "failed";
}

// Loads through the cache; prints one line on stderr when an existing file cannot be imported.
bool load(std::string_view path, XModel& out, TextureCache& textures, const ModelImport& import) {
  ModelData m;
  const ImportResult r = import_model(path, import, m);
  if (r == ImportResult::Done) {
    model_to_frames(m, path, out, textures);
    return true;
  }
  if (r != ImportResult::Missing)
    std::fprintf(stderr, "korva: model %.*s not loaded (%s); the default model is used\n", int(path.size()),
                 path.data(), result_text(r));
  return false;
}

}  // namespace

ImportResult import_model(std::string_view path, const ModelImport& import, ModelData& out) {
  out = ModelData();
  std::vector<uint8_t> bytes;
  if (path.empty()) return ImportResult::Missing;
  if (!read_whole_file(path, bytes, kMaxModelBytes) || bytes.empty()) {
    // An empty, oversized or unreadable file is there but cannot be a model: say so.
    std::error_code ec;
    return fs::exists(std::string(path), ec) ? ImportResult::Refused : ImportResult::Missing;
  }
  const std::string hint = format_hint(path);
  char key[64];
  std::snprintf(key, sizeof key, "%016llx-%llx-v%u", static_cast<unsigned long long>(content_hash(bytes)),
                static_cast<unsigned long long>(bytes.size()), kModelFileVersion);
  const std::string folder = cache_folder(import);
  const bool cached = make_folder(folder);
  const std::string base = cached ? folder + "/" + key + "." + hint : std::string();
  if (cached) {
    if (read_model_file(base + ".kmd", out)) return ImportResult::Done;
    std::error_code ec;
    if (fs::exists(base + ".refused", ec)) return ImportResult::Refused;
  }
  // Without a usable cache folder the import still runs, into a temporary file.
  const std::string tmp = (cached ? base : (fs::temp_directory_path() / key).string() + "." + hint) + "." +
                          std::to_string(long(getpid())) + ".tmp";
  // A stand-alone game's models are stored scrambled: the importer reads a plain copy.
  std::string source(path), plain_copy;
  if (reads_scrambled(path)) {
    plain_copy = tmp + "." + hint;
    if (file_write_safely(plain_copy, bytes.data(), int64_t(bytes.size()))) source = plain_copy;
  }
  ImportResult r = run_importer(importer_path(import), source, tmp, hint, import);
  std::error_code ec;
  if (!plain_copy.empty()) fs::remove(plain_copy, ec);
  if (r == ImportResult::Done && !read_model_file(tmp, out)) r = ImportResult::Unwritten;
  if (r == ImportResult::Done && cached) {
    fs::rename(tmp, base + ".kmd", ec);  // atomic: a concurrent reader sees all or nothing
  } else if (r == ImportResult::Refused && cached) {
    // A refusal is remembered so the file is not imported again until it changes. Crashes,
    // timeouts and unwritten output are not: they may come from a loaded machine, a full disk or
    // a limit that later runs lift.
    if (FILE* f = std::fopen((base + ".refused").c_str(), "wb")) std::fclose(f);
  }
  fs::remove(tmp, ec);
  return r;
}

void model_to_frames(const ModelData& m, std::string_view path, XModel& out, TextureCache& textures) {
  const std::string folder = folder_of(path);
  std::vector<rm::TexturePtr> material_textures(m.materials.size());
  for (size_t i = 0; i < m.materials.size(); ++i) {
    const std::string& file = m.materials[i].texture;
    if (file.empty()) continue;
    material_textures[i] = texture_load(textures, folder + file);
    if (!material_textures[i]) material_textures[i] = texture_load(textures, file);
  }
  std::vector<rm::FramePtr> frames;
  frames.reserve(m.frames.size());
  for (const ModelFrame& mf : m.frames) {
    // The reader guarantees that parents come first and that every index is in range.
    rm::FramePtr f = rm::frame_create(mf.parent == kNoParent ? nullptr : frames[size_t(mf.parent)].get());
    f->name = mf.name;
    rm::mat4 local;
    for (int c = 0; c < 4; ++c)
      for (int r = 0; r < 4; ++r) local[c][r] = mf.transform[size_t(c * 4 + r)];
    rm::frame_set_transform(*f, local);
    // Each use of a mesh gets a mesh builder of its own, as keywords may change one of them.
    for (uint32_t index : mf.meshes) {
      const ModelMesh& mm = m.meshes[index];
      rm::MeshPtr mesh = rm::mesh_create();
      mesh->name = mm.name;
      rm::vec4 color(1.0f);
      rm::TexturePtr texture;
      if (mm.material != kNoMaterial) {
        const auto& c = m.materials[mm.material].color;
        color = rm::vec4(c[0], c[1], c[2], c[3]);
        texture = material_textures[mm.material];
      }
      rm::mesh_reserve(*mesh, int32_t(mm.positions.size()), int32_t(mm.faces.size()));
      for (size_t i = 0; i < mm.positions.size(); ++i) {
        const auto& p = mm.positions[i];
        const rm::vec2 uv = mm.uvs.empty() ? rm::vec2(0.0f) : rm::vec2(mm.uvs[i][0], mm.uvs[i][1]);
        rm::mesh_add_vertex(*mesh, rm::vec3(p[0], p[1], p[2]), uv);
      }
      for (const auto& face : mm.faces) {
        const int32_t added =
            rm::mesh_add_face(*mesh, int32_t(face[0]), int32_t(face[1]), int32_t(face[2]), color);
        if (added >= 0) mesh->faces[size_t(added)].texture = texture;
      }
      if (mm.normals.empty()) {
        rm::mesh_generate_normals(*mesh);
      } else {
        mesh->normals.resize(mesh->vertices.size());
        for (size_t i = 0; i < mm.normals.size() && i < mesh->normals.size(); ++i)
          mesh->normals[i] = rm::vec3(mm.normals[i][0], mm.normals[i][1], mm.normals[i][2]);
      }
      rm::frame_add_visual(*f, mesh);
    }
    frames.push_back(f);
  }
  out.frame = frames.empty() ? rm::frame_create(nullptr) : frames[0];
  out.animation_sets.clear();
  out.path = path;
  for (const ModelAnimationSet& ms : m.animation_sets) {
    auto set = std::make_shared<rm::AnimationSet>();
    set->name = ms.name;
    set->length = ms.length;
    for (const ModelChannel& ch : ms.channels) {
      rm::AnimationPtr anim = rm::animation_create();
      anim->name = m.frames[ch.frame].name;
      rm::animation_set_options(*anim, rm::kAnimLinear | rm::kAnimPosition | rm::kAnimScaleAndRotation);
      for (const auto& k : ch.positions)
        rm::animation_add_position_key(*anim, k.time, rm::vec3(k.value[0], k.value[1], k.value[2]));
      for (const auto& k : ch.scales)
        rm::animation_add_scale_key(*anim, k.time, rm::vec3(k.value[0], k.value[1], k.value[2]));
      for (const auto& k : ch.rotations)
        rm::animation_add_rotation_key(*anim, k.time, rm::quat(k.value[0], k.value[1], k.value[2], k.value[3]));
      rm::animation_set_frame(*anim, frames[ch.frame]);
      set->animations.push_back(anim);
    }
    out.animation_sets.push_back(set);
  }
}

bool read_x(std::string_view path, XModel& out, TextureCache& textures, std::string_view default_path,
            const ModelImport& import) {
  if (load(path, out, textures, import)) return true;
  return !default_path.empty() && default_path != path && load(default_path, out, textures, import);
}

}  // namespace korva::render
