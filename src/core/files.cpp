// File and folder helpers. Paths arrive with "/" or "\" separators; a path that does not
// exist as written is also looked up case-insensitively, one component at a time, because
// projects made on case-insensitive systems name their files in any case.
#include "core/files.h"
#include "core/scramble.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "core/core.h"

namespace korva {
namespace {

bool is_separator(char ch) { return ch == '/' || ch == ':' || ch == '\\'; }

bool is_regular(const char* path) {
  struct stat st{};
  return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

bool iequal(std::string_view a, std::string_view b) { return str_icmp(a, b) == 0; }

// The existing path that matches `path` when case is ignored; the path itself when nothing
// matches (so creating a new file uses the name as given).
std::string resolve_case(const char* path) {
  struct stat st{};
  if (lstat(path, &st) == 0) return path;
  std::string in(path), out;
  size_t i = 0;
  if (!in.empty() && in[0] == '/') {
    out = "/";
    i = 1;
  }
  while (i <= in.size()) {
    size_t slash = in.find('/', i);
    if (slash == std::string::npos) slash = in.size();
    std::string part = in.substr(i, slash - i);
    std::string dir = out.empty() ? "." : out;
    std::string found = part;
    if (!part.empty() && part != "." && part != "..") {
      std::string candidate = out + part;
      if (lstat(candidate.c_str(), &st) != 0) {
        if (DIR* d = opendir(dir.c_str())) {
          while (dirent* e = readdir(d)) {
            if (iequal(e->d_name, part)) {
              found = e->d_name;
              break;
            }
          }
          closedir(d);
        }
      }
    }
    out += found;
    if (slash < in.size()) out += '/';
    i = slash + 1;
  }
  return out;
}

std::FILE* open_file(std::string_view path, const char* mode, bool reading) {
  PlatformText p = platform_path(path);
  if (p.s[0] == 0) return nullptr;
  std::string real = resolve_case(p.c_str());
  // Folders are not files: reading one must fail as it does on other systems.
  if (reading && !is_regular(real.c_str())) return nullptr;
  return std::fopen(real.c_str(), mode);
}

bool slot_ok(int32_t slot) { return slot >= 0 && slot < kFileSlots; }

bool matches(const char* pattern, const char* name) {
  return fnmatch(pattern, name, FNM_CASEFOLD) == 0;
}

// A listing pattern also lists ".ppm" files when it asks for ".bmp" ones.
std::string ppm_twin(std::string_view pattern) {
  if (pattern.size() >= 4 && iequal(pattern.substr(pattern.size() - 4), ".bmp"))
    return std::string(pattern.substr(0, pattern.size() - 4)) + ".ppm";
  return {};
}

std::string folder_with_slash(std::string_view folder) {
  std::string f = platform_path(folder).c_str();
  if (f.empty()) return "./";
  if (f.back() != '/') f += '/';
  return resolve_case(f.c_str());
}

}  // namespace

PlatformText platform_path(std::string_view path) {
  PlatformText p(path);
  for (char* q = p.s; *q; ++q)
    if (*q == '\\') *q = '/';
  return p;
}

void compute_base_folder(FixedString& target, std::string_view cwd) {
  str_set(target, cwd);
  for (int32_t i = 0; i < target.len; ++i)
    if (target.text[i] == '\\') target.text[i] = '/';
  if (target.len == 0 || target.text[target.len - 1] != '/') str_cat_char(target, '/');
}

int32_t file_open_read(Core& c, int32_t slot, std::string_view path) {
  if (!slot_ok(slot)) return 0;
  file_close(c, slot);
  c.files.handle[slot] = open_file(path, "rb", true);
  return c.files.handle[slot] ? 1 : 0;
}

int32_t file_open_write(Core& c, int32_t slot, std::string_view path) {
  if (!slot_ok(slot)) return 0;
  file_close(c, slot);
  c.files.handle[slot] = open_file(path, "w+b", false);
  return c.files.handle[slot] ? 1 : 0;
}

void file_close(Core& c, int32_t slot) {
  if (!slot_ok(slot) || !c.files.handle[slot]) return;
  std::fclose(c.files.handle[slot]);
  c.files.handle[slot] = nullptr;
  if (c.files.input == slot) c.files.input = -1;
  if (c.files.output == slot) c.files.output = -1;
}

void file_close_all(Core& c) {
  for (int32_t i = 0; i < kFileSlots; ++i) file_close(c, i);
}

void select_input(Core& c, int32_t slot) { c.files.input = slot_ok(slot) ? slot : -1; }
void select_output(Core& c, int32_t slot) { c.files.output = slot_ok(slot) ? slot : -1; }
void deselect_input(Core& c) { c.files.input = -1; }
void deselect_output(Core& c) { c.files.output = -1; }

FixedString& read_line(Core& c) {
  FixedString& r = c.str.result;
  r.len = 0;
  std::FILE* f = slot_ok(c.files.input) ? c.files.handle[c.files.input] : nullptr;
  if (!f) {
    c.files.eof = -1;
    return r;
  }
  for (;;) {
    int ch = std::getc(f);
    if (ch == EOF) {
      c.files.eof = -1;
      return r;
    }
    if (ch == '\n' && r.len > 0 && r.text[r.len - 1] == '\r') {
      --r.len;
      c.files.eof = 0;
      return r;
    }
    r.text[r.len++] = static_cast<char>(ch);
    if (r.len == kStrCapacity) {
      // A full slot ends the line; the rest continues as the next line. A CR LF split by
      // the limit still ends this line.
      int next = std::getc(f);
      if (next == '\n' && r.text[r.len - 1] == '\r')
        --r.len;
      else if (next != EOF)
        std::ungetc(next, f);
      c.files.eof = 0;
      return r;
    }
  }
}

void write_bytes(Core& c, const void* data, int64_t count) {
  std::FILE* f = slot_ok(c.files.output) ? c.files.handle[c.files.output] : nullptr;
  if (!f || count <= 0) return;
  std::fwrite(data, 1, static_cast<size_t>(count), f);
}

int32_t read_file(Core& c, std::string_view path, int64_t offset, int64_t count, void* dest,
                  int64_t* got) {
  if (got) *got = 0;
  if (path.empty()) return -1;
  std::FILE* f = open_file(path, "rb", true);
  if (!f) return -1;
  int64_t n = 0;
  if (offset >= 0 && count > 0 && std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0)
    n = static_cast<int64_t>(std::fread(dest, 1, static_cast<size_t>(count), f));
  std::fclose(f);
  if (got) *got = n;
  return 0;
}

int32_t file_exists(Core& c, std::string_view path) {
  if (path.empty()) return 0;
  std::FILE* f = open_file(path, "rb", true);
  if (!f) return 0;
  std::fclose(f);
  return -1;
}

int64_t file_size(Core& c, std::string_view path) {
  std::FILE* f = open_file(path, "rb", true);
  if (!f) return -1;
  struct stat st{};
  int64_t size = fstat(fileno(f), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
  std::fclose(f);
  return size;
}

void file_delete(Core& c, std::string_view path) {
  PlatformText p = platform_path(path);
  if (p.s[0] == 0) return;
  std::string real = resolve_case(p.c_str());
  if (is_regular(real.c_str())) unlink(real.c_str());
}

void file_copy(Core& c, std::string_view source, std::string_view destination) {
  std::FILE* in = open_file(source, "rb", true);
  if (!in) return;
  // Only plain files are copied: a device such as /dev/zero would never end.
  struct stat st {};
  if (fstat(fileno(in), &st) != 0 || !S_ISREG(st.st_mode)) {
    std::fclose(in);
    return;
  }
  std::vector<char> data;
  char chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0) data.insert(data.end(), chunk, chunk + n);
  std::fclose(in);
  std::FILE* out = open_file(destination, "w+b", false);
  if (!out) return;
  if (!data.empty()) std::fwrite(data.data(), 1, data.size(), out);
  std::fclose(out);
}

bool file_write_safely(std::string_view path, const void* data, int64_t count) {
  PlatformText p = platform_path(path);
  if (p.s[0] == 0 || count < 0) return false;
  std::string real = resolve_case(p.c_str());
  std::string tmp = real + ".tmp-XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return false;
  bool ok = true;
  const char* bytes = static_cast<const char*>(data);
  for (int64_t done = 0; ok && done < count;) {
    ssize_t w = write(fd, bytes + done, static_cast<size_t>(count - done));
    if (w < 0 && errno == EINTR) continue;
    ok = w > 0;
    if (ok) done += w;
  }
  ok = ok && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (ok) ok = rename(tmp.c_str(), real.c_str()) == 0;
  if (!ok) unlink(tmp.c_str());
  return ok;
}

FixedString& folder_part(Core& c, std::string_view path) {
  size_t at = path.size();
  while (at > 0 && !is_separator(path[at - 1])) --at;
  str_set(c.str.result, path.substr(0, at));
  return c.str.result;
}

FixedString& file_part(Core& c, std::string_view path) {
  size_t at = path.size();
  while (at > 0 && !is_separator(path[at - 1])) --at;
  str_set(c.str.result, path.substr(at));
  return c.str.result;
}

int32_t list_folder(Core& c, std::string_view folder, std::string_view pattern) {
  std::string dir = folder_with_slash(folder);
  std::string pat(platform_path(pattern).c_str());
  std::string twin = ppm_twin(pat);
  int32_t count = 0;
  auto add = [&](std::string_view prefix, const char* name, int64_t size) {
    if (count >= kListMaxEntries) return;
    char digits[24];
    int nd = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(size));
    FixedString& e = *c.list_table[++count];
    str_set(e, prefix);
    str_cat(e, name);
    str_cat(e, "|");
    str_cat(e, std::string_view(digits, static_cast<size_t>(nd)));
    str_set(e, str_lower(c, e));
  };
  // Folders first, then the matching files.
  for (int pass = 0; pass < 2; ++pass) {
    DIR* d = opendir(dir.c_str());
    if (!d) return 0;
    while (dirent* e = readdir(d)) {
      if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
      std::string full = dir + e->d_name;
      struct stat st{};
      if (stat(full.c_str(), &st) != 0) continue;
      if (pass == 0 && S_ISDIR(st.st_mode)) {
        add("(DIR) ", e->d_name, 0);
      } else if (pass == 1 && S_ISREG(st.st_mode) &&
                 (matches(pat.c_str(), e->d_name) ||
                  (!twin.empty() && matches(twin.c_str(), e->d_name)))) {
        add("", e->d_name, static_cast<int64_t>(st.st_size));
      }
    }
    closedir(d);
  }
  if (count > 1) str_sort(c, 1, count);
  return count;
}

void delete_matching(Core& c, std::string_view folder, std::string_view pattern) {
  // Deletes by the names on disk: the listing's lower-cased names would miss files whose
  // names have upper-case letters on a case-sensitive file system.
  std::string dir = folder_with_slash(folder);
  std::string pat(platform_path(pattern).c_str());
  std::string twin = ppm_twin(pat);
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  std::vector<std::string> doomed;
  while (dirent* e = readdir(d)) {
    std::string full = dir + e->d_name;
    if (is_regular(full.c_str()) &&
        (matches(pat.c_str(), e->d_name) || (!twin.empty() && matches(twin.c_str(), e->d_name))))
      doomed.push_back(full);
  }
  closedir(d);
  for (const auto& f : doomed) unlink(f.c_str());
}

FixedString& plain_name(Core& c, std::string_view text) {
  FixedString& r = c.str.result;
  char buf[8];
  int32_t n = 0;
  for (char ch : text) {
    if (n == 8) break;
    if ((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9')) buf[n++] = ch;
  }
  std::memcpy(r.text, buf, static_cast<size_t>(n));
  r.len = n;
  return r;
}

void normalise_line_ends(Core& c, std::string_view path) {
  // The whole file is converted in memory, whatever its size, and written back safely, so a
  // large file is never cut short.
  std::FILE* f = open_file(path, "rb", true);
  if (!f) return;
  std::vector<char> in;
  char chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) in.insert(in.end(), chunk, chunk + n);
  std::fclose(f);
  std::vector<char> out;
  out.reserve(in.size() + in.size() / 16 + 2);
  for (size_t i = 0; i < in.size(); ++i) {
    char ch = in[i];
    if (ch == '\r') {
      if (i + 1 < in.size() && in[i + 1] == '\n') ++i;
      ch = '\n';
    }
    if (ch == '\n') out.push_back('\r');
    out.push_back(ch);
  }
  std::string real = resolve_case(platform_path(path).c_str());
  file_write_safely(real, out.data(), static_cast<int64_t>(out.size()));
}

bool read_whole_file(std::string_view path, std::vector<uint8_t>& out, int64_t max) {
  if (!read_whole_file_raw(path, out, max)) return false;
  // The stand-alone player's assets are stored scrambled.
  if (reads_scrambled(path)) unscramble_bytes(out.data(), int64_t(out.size()));
  return true;
}

bool read_whole_file_raw(std::string_view path, std::vector<uint8_t>& out, int64_t max) {
  out.clear();
  const PlatformText p = platform_path(path);
  if (!p.s[0]) return false;
  const std::string real = resolve_case(p.c_str());
  if (!is_regular(real.c_str())) return false;
  std::FILE* f = std::fopen(real.c_str(), "rb");
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

int32_t remove_interrupted_saves(std::string_view folder) {
  // The safe write's temporaries are named "<file>.tmp-XXXXXX" (six characters from mkstemp);
  // one that is still there was left by a save that never finished.
  namespace fs = std::filesystem;
  std::error_code ec;
  int32_t removed = 0;
  fs::recursive_directory_iterator it(std::string(folder), fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it.depth() > 4) it.disable_recursion_pending();
    if (!it->is_regular_file(ec) || it->is_symlink(ec)) continue;
    const std::string name = it->path().filename().string();
    const size_t at = name.rfind(".tmp-");
    if (at == std::string::npos || at == 0 || name.size() - at != 11) continue;
    if (fs::remove(it->path(), ec)) ++removed;
  }
  return removed;
}

}  // namespace korva
