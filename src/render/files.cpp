// Whole-file reads for the asset readers, bounded so that a huge file cannot exhaust memory.
#include <cstdio>

#include "core/files.h"
#include "render/render.h"

namespace korva::render {

bool read_whole_file(std::string_view path, std::vector<uint8_t>& out, int64_t max) {
  out.clear();
  const PlatformText p = platform_path(path);
  if (!p.s[0]) return false;
  std::FILE* f = std::fopen(p.c_str(), "rb");
  if (!f) return false;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(f) : -1;
  ok = ok && size >= 0 && size <= max && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok) {
    out.resize(size_t(size));
    ok = size == 0 || std::fread(out.data(), 1, out.size(), f) == out.size();
  }
  std::fclose(f);
  if (!ok) out.clear();
  return ok;
}

}  // namespace korva::render
