// Folder state and math tables.
#include "core/paths.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "core/core.h"
#include "core/files.h"
#include "core/fixed_string.h"

namespace korva {

std::string current_folder() {
  char buf[4096];
  if (!getcwd(buf, sizeof buf)) return ".";
  return buf;
}

void compute_folders(Core& c, std::string_view cwd) {
  compute_base_folder(*c.base_folder, cwd);
  str_set(*c.scratch, *c.base_folder);
  str_cat(*c.scratch, "runmode.ini");
  str_set(*c.data_folder, *c.base_folder);
  str_set(*c.engine_file, "");
  if (file_exists(c, *c.scratch)) {
    str_cat(*c.data_folder, "data/");
    str_set(*c.engine_file, "engine.dll");
  }
  str_set(*c.temp_path, *c.base_folder);
  str_cat(*c.temp_path, "temp.tmp");
}

RunMode parse_runmode(std::string_view text) {
  RunMode m;
  // Written by front ends on any system: CR LF, LF or CR line ends read the same.
  LineCursor lines{text.data(), int64_t(text.size())};
  if (!lines.at_end()) m.project = std::string(lines.next().substr(0, kStrCapacity));
  if (!lines.at_end()) m.mode = str_to_int(lines.next());
  if (!lines.at_end()) m.element = str_to_int(lines.next());
  return m;
}

RunMode read_runmode(Core& c) {
  const std::string path = std::string(c.base_folder->view()) + "runmode.ini";
  std::vector<uint8_t> bytes;
  if (!read_whole_file(path, bytes, 1 << 16)) return {};
  return parse_runmode({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

struct MathTable {
  const char* name;
  Pool pool;
};
static constexpr MathTable kMathTables[] = {
    {"sinus.bin", Pool::Sinus},
    {"sinusbig.bin", Pool::SinusBig},
    {"atan.bin", Pool::Atan},
    {"random.bin", Pool::Random},
};

void load_math_tables(Core& c) {
  for (const auto& t : kMathTables) {
    str_set(*c.scratch, *c.data_folder);
    str_cat(*c.scratch, t.name);
    const int64_t want = pool_bytes(t.pool);
    uint8_t* dest = c.pool(t.pool);
    int64_t got = 0;
    const int32_t rc = read_file(c, *c.scratch, 0, want, dest, &got);
    if (got < 0) got = 0;
    if (got < want) {
      // The engine reads every byte of these tables; zeros are a safe stand-in.
      std::memset(dest + got, 0, static_cast<size_t>(want - got));
      const std::string_view path = c.scratch->view();
      if (rc != 0)
        std::fprintf(stderr, "korva: math table %.*s is missing; using zeros\n",
                     static_cast<int>(path.size()), path.data());
      else
        std::fprintf(stderr, "korva: math table %.*s is short (%lld of %lld bytes); rest zeroed\n",
                     static_cast<int>(path.size()), path.data(), static_cast<long long>(got),
                     static_cast<long long>(want));
    }
  }
}

void path_init(Core& c, std::string_view cwd) {
  compute_folders(c, cwd);
  load_math_tables(c);
}

}  // namespace korva
