#include "runtime/text_argument.h"

#include "core/system.h"
#include "runtime/memory_blocks.h"

namespace korva {

std::string_view text_argument(System& s, int32_t value) {
  std::string_view text;
  if (s.blocks && block_text(*s.blocks, value, text)) return text;
  return {};
}

}  // namespace korva
