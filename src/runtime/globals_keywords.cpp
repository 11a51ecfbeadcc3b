// The global table and its text files.
#include "runtime/globals_keywords.h"

#include "engine/keyword_table.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "core/core.h"
#include "engine/element_access.h"
#include "model/run_state.h"
#include "runtime/text_argument.h"

namespace korva {
namespace {

constexpr int32_t kGlobalMask = kGlobalWords - 1;
constexpr int32_t kGlobalsFileSlot = 3;  // the file slots 0 and 1 belong to the text keywords

int32_t* globals(System& s) { return s.core->pool_as<int32_t>(Pool::BrainVars); }

void set_range(System& s, int32_t first, int32_t last) {
  if (s.run == nullptr) return;
  s.run->globals_first = first & kGlobalMask;
  s.run->globals_last = last & kGlobalMask;
}

// One line of the open file without its line end; false at the end of the file.
bool next_line(std::FILE* f, std::string& line) {
  line.clear();
  int ch = std::getc(f);
  if (ch == EOF) return false;
  // Only the start of a line is kept: a number never needs more.
  for (; ch != EOF && ch != '\n'; ch = std::getc(f)) {
    if (line.size() < 64) line.push_back(static_cast<char>(ch));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace

int32_t global(System& s, int32_t i) { return globals(s)[i & kGlobalMask]; }

void global_set(System& s, int32_t i, int32_t v) {
  globals(s)[i & kGlobalMask] = v;
  if (s.run != nullptr && s.run->hooks.apply_received_globals) s.run->hooks.apply_received_globals();
}

void global_add(System& s, int32_t i, int32_t v) {
  int32_t& g = globals(s)[i & kGlobalMask];
  g = wrap_add(g, v);
}

bool save_globals_file(System& s, std::string_view path) {
  if (s.run == nullptr) return false;
  std::string text;
  const int32_t* g = globals(s);
  for (int32_t i = s.run->globals_first; i <= s.run->globals_last; ++i) {
    text += std::to_string(g[i]);
    text += "\r\n";
  }
  return file_write_safely(path, text.data(), static_cast<int64_t>(text.size()));
}

bool load_globals_file(System& s, std::string_view path) {
  if (s.run == nullptr || !file_open_read(*s.core, kGlobalsFileSlot, path)) return false;
  std::FILE* f = s.core->files.handle[kGlobalsFileSlot];
  int32_t* g = globals(s);
  std::string line;
  for (int32_t i = s.run->globals_first; i <= s.run->globals_last; ++i) {
    g[i] = next_line(f, line) ? str_to_int(line) : 0;
  }
  file_close(*s.core, kGlobalsFileSlot);
  return true;
}

void globals_save(System& s, int32_t name, int32_t first, int32_t last) {
  set_range(s, first, last);
  const std::string path(text_argument(s, name));
  if (save_globals_file(s, path) || !s.run) return;
  // Said once per file and run: a brain may save every frame.
  if (s.run->globals_save_failed == path) return;
  s.run->globals_save_failed = path;
  std::fprintf(stderr, "korva: globals_save could not write '%s' (folder missing, read-only or full?)\n",
               path.c_str());
}

void globals_load(System& s, int32_t name, int32_t first, int32_t last) {
  set_range(s, first, last);
  load_globals_file(s, text_argument(s, name));
}

void globals_sort(System& s, int32_t first, int32_t last) {
  if (first < 0 || first > last || last >= kGlobalWords) return;
  int32_t* g = globals(s);
  std::sort(g + first, g + last + 1);
}

void bind_globals_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"global", keyword_routine<global>},
      {"global_set", keyword_routine<global_set>},
      {"global_add", keyword_routine<global_add>},
      {"globals_save", keyword_routine<globals_save>},
      {"globals_load", keyword_routine<globals_load>},
      {"globals_sort", keyword_routine<globals_sort>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
