// Text keywords over text blocks and brain literals. No keyword reads or writes outside a block:
// positions are clipped to the text, and every text written is cut to the target block's size.
#include "runtime/text_keywords.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "brain/brain.h"
#include "core/core.h"
#include "core/system.h"
#include "engine/keyword_table.h"
#include "model/run_state.h"
#include "runtime/memory_blocks.h"
#include "runtime/text_argument.h"

namespace korva {
namespace {

constexpr std::string_view kStrCopyLiteral =
    "First parameter of STR_COPY() instruction must be a string variable, not a constant string.";
constexpr std::string_view kStrAddLiteral =
    "First parameter of STR_ADD() instruction must be a string variable, not a constant string.";
constexpr std::string_view kStrChrLiteral =
    "First parameter of STR_CHR() instruction must be a string variable, not a constant string.";
constexpr std::string_view kStrNumLiteral =
    "First parameter of STR_NUM() instruction must be a string variable, not a constant string.";

// A double's decimal expansion never needs more digits than this (the smallest subnormal has
// 1074 binary places); str_num pads longer requests with zeros instead of formatting them.
constexpr int32_t kMaxFormattedDecimals = 1100;

Block* live_block(System& s, int32_t h) {
  if (!s.blocks || h < 0 || h >= kBlockEntries || !s.blocks->entry[h].data) return nullptr;
  return &s.blocks->entry[h];
}

// The block a writing keyword changes. A free entry does nothing; a value outside the block
// table is a literal (or no text at all), which the Runtime Error box refuses.
Block* target_block(System& s, int32_t h, std::string_view refusal) {
  if (Block* b = live_block(s, h)) return b;
  if (h < 0 || h >= kBlockEntries) show_runtime_error(s, refusal);
  return nullptr;
}

unsigned char lower(unsigned char ch) { return ch >= 'A' && ch <= 'Z' ? ch + ('a' - 'A') : ch; }

}  // namespace

bool free_block_handle(const System& s, int32_t h) {
  return h >= 0 && h < kBlockEntries && !(s.blocks && s.blocks->entry[h].data);
}

bool literal_argument(const System& s, int32_t v) {
  if (!s.brain) return false;
  const uint32_t addr = static_cast<uint32_t>(v);
  return addr >= s.brain->literal_start && addr < s.brain->literal_end;
}

void block_text_set(System& s, int32_t h, std::string_view text) {
  Block* b = live_block(s, h);
  if (!b || b->size <= 0) return;
  const size_t n = std::min(text.size(), static_cast<size_t>(b->size - 1));
  // The text may be this block's own (str_copy of a block onto itself).
  std::memmove(b->data.get(), text.data(), n);
  b->data[n] = 0;
}

void show_runtime_error(System& s, std::string_view text) {
  if (s.run && s.run->hooks.runtime_error)
    s.run->hooks.runtime_error(text);
  else if (s.core)
    show_message(*s.core, text);
}

int32_t str_comp(System& s, int32_t a, int32_t b, int32_t case_mode) {
  if (free_block_handle(s, a) || free_block_handle(s, b)) return 0;
  const std::string_view x = text_argument(s, a), y = text_argument(s, b);
  const size_t n = std::max(x.size(), y.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char p = i < x.size() ? static_cast<unsigned char>(x[i]) : 0;
    unsigned char q = i < y.size() ? static_cast<unsigned char>(y[i]) : 0;
    if (case_mode == 0) {
      p = lower(p);
      q = lower(q);
      if (p != q) return int32_t(p) - int32_t(q);
    } else if (p != q) {
      return p < q ? -1 : 1;
    }
  }
  return 0;
}

int32_t str_len(System& s, int32_t text) {
  if (free_block_handle(s, text)) return 0;
  return static_cast<int32_t>(text_argument(s, text).size());
}

void str_copy(System& s, int32_t target, int32_t source, int32_t start, int32_t count) {
  if (free_block_handle(s, source)) return;
  if (!target_block(s, target, kStrCopyLiteral)) return;
  const std::string_view text = text_argument(s, source);
  if (count < 0) {
    block_text_set(s, target, text);
    return;
  }
  // The characters at positions start .. start + count - 1 that lie inside the text.
  const int64_t len = static_cast<int64_t>(text.size());
  const int64_t first = std::clamp<int64_t>(start, 0, len);
  const int64_t end = std::clamp<int64_t>(int64_t(start) + count, first, len);
  block_text_set(s, target,
                 text.substr(static_cast<size_t>(first), static_cast<size_t>(end - first)));
}

void str_add(System& s, int32_t target, int32_t source) {
  if (free_block_handle(s, source)) return;
  Block* b = target_block(s, target, kStrAddLiteral);
  if (!b || b->size <= 0) return;
  const std::string_view tail = text_argument(s, source);
  std::string_view head;
  block_text(*s.blocks, target, head);
  const size_t at = std::min(head.size(), static_cast<size_t>(b->size - 1));
  const size_t n = std::min(tail.size(), static_cast<size_t>(b->size - 1) - at);
  std::memmove(b->data.get() + at, tail.data(), n);
  b->data[at + n] = 0;
}

void str_chr(System& s, int32_t target, int32_t code) {
  if (!target_block(s, target, kStrChrLiteral)) return;
  const char ch = static_cast<char>(code & 0xFF);
  block_text_set(s, target, std::string_view(&ch, ch == 0 ? 0 : 1));
}

void str_num(System& s, int32_t target, int32_t v, int32_t decimals) {
  Block* b = target_block(s, target, kStrNumLiteral);
  if (!b) return;
  std::string text;
  auto format = [&text](const char* form, auto... args) {
    const int n = std::snprintf(nullptr, 0, form, args...);
    text.assign(static_cast<size_t>(std::max(n, 0)) + 1, '\0');
    std::snprintf(text.data(), text.size(), form, args...);
    text.pop_back();
  };
  if (decimals > 0) {
    const int32_t shown = std::min(decimals, kMaxFormattedDecimals);
    format("%.*f", static_cast<int>(shown), double(v) / std::pow(10.0, decimals));
    // Beyond a double's range every further decimal is 0; only what the block holds is added.
    const int64_t wanted = std::min<int64_t>(decimals - shown, int64_t(b->size) - 1);
    if (wanted > 0) text.append(static_cast<size_t>(wanted), '0');
  } else if (decimals == 0) {
    format("%d", static_cast<int>(v));
  } else {
    format("%.6f", double(v));
  }
  block_text_set(s, target, text);
}

int32_t str_val(System& s, int32_t text) {
  if (free_block_handle(s, text)) return 0;
  const std::string digits(text_argument(s, text));
  // The conversion of a 32-bit long: values beyond its range stop at its limits.
  const long long v = std::strtoll(digits.c_str(), nullptr, 0);
  return static_cast<int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

int32_t file_exists(System& s, int32_t name) {
  if (free_block_handle(s, name) || !s.core) return 0;
  return file_exists(*s.core, text_argument(s, name));
}

void bind_text_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"str_comp", keyword_routine<str_comp>},
      {"str_len", keyword_routine<static_cast<int32_t (*)(System&, int32_t)>(str_len)>},
      {"str_copy", keyword_routine<str_copy>},
      {"str_add", keyword_routine<str_add>},
      {"str_chr", keyword_routine<str_chr>},
      {"str_num", keyword_routine<str_num>},
      {"str_val", keyword_routine<str_val>},
      {"file_exists", keyword_routine<static_cast<int32_t (*)(System&, int32_t)>(file_exists)>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
