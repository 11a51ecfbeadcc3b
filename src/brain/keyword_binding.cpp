// Binding keyword routines to keyword rows by name.
#include "brain/keyword_binding.h"

namespace korva {

bool bind_keyword(KeywordBindings& b, std::string_view name, KeywordRoutine routine) {
  int32_t row = keyword_find(name);
  if (row < 0) return false;
  // Calls enter synonyms at their group's first row; bind every row of the group alike so
  // the table reads the same whichever name is looked at.
  int32_t group = keyword_routine_row(row);
  for (int32_t k = 0; k < kKeywordRows; ++k)
    if (keyword_routine_row(k) == group) b.routine[k] = routine;
  return true;
}

}  // namespace korva
