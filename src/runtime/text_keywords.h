// The brains' text keywords: comparing, measuring and building texts held in text blocks, reading
// numbers from texts and testing for files. Text arguments are read as text_argument reads them;
// a free block handle makes a keyword do nothing and answer 0.
#pragma once
#include <cstdint>
#include <string_view>

namespace korva {

struct System;
struct KeywordBindings;

// case_mode 0: without regard to letter case, negative / zero / positive; otherwise byte by
// byte, -1 / 0 / 1. 0 when either text is a free handle.
int32_t str_comp(System& s, int32_t a, int32_t b, int32_t case_mode);
int32_t str_len(System& s, int32_t text);
// The writing keywords need a block as target; any other target (a literal above all) is
// refused with the Runtime Error box. A text longer than the block is cut to its size - 1.
void str_copy(System& s, int32_t target, int32_t source, int32_t start, int32_t count);
void str_add(System& s, int32_t target, int32_t source);
void str_chr(System& s, int32_t target, int32_t code);
void str_num(System& s, int32_t target, int32_t v, int32_t decimals);
int32_t str_val(System& s, int32_t text);
// -1 when the named file can be opened for reading, else 0.
int32_t file_exists(System& s, int32_t name);

void bind_text_keywords(KeywordBindings& b);

// ---- Shared with the dialog keywords ----
// True when h is a handle of the block table whose entry is free: the keyword does nothing.
bool free_block_handle(const System& s, int32_t h);
// True when v is the address of a literal of the compiled brains.
bool literal_argument(const System& s, int32_t v);
// Writes text into block h (a live block), cut so that it and its terminating zero fit.
void block_text_set(System& s, int32_t h, std::string_view text);
// The Runtime Error box with text, through the run's hook; without one, the core's message box.
void show_runtime_error(System& s, std::string_view text);

}  // namespace korva
