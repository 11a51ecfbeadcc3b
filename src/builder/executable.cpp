// The stand-alone game's executable: a copy of korva-player (the engine without the editors)
// whose window title placeholder carries the game's window name, and the shared libraries it
// needs beyond the C library and the system's GL, bundled into "lib/" beside it (the player
// looks there first: its run path is $ORIGIN/lib, which also serves the FFmpeg libraries it
// loads when a video first plays).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <unordered_set>

#include "builder/builder.h"
#include "core/core.h"
#include "platform/video/video.h"

namespace korva {
namespace {

// The 32 characters the player's window title is read from (app/startup.cpp holds the same).
constexpr std::string_view kTitlePlaceholder = "Korva                           ";
static_assert(kTitlePlaceholder.size() == kWindowNameChars);

// Libraries every Debian machine that can show a GL window has: the C library's parts, the
// dynamic loader, and the system's GL with the display libraries under it.
constexpr std::string_view kSystemPrefixes[] = {
    "linux-vdso", "linux-gate", "ld-linux", "libc.so", "libm.so", "libpthread.so", "libdl.so", "librt.so",
    "libresolv.so", "libutil.so", "libanl.so", "libnsl.so", "libmvec.so", "libGL.so", "libEGL.so",
    "libGLX.so", "libGLX_", "libEGL_", "libGLdispatch.so", "libOpenGL.so", "libGLESv", "libdrm.so",
    "libgbm.so", "libX11.so", "libX11-xcb.so", "libxcb", "libXau.so", "libXdmcp.so", "libXext.so",
    "libwayland-", "libbsd.so", "libmd.so",
};

std::string run_ldd(std::string_view executable, std::string& error) {
  std::string command = "ldd '";
  for (char ch : executable) {
    if (ch == '\'') command += "'\\''";
    else command += ch;
  }
  command += "' 2>&1";
  std::FILE* p = popen(command.c_str(), "r");
  if (!p) {
    error = "ldd could not be started";
    return {};
  }
  std::string out;
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, p)) > 0) out.append(chunk, n);
  if (pclose(p) != 0) error = "ldd failed on " + std::string(executable) + ": " + out;
  return out;
}

template <typename T>
bool read_at(const std::vector<uint8_t>& b, uint64_t offset, T& out) {
  if (offset > b.size() || b.size() - offset < sizeof(T)) return false;
  std::memcpy(&out, b.data() + offset, sizeof(T));
  return true;
}

}  // namespace

bool library_runpath_to_origin(std::vector<uint8_t>& elf) {
  // A 64-bit little-endian ELF file: its dynamic section's run path string is overwritten in
  // place (it only gets shorter) with "$ORIGIN", the folder the library itself is in.
  constexpr std::string_view kOrigin = "$ORIGIN";
  if (elf.size() < 64 || std::memcmp(elf.data(), "\x7f" "ELF", 4) != 0 || elf[4] != 2 || elf[5] != 1) return false;
  uint64_t phoff = 0;
  uint16_t phentsize = 0, phnum = 0;
  if (!read_at(elf, 32, phoff) || !read_at(elf, 54, phentsize) || !read_at(elf, 56, phnum) || phentsize < 56) return false;
  uint64_t dyn_offset = 0, dyn_size = 0;
  struct Load { uint64_t vaddr, offset, filesz; };
  std::vector<Load> loads;
  for (uint16_t i = 0; i < phnum; ++i) {
    const uint64_t at = phoff + uint64_t(i) * phentsize;
    uint32_t type = 0;
    uint64_t offset = 0, vaddr = 0, filesz = 0;
    if (!read_at(elf, at, type) || !read_at(elf, at + 8, offset) || !read_at(elf, at + 16, vaddr) ||
        !read_at(elf, at + 32, filesz))
      return false;
    if (type == 1) loads.push_back({vaddr, offset, filesz});  // PT_LOAD
    if (type == 2) {                                          // PT_DYNAMIC
      dyn_offset = offset;
      dyn_size = filesz;
    }
  }
  uint64_t strtab = 0, path = 0;
  bool has_path = false;
  for (uint64_t at = dyn_offset; at + 16 <= dyn_offset + dyn_size; at += 16) {
    int64_t tag = 0;
    uint64_t value = 0;
    if (!read_at(elf, at, tag) || !read_at(elf, at + 8, value) || tag == 0) break;
    if (tag == 5) strtab = value;                  // DT_STRTAB (an address)
    if (tag == 15 || tag == 29) path = value, has_path = true;  // DT_RPATH, DT_RUNPATH
  }
  if (!has_path) return true;  // nothing to change
  for (const Load& l : loads) {
    if (strtab < l.vaddr || strtab >= l.vaddr + l.filesz) continue;
    const uint64_t at = l.offset + (strtab - l.vaddr) + path;
    if (at >= elf.size()) return false;
    const uint64_t end = std::find(elf.begin() + int64_t(at), elf.end(), uint8_t{0}) - elf.begin();
    if (end >= elf.size() || end - at < kOrigin.size()) return false;
    std::memcpy(elf.data() + at, kOrigin.data(), kOrigin.size());
    std::memset(elf.data() + at + kOrigin.size(), 0, end - at - kOrigin.size());
    return true;
  }
  return false;
}

bool library_excluded(std::string_view soname) {
  for (std::string_view p : kSystemPrefixes)
    if (soname.substr(0, p.size()) == p) return true;
  return false;
}

std::vector<std::string> libraries_from_ldd(std::string_view text) {
  std::vector<std::string> libs;
  LineCursor lines{text.data(), int64_t(text.size())};
  while (!lines.at_end()) {
    std::string_view line = lines.next();
    while (!line.empty() && (line.front() == '\t' || line.front() == ' ')) line.remove_prefix(1);
    const size_t arrow = line.find(" => ");
    if (arrow == std::string_view::npos) continue;  // the loader and the vdso have no arrow
    const std::string_view name = line.substr(0, arrow);
    std::string_view path = line.substr(arrow + 4);
    const size_t paren = path.find(" (");
    if (paren != std::string_view::npos) path = path.substr(0, paren);
    if (library_excluded(name)) continue;
    libs.push_back(std::string(name) + "=" + std::string(path));
  }
  return libs;
}

std::vector<std::string> player_libraries(std::string_view executable, std::string& error) {
  error.clear();
  const std::string out = run_ldd(executable, error);
  if (!error.empty()) return {};
  if (out.find("not found") != std::string::npos) {
    error = "the player needs libraries this machine does not have:\n" + out;
    return {};
  }
  std::vector<std::string> libs = libraries_from_ldd(out);
  // What the system's GL itself needs is the system's too, whatever it is called.
  std::unordered_set<std::string> of_gl;
  LineCursor lines{out.data(), int64_t(out.size())};
  while (!lines.at_end()) {
    std::string_view line = lines.next();
    const size_t arrow = line.find(" => ");
    if (arrow == std::string_view::npos) continue;
    std::string_view name = line.substr(0, arrow);
    while (!name.empty() && (name.front() == '\t' || name.front() == ' ')) name.remove_prefix(1);
    if (name.substr(0, 5) != "libGL" && name.substr(0, 6) != "libEGL" && name.substr(0, 9) != "libOpenGL") continue;
    std::string path(line.substr(arrow + 4));
    path = path.substr(0, path.find(" ("));
    std::string gl_error;
    for (const auto& dep : libraries_from_ldd(run_ldd(path, gl_error))) of_gl.insert(dep.substr(0, dep.find('=')));
  }
  std::vector<std::string> kept;
  for (auto& l : libs)
    if (!of_gl.count(l.substr(0, l.find('=')))) kept.push_back(l);
  return kept;
}

std::vector<std::string> on_demand_libraries(std::string& error) {
  error.clear();
  std::vector<std::string> libs;
  for (const video::LibraryFile& f : video::library_files()) {
    libs.push_back(f.name + "=" + f.path);
    const std::string out = run_ldd(f.path, error);
    if (!error.empty()) return {};
    for (auto& dep : libraries_from_ldd(out)) libs.push_back(std::move(dep));
  }
  return libs;
}

std::string default_player_path() {
  if (const char* p = std::getenv("KORVA_PLAYER"); p && *p) return p;
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "korva-player";
  std::string path(self, size_t(n));
  return path.substr(0, path.find_last_of('/') + 1) + "korva-player";
}

bool copy_player_executable(std::string_view player, std::string_view dest, std::string_view window_name) {
  std::vector<uint8_t> bytes;
  constexpr int64_t kMaxPlayerBytes = int64_t{1} << 30;
  if (!read_whole_file_raw(player, bytes, kMaxPlayerBytes)) return false;
  std::string title(window_name.substr(0, kWindowNameChars));
  title.resize(kWindowNameChars, ' ');
  const std::string_view pattern = kTitlePlaceholder;
  int32_t patched = 0;
  for (size_t at = 0; at + pattern.size() <= bytes.size(); ++at) {
    if (bytes[at] != uint8_t(pattern[0]) || std::string_view(reinterpret_cast<const char*>(&bytes[at]), pattern.size()) != pattern)
      continue;
    std::copy(title.begin(), title.end(), bytes.begin() + int64_t(at));
    ++patched;
    at += pattern.size() - 1;
  }
  if (patched == 0) return false;  // not a player: it would not carry the name
  const std::string path(dest);
  if (!file_write_safely(path, bytes.data(), int64_t(bytes.size()))) return false;
  return chmod(path.c_str(), 0755) == 0;
}

}  // namespace korva
