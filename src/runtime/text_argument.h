// How keywords read a text argument: a live text block handle stands for its text, an
// address inside the current brain literal range for that literal; anything else is empty.
#pragma once
#include <cstdint>
#include <string_view>

namespace korva {

struct System;

// The view stays valid until the block is killed or the brains are compiled again.
std::string_view text_argument(const System& s, int32_t value);

}  // namespace korva
