// The keyword reference: one description row per keyword row (family, parameters with their
// units, result, one line of text), in the order of the keyword table, and the markdown page
// made from it (docs/keyword-reference.md, `brainc --keywords`).
#pragma once
#include <cstdint>
#include <string>

namespace korva {

// The families the reference groups the keywords by, in the order the page shows them.
enum class KeywordFamily : int8_t {
  Values,
  ElementData,
  Program,
  Motion,
  Relations,
  Collisions,
  Tracks,
  Input,
  Appearance,
  Scene,
  Overlays,
  Frames,
  Animation,
  Meshes,
  Shadows,
  Blocks,
  Dialogs,
  Sound,
  Video,
  Network,
  SavedGames,
};
constexpr int32_t kKeywordFamilies = 21;

struct KeywordDoc {
  const char* name;       // the row's keyword, checked against the keyword table
  KeywordFamily family;
  const char* params;     // comma-separated parameter names, each with its unit in brackets
  const char* result;     // what it returns; empty for an instruction
  const char* text;       // one line; empty for a synonym (the page names its first row)
};

const KeywordDoc& keyword_doc(int32_t row);  // row 0..kKeywordRows-1
const char* keyword_family_title(KeywordFamily f);

// The reference page in markdown. With available (one flag per keyword row) the page has a
// column saying which rows this build has a routine for; without it, it has none.
std::string keyword_reference_markdown(const bool* available = nullptr);

}  // namespace korva
