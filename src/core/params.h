// The command-line numbers: "/5 /-3 /12" becomes the list 5, -3, 12 that brains read through
// par_count and par_get.
#pragma once
#include <cstdint>
#include <string_view>

namespace korva {

struct Core;

// Fills c.par / c.par_count from the command-line text (the arguments after the program name,
// joined by blanks). Numbers beyond the 256th are ignored.
void parse_params(Core& c, std::string_view command_line);
// The number at a 0-based index; 0 outside the list.
int32_t par_get(const Core& c, int32_t index);

}  // namespace korva
