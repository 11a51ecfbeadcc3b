// Numbered memory blocks that brains own: integer arrays (a_create) and zero-terminated byte
// texts (str_create) in one table of 8192 entries, addressed by handle.
#pragma once
#include <cstdint>
#include <memory>
#include <string_view>

namespace korva {

struct System;
struct KeywordBindings;

constexpr int32_t kBlockEntries = 8192;
// a_create, str_create and a_load answer this when every entry is in use.
constexpr int32_t kBlockTableFull = -1;
// The largest block a brain may allocate (64 MiB): larger requests fail like a full table,
// so a runaway size cannot exhaust the machine.
constexpr int64_t kMaxBlockBytes = 64 << 20;
// All blocks of a run together hold at most 1 GiB: past it a_create, str_create and a_load fail
// like a full table, so that a brain allocating in a loop cannot take the machine's memory.
constexpr int64_t kMaxBlocksBytes = int64_t(1) << 30;

struct Block {
  std::unique_ptr<uint8_t[]> data;
  int32_t size = 0;  // bytes
};

struct Blocks {
  Block entry[kBlockEntries];
  int32_t high_water = 0;  // entries ever used
  int64_t bytes = 0;       // held by the live blocks
};

// Frees every block (the end of a run).
void blocks_clear(Blocks& b);
// The text of a live block (up to its first zero byte); nullopt-like empty view with ok=false
// when h is not a live handle.
bool block_text(const Blocks& b, int32_t h, std::string_view& text);

// The bytes [offset, offset + bytes) of live block h, or nullptr when h is no live block or the
// range does not lie whole inside it. For keywords of other families that read and write blocks.
uint8_t* block_range(System& s, int32_t h, int64_t offset, int64_t bytes);

int32_t a_create(System& s, int32_t n);
int32_t str_create(System& s, int32_t n);
void a_kill(System& s, int32_t h);
int32_t a_size(System& s, int32_t h);
int32_t a(System& s, int32_t h, int32_t i);
int32_t a_set(System& s, int32_t h, int32_t i, int32_t v);
int32_t a2(System& s, int32_t h, int32_t x, int32_t y, int32_t w);
int32_t a2_set(System& s, int32_t h, int32_t x, int32_t y, int32_t w, int32_t v);
int32_t a_byte(System& s, int32_t h, int32_t o);
int32_t a_word(System& s, int32_t h, int32_t o);
int32_t a_dword(System& s, int32_t h, int32_t o);
int32_t a_byte_set(System& s, int32_t h, int32_t o, int32_t v);
int32_t a_word_set(System& s, int32_t h, int32_t o, int32_t v);
int32_t a_dword_set(System& s, int32_t h, int32_t o, int32_t v);
int32_t a_load(System& s, int32_t name);
void a_save(System& s, int32_t h, int32_t name);

void bind_memory_block_keywords(KeywordBindings& b);

}  // namespace korva
