// Memory block keywords. Handles outside 0..8191 come back unchanged, free entries read 0,
// and no offset or index ever reaches outside its block: such reads and writes return 0.
#include "runtime/memory_blocks.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "core/core.h"
#include "engine/keyword_table.h"
#include "core/system.h"
#include "runtime/text_argument.h"

namespace korva {
namespace {

bool in_table(int32_t h) { return h >= 0 && h < kBlockEntries; }

Block* live(System& s, int32_t h) {
  if (!s.blocks || !in_table(h) || !s.blocks->entry[h].data) return nullptr;
  return &s.blocks->entry[h];
}

int32_t allocate(Blocks& b, int64_t bytes) {
  if (bytes < 0 || bytes > kMaxBlockBytes || b.bytes + bytes > kMaxBlocksBytes) return kBlockTableFull;
  int32_t h = 0;
  while (h < b.high_water && b.entry[h].data) ++h;
  if (h == kBlockEntries) return kBlockTableFull;
  auto* data = new (std::nothrow) uint8_t[static_cast<size_t>(bytes > 0 ? bytes : 1)]();
  if (!data) return kBlockTableFull;
  b.entry[h].data.reset(data);
  b.entry[h].size = static_cast<int32_t>(bytes);
  b.bytes += bytes;
  if (h == b.high_water) ++b.high_water;
  return h;
}

// The block's bytes at [offset, offset + width) when they lie inside it, else null.
uint8_t* at(Block& blk, int64_t offset, int32_t width) {
  if (offset < 0 || offset + width > blk.size) return nullptr;
  return blk.data.get() + offset;
}

int32_t read_le(const uint8_t* p, int32_t width) {
  uint32_t v = 0;
  for (int32_t k = width - 1; k >= 0; --k) v = (v << 8) | p[k];
  return static_cast<int32_t>(v);
}

void write_le(uint8_t* p, int32_t width, uint32_t v) {
  for (int32_t k = 0; k < width; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
}

int32_t read(System& s, int32_t h, int64_t offset, int32_t width) {
  if (!in_table(h)) return h;
  Block* blk = live(s, h);
  uint8_t* p = blk ? at(*blk, offset, width) : nullptr;
  return p ? read_le(p, width) : 0;
}

int32_t write(System& s, int32_t h, int64_t offset, int32_t width, int32_t v) {
  if (!in_table(h)) return h;
  Block* blk = live(s, h);
  uint8_t* p = blk ? at(*blk, offset, width) : nullptr;
  if (!p) return 0;
  write_le(p, width, static_cast<uint32_t>(v));
  return v;
}

}  // namespace

void blocks_clear(Blocks& b) {
  for (auto& e : b.entry) {
    e.data.reset();
    e.size = 0;
  }
  b.high_water = 0;
  b.bytes = 0;
}

bool block_text(const Blocks& b, int32_t h, std::string_view& text) {
  if (!in_table(h) || !b.entry[h].data) return false;
  const char* p = reinterpret_cast<const char*>(b.entry[h].data.get());
  const void* end = std::memchr(p, 0, static_cast<size_t>(b.entry[h].size));
  text = std::string_view(p, end ? static_cast<size_t>(static_cast<const char*>(end) - p)
                                 : static_cast<size_t>(b.entry[h].size));
  return true;
}

uint8_t* block_range(System& s, int32_t h, int64_t offset, int64_t bytes) {
  Block* blk = live(s, h);
  if (!blk || offset < 0 || bytes < 0 || offset + bytes > blk->size) return nullptr;
  return blk->data.get() + offset;
}

int32_t a_create(System& s, int32_t n) {
  return s.blocks ? allocate(*s.blocks, 4 * static_cast<int64_t>(n)) : kBlockTableFull;
}

int32_t str_create(System& s, int32_t n) {
  return s.blocks ? allocate(*s.blocks, static_cast<int64_t>(n) + 1) : kBlockTableFull;
}

void a_kill(System& s, int32_t h) {
  Block* blk = live(s, h);
  if (!blk) return;
  s.blocks->bytes -= blk->size;
  blk->data.reset();
  blk->size = 0;
  if (h == s.blocks->high_water - 1) --s.blocks->high_water;
}

int32_t a_size(System& s, int32_t h) {
  Block* blk = live(s, h);
  return blk ? blk->size : 0;
}

int32_t a(System& s, int32_t h, int32_t i) { return read(s, h, 4 * static_cast<int64_t>(i), 4); }

int32_t a_set(System& s, int32_t h, int32_t i, int32_t v) {
  return write(s, h, 4 * static_cast<int64_t>(i), 4, v);
}

namespace {

// The byte offset of cell (x, y) of a w-wide grid; -1 (outside every block) when the index does
// not fit, so that a huge index can never wrap onto another cell.
int64_t cell_offset(int32_t x, int32_t y, int32_t w) {
  const __int128 offset = (__int128(y) * w + x) * 4;
  return offset < 0 || offset > INT64_MAX ? -1 : int64_t(offset);
}

}  // namespace

int32_t a2(System& s, int32_t h, int32_t x, int32_t y, int32_t w) { return read(s, h, cell_offset(x, y, w), 4); }

int32_t a2_set(System& s, int32_t h, int32_t x, int32_t y, int32_t w, int32_t v) {
  return write(s, h, cell_offset(x, y, w), 4, v);
}

// The bytes are read zero-extended; an invalid handle comes back whole, not cut to the width.
int32_t a_byte(System& s, int32_t h, int32_t o) { return read(s, h, o, 1); }
int32_t a_word(System& s, int32_t h, int32_t o) { return read(s, h, o, 2); }
int32_t a_dword(System& s, int32_t h, int32_t o) { return read(s, h, o, 4); }
int32_t a_byte_set(System& s, int32_t h, int32_t o, int32_t v) { return write(s, h, o, 1, v & 0xFF); }
int32_t a_word_set(System& s, int32_t h, int32_t o, int32_t v) { return write(s, h, o, 2, v & 0xFFFF); }
int32_t a_dword_set(System& s, int32_t h, int32_t o, int32_t v) { return write(s, h, o, 4, v); }

int32_t a_load(System& s, int32_t name) {
  std::string path(text_argument(s, name));
  int64_t size = file_size(*s.core, path);
  if (size <= 0 || !s.blocks) return 0;
  int32_t h = allocate(*s.blocks, 4 * (size / 4 + 4));
  if (h < 0) return h;
  Block& blk = s.blocks->entry[h];
  read_file(*s.core, path, 0, size < blk.size ? size : blk.size, blk.data.get());
  return h;
}

void a_save(System& s, int32_t h, int32_t name) {
  Block* blk = live(s, h);
  if (!blk) return;
  std::string path(text_argument(s, name));
  if (path.empty()) return;
  file_write_safely(path, blk->data.get(), blk->size);
}

void bind_memory_block_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"a_create", keyword_routine<a_create>},       {"str_create", keyword_routine<str_create>},
      {"a_kill", keyword_routine<a_kill>},           {"a_size", keyword_routine<a_size>},
      {"a", keyword_routine<a>},                     {"a_set", keyword_routine<a_set>},
      {"a2", keyword_routine<a2>},                   {"a2_set", keyword_routine<a2_set>},
      {"a_byte", keyword_routine<a_byte>},           {"a_word", keyword_routine<a_word>},
      {"a_dword", keyword_routine<a_dword>},         {"a_byte_set", keyword_routine<a_byte_set>},
      {"a_word_set", keyword_routine<a_word_set>},   {"a_dword_set", keyword_routine<a_dword_set>},
      {"a_load", keyword_routine<a_load>},           {"a_save", keyword_routine<a_save>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
