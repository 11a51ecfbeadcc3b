// Text arguments: literal pointers are checked against the literal range of the compiled
// brains, block handles against the block table.
#include "runtime/text_argument.h"

#include <cstring>

#include "brain/brain.h"
#include "core/system.h"
#include "runtime/memory_blocks.h"

namespace korva {

std::string_view text_argument(const System& s, int32_t value) {
  const uint32_t addr = static_cast<uint32_t>(value);
  if (s.brain != nullptr) {
    const BrainState& b = *s.brain;
    const uint32_t end = b.literal_end;
    const uint32_t pool_end =
        guest::kLiteralPoolBase + static_cast<uint32_t>(b.literal_pool.size());
    if (addr >= b.literal_start && addr < end && end <= pool_end) {
      const char* text = reinterpret_cast<const char*>(b.literal_pool.data()) +
                         (addr - guest::kLiteralPoolBase);
      return {text, strnlen(text, end - addr)};
    }
  }
  std::string_view text;
  if (s.blocks && block_text(*s.blocks, value, text)) return text;
  return std::string_view("", 0);  // empty, but never a null pointer for the copies made of it
}

}  // namespace korva
