// Loads FFmpeg's libraries by their names for the major versions the code was built against,
// those that others need first, so each finds what it needs already loaded.
#include "platform/video/ffmpeg_library.h"

#include <dlfcn.h>
#include <link.h>

#include <string>
#include <vector>

#include "platform/video/video.h"

namespace korva::video {
namespace {

std::string soname(const char* stem, int major) { return std::string(stem) + ".so." + std::to_string(major); }

struct Loaded {
  FFmpeg table;
  bool ok = false;
  std::string problem;
  std::vector<void*> handles;
};

const Loaded& loaded() {
  static const Loaded l = [] {
    Loaded out;
    const std::string names[] = {soname("libavutil", LIBAVUTIL_VERSION_MAJOR),
                                 soname("libswresample", LIBSWRESAMPLE_VERSION_MAJOR),
                                 soname("libswscale", LIBSWSCALE_VERSION_MAJOR),
                                 soname("libavcodec", LIBAVCODEC_VERSION_MAJOR),
                                 soname("libavformat", LIBAVFORMAT_VERSION_MAJOR)};
    for (const std::string& name : names) {
      void* h = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (!h) {
        out.problem = "the library " + name + " cannot be loaded";
        return out;
      }
      out.handles.push_back(h);
    }
    // Each function from whichever library has it.
    auto find = [&](const char* name) -> void* {
      for (void* h : out.handles)
        if (void* f = dlsym(h, name)) return f;
      if (out.problem.empty()) out.problem = std::string("FFmpeg has no function ") + name;
      return nullptr;
    };
#define KORVA_FFMPEG_FIND(name) out.table.name = reinterpret_cast<decltype(&::name)>(find(#name));
    KORVA_FFMPEG_FUNCTIONS(KORVA_FFMPEG_FIND)
#undef KORVA_FFMPEG_FIND
    out.ok = out.problem.empty();
    return out;
  }();
  return l;
}

}  // namespace

const FFmpeg* ffmpeg_load(std::string* problem) {
  const Loaded& l = loaded();
  if (!l.ok && problem) *problem = l.problem;
  return l.ok ? &l.table : nullptr;
}

const FFmpeg& ff() { return loaded().table; }

std::vector<LibraryFile> library_files() {
  std::vector<LibraryFile> files;
  if (!ffmpeg_load()) return files;
  for (void* h : loaded().handles) {
    link_map* map = nullptr;
    if (dlinfo(h, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name || !*map->l_name) continue;
    const std::string path = map->l_name;
    files.push_back({path.substr(path.find_last_of('/') + 1), path});
  }
  return files;
}

}  // namespace korva::video
