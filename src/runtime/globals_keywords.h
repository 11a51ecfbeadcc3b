// Keywords of the global table: 2048 words shared by all brains of a run (the first words of
// the brain variable pool), saved to and loaded from text files over the globals range.
#pragma once
#include <cstdint>
#include <string_view>

#include "core/system.h"

namespace korva {

struct KeywordBindings;

int32_t global(System& s, int32_t i);
void global_set(System& s, int32_t i, int32_t v);
void global_add(System& s, int32_t i, int32_t v);
void globals_save(System& s, int32_t name, int32_t first, int32_t last);
void globals_load(System& s, int32_t name, int32_t first, int32_t last);
void globals_sort(System& s, int32_t first, int32_t last);

// The file forms behind globals_save and globals_load, over the current globals range of
// s.run: one decimal integer per line ending in CR LF, in index order. Saving replaces the file
// whole (false, the old file untouched, when it cannot be written); loading reads one line per
// word, a missing line giving 0 (false, changing nothing, when the file cannot be opened).
bool save_globals_file(System& s, std::string_view path);
bool load_globals_file(System& s, std::string_view path);

void bind_globals_keywords(KeywordBindings& b);

}  // namespace korva
