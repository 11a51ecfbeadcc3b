// Brain headers: the description and parameter help comments, the header signature that tells
// a changed header, and the element configuration (field 35) built from the declarations.
#include <bit>
#include <string>
#include <vector>

#include "brain/brain.h"
#include "core/core.h"
#include "editors/editors.h"
#include "editors/gui_local.h"
#include "model/model.h"

namespace korva {

static std::string choose_from_file_list(Gui& g, std::string_view folder, std::string_view mask) {
  return choose_file(g, folder, mask);
}
ChooseFileFn choose_file_hook = choose_from_file_list;

namespace {

constexpr int32_t kMaxHelpLines = 33;  // "user" lines scanned for help texts

// The lines of a text, whatever its line ends (CR LF, LF or CR).
std::vector<std::string_view> text_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t p = 0;
  while (p < text.size()) {
    size_t end = text.find_first_of("\r\n", p);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(p, end - p));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    p = end + 1;
  }
  return lines;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string lower_trimmed(std::string_view s) {
  std::string out(trim(s));
  for (char& ch : out)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  return out;
}

// The declaration part of a line: lower-cased, cut at ";", trimmed.
std::string declaration_part(std::string_view line) {
  return lower_trimmed(line.substr(0, line.find(';')));
}

// The comment text of a line (after ";"), trimmed; empty when the line has none.
std::string_view comment_part(std::string_view line) {
  const size_t semi = line.find(';');
  return semi == std::string_view::npos ? std::string_view() : trim(line.substr(semi + 1));
}

bool is_header_line(std::string_view decl) {
  return decl.substr(0, 4) == "var " || decl.substr(0, 4) == "user";
}

std::string read_text(Core& c, std::string_view path) {
  std::vector<uint8_t> bytes;
  if (path.empty() || !read_whole_file(path, bytes, kMaxBrainFileBytes)) return {};
  return std::string(bytes.begin(), bytes.end());
}

std::string brain_path(Core& c, int32_t element) {
  return std::string(element_field(c, element, fld::kBrain).view());
}

}  // namespace

uint32_t header_signature_of_text(std::string_view text, int32_t* user_lines) {
  uint32_t signature = 0;
  int32_t i = 0, users = 0;
  for (std::string_view raw : text_lines(text)) {
    const std::string decl = declaration_part(raw);
    if (!is_header_line(decl)) continue;
    if (decl.substr(0, 4) == "user") ++users;
    uint32_t h = 0;
    uint32_t k = 0;
    for (size_t n = decl.size(); n-- > 0; ++k)
      h += std::rotl(static_cast<uint32_t>(static_cast<uint8_t>(decl[n])), static_cast<int>(k % 32));
    signature ^= std::rotl(h, static_cast<int>(static_cast<uint32_t>(i) % 32));
    ++i;
  }
  if (user_lines) *user_lines = users;
  return signature;
}

uint32_t header_signature(Core& c, std::string_view path) {
  if (file_exists(c, path) == 0) return 0;
  return header_signature_of_text(read_text(c, path));
}

std::string configuration_from_text(std::string_view text) {
  std::string entries;
  int32_t count = 0;
  for (std::string_view raw : text_lines(text)) {
    if (count >= kMaxParamEntries) break;
    // The comment is cut: its text is no default, and a "/" or "|" in it would break the
    // sub-fields and fields after it.
    const std::string decl = declaration_part(raw);
    const int32_t type = declaration_type(decl);
    // A "user" line with an unknown unit is refused by the compiler too, so that the offsets of
    // the declarations after it agree in both.
    if (type < 0) continue;
    const size_t eq = decl.find('=');
    std::string value(eq == std::string::npos ? std::string_view() : trim(std::string_view(decl).substr(eq + 1)));
    std::erase_if(value, [](char ch) { return ch == '/' || ch == '|'; });
    entries += "/" + std::to_string(type == 0 ? 7 : type) + "/" + value + "/" +
               std::to_string(kFirstVariableOffset - 4 * count);
    ++count;
  }
  return std::to_string(count) + entries;
}

void configure_from_header(Core& c, int32_t element) {
  const std::string path = brain_path(c, element);
  element_field_set(c, element, fld::kParams, "0");
  if (file_exists(c, path) == 0) return;
  element_field_set(c, element, fld::kParams, configuration_from_text(read_text(c, path)));
}

bool check_header(Core& c, int32_t element) {
  const std::string path = brain_path(c, element);
  int32_t users = 0;
  const bool present = file_exists(c, path) != 0;
  const std::string text = present ? read_text(c, path) : std::string();
  const uint32_t signature = present ? header_signature_of_text(text, &users) : 0;
  const int32_t stored = str_to_int(element_field(c, element, fld::kSignature).view());
  if (static_cast<int32_t>(signature) == stored) return false;
  if (users > 0 && c.ui.message_box) {
    const std::string name(element_name(c, element).view());
    c.ui.message_box("A brain's header modification has occurred, so the|" + name +
                         "|element configuration (if any) was reset.|To cofigure again the "
                         "element, enter the Info panel for it",
                     " OK ", " OK ");
  }
  configure_from_header(c, element);
  element_field_set(c, element, fld::kSignature, std::to_string(static_cast<int32_t>(signature)));
  element_field_set(c, element, fld::kPanelPos1, "0");
  element_field_set(c, element, fld::kPanelPos2, "0");
  return true;
}

std::string brain_description(std::string_view text) {
  std::string out;
  for (std::string_view line : text_lines(text)) {
    const std::string_view comment = comment_part(line);
    if (comment.empty()) break;
    if (!out.empty()) out += ' ';
    out += comment;
  }
  return out;
}

std::string parameter_help_of_text(std::string_view text, int32_t n) {
  const std::vector<std::string_view> lines = text_lines(text);
  int32_t seen = 0;
  for (size_t i = 0; i < lines.size() && seen < kMaxHelpLines; ++i) {
    const std::string decl = declaration_part(lines[i]);
    const int32_t type = declaration_type(decl);
    if (type < 1) continue;  // "user" lines with a known unit only, as in the configuration
    if (seen++ != n) continue;
    std::string help;
    for (size_t j = i + 1; j < lines.size(); ++j) {
      const std::string_view comment = comment_part(lines[j]);
      if (comment.empty()) break;
      if (!help.empty()) help += ' ';
      help += comment;
    }
    return help;
  }
  return {};
}

std::string parameter_help(Core& c, int32_t element, int32_t n) {
  return parameter_help_of_text(read_text(c, brain_path(c, element)), n);
}

void brain_description_box(Gui& g, std::string_view path, const GuiRect& box) {
  const std::string text = brain_description(read_text(*g.core, path));
  const int32_t fh = gui_font_height(g);
  const int32_t width = box.x2 - box.x1, rows = std::max(1, (box.y2 - box.y1 + 1) / fh);
  std::vector<std::string> lines;
  std::string line;
  size_t p = 0;
  bool cut = false;
  while (p < text.size()) {
    size_t end = text.find(' ', p);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(p, end - p);
    p = end + 1;
    const std::string wider = line.empty() ? word : line + " " + word;
    if (!line.empty() && gui_text_width(g, wider) > width) {
      lines.push_back(line);
      line = word;
      if (static_cast<int32_t>(lines.size()) == rows) {
        cut = true;
        break;
      }
    } else {
      line = wider;
    }
  }
  if (!cut && !line.empty()) lines.push_back(line);
  if (cut && !lines.empty()) {
    std::string& last = lines.back();
    while (!last.empty() && gui_text_width(g, last + "...") > width) last.pop_back();
    last += "...";
  }
  const int32_t ink = gui_skin_colour(g, skin::kWindowTextX);
  for (size_t k = 0; k < lines.size(); ++k)
    gui_print_in(g, lines[k], box.x1, box.y1 + static_cast<int32_t>(k) * fh, ink);
}

}  // namespace korva
