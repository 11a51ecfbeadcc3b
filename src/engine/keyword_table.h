// Binding a family's keywords from a table of (name, routine) entries.
#pragma once
#include <span>

#include "brain/keyword_binding.h"

namespace korva {

struct KeywordBinding {
  const char* name;
  KeywordRoutine routine;
};

// Binds every entry (and the synonyms of its row). A name missing from the keyword table is
// skipped; the binding tests check that every family's names are rows of the table.
inline void bind_all(KeywordBindings& b, std::span<const KeywordBinding> entries) {
  for (const KeywordBinding& e : entries) (void)bind_keyword(b, e.name, e.routine);
}

}  // namespace korva
