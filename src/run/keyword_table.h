// The binding of every keyword row to its routine, by family.
#pragma once

namespace korva {

struct KeywordBindings;

// The families a brain needs without a window or a scene: the machine's own, motion, the
// runtime library and input.
void bind_brain_keywords(KeywordBindings& b);
// Every family.
void bind_all_keywords(KeywordBindings& b);

}  // namespace korva
