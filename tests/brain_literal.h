// A string literal as the compiled brains hold it, for keyword tests that pass texts.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>

#include "brain/brain.h"

namespace korva {

// Puts text into b's literal pool, as compiling a brain with that literal would, and returns
// its guest address (what the brain passes to a keyword).
inline int32_t put_literal(BrainState& b, const std::string& text) {
  const uint32_t at = b.literal_pos;
  std::memcpy(b.literal_pool.data() + at, text.c_str(), text.size() + 1);
  b.literal_pos += static_cast<uint32_t>(text.size() + 1);
  b.literal_end = guest::kLiteralPoolBase + b.literal_pos;
  return static_cast<int32_t>(guest::kLiteralPoolBase + at);
}

}  // namespace korva
