// Binds every keyword family into one binding table (used by korva and by brainc).
#pragma once

namespace korva {

struct KeywordBindings;
void bind_all_keywords(KeywordBindings& b);

}  // namespace korva
