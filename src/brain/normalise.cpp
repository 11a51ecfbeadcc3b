// The line normaliser: from a raw brain line to the prepared line (comment cut, trimmed,
// strings masked, lower case) and from there to the compact form the expression parser reads.
// Declaration lines are recognised here too.
#include <algorithm>

#include "brain/brain_local.h"

namespace korva {

std::string_view trim_blanks(std::string_view s) {
  size_t a = 0, e = s.size();
  while (a < e && (s[a] == ' ' || s[a] == '\t')) ++a;
  while (e > a && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(a, e - a);
}

std::string_view field_of(std::string_view s, int32_t n, char d) {
  if (n <= 0 || s.empty()) return {};
  size_t start = 0;
  for (int32_t i = 1; i < n; ++i) {
    size_t p = s.find(d, start);
    if (p == std::string_view::npos) return {};
    start = p + 1;
  }
  size_t end = s.find(d, start);
  return s.substr(start, end == std::string_view::npos ? s.size() - start : end - start);
}

void replace_all(std::string& s, std::string_view search, std::string_view replacement) {
  if (search.empty()) return;
  size_t first = s.find(search);
  if (first == std::string::npos) return;
  if (replacement.size() <= search.size()) {
    // The result is never longer: write it over the line from the first match on.
    size_t w = first, i = first;
    while (i < s.size()) {
      if (s.compare(i, search.size(), search) == 0) {
        std::copy(replacement.begin(), replacement.end(), s.begin() + static_cast<std::ptrdiff_t>(w));
        w += replacement.size();
        i += search.size();
      } else {
        s[w++] = s[i++];
      }
    }
    s.resize(w);
    return;
  }
  std::string r;
  r.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    if (s.compare(i, search.size(), search) == 0) {
      r += replacement;
      i += search.size();
    } else {
      r += s[i++];
    }
  }
  s.swap(r);
}

std::string prepare_line(std::string_view raw, std::string& source) {
  // 1. Everything from the first semicolon on is a comment (also inside a string literal).
  size_t semi = raw.find(';');
  if (semi != std::string_view::npos) raw = raw.substr(0, semi);
  // 2., 3. Trim; the trimmed line is the source text.
  source.assign(trim_blanks(raw));
  // 4. Mask string literals: what lies between a pair of quotes becomes full stops.
  // 5. Lower case; tabs become blanks.
  std::string line(source);
  bool inside = false;
  for (char& ch : line) {
    if (ch == '"') {
      inside = !inside;
    } else if (inside) {
      ch = '.';
    } else if (ch >= 'A' && ch <= 'Z') {
      ch = static_cast<char>(ch - 'A' + 'a');
    } else if (ch == '\t') {
      ch = ' ';
    }
  }
  if (inside) {
    // An unpaired quote masks nothing: undo the mask after the last quote and lower-case it.
    size_t q = line.rfind('"');
    for (size_t i = q + 1; i < line.size(); ++i) {
      char ch = source[i];
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
      if (ch == '\t') ch = ' ';
      line[i] = ch;
    }
  }
  return line;
}

bool compact_line(std::string& line, std::string& first3) {
  // 8. Word operators, blanks on both sides. Most lines have none: one look for a blank before
  // an a, o or x spares them the three searches.
  bool words = false;
  for (size_t i = 0; i + 1 < line.size() && !words; ++i)
    words = line[i] == ' ' && (line[i + 1] == 'a' || line[i + 1] == 'o' || line[i + 1] == 'x');
  if (words) {
    replace_all(line, " and ", std::string_view(&kAnd, 1));
    replace_all(line, " or ", std::string_view(&kOr, 1));
    replace_all(line, " xor ", std::string_view(&kXor, 1));
  }
  // 9. Kept aside for the "if " test.
  first3.assign(line, 0, 3);
  // 10. Blanks go. Steps 10 to 12 only ever shorten the line, so they work in place.
  size_t w = 0;
  for (char ch : line)
    if (ch != ' ') line[w++] = ch;
  line.resize(w);
  // 11. Unary minus: a minus after an operator, an opening bracket or a comma. The scan runs
  // left to right in place, so the second minus of "--" follows a unary-minus code and stays.
  for (size_t i = 1; i < line.size(); ++i) {
    if (line[i] != '-') continue;
    char p = line[i - 1];
    if (p == '=' || p == '<' || p == '>' || p == '/' || p == '*' || p == '-' || p == '+' ||
        p == kAnd || p == '(' || p == '[' || p == ',' || p == kOr || p == kXor)
      line[i] = kUnaryMinus;
  }
  replace_all(line, "#-", std::string_view(&kNegativeElement, 1));
  // 12. Two-character comparisons, pair by pair from the left.
  w = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    if (i + 1 < line.size()) {
      char a = line[i], b = line[i + 1];
      char code = 0;
      if ((a == '<' && b == '=') || (a == '=' && b == '<')) code = kLessEqual;
      else if ((a == '>' && b == '=') || (a == '=' && b == '>')) code = kGreaterEqual;
      else if ((a == '<' && b == '>') || (a == '>' && b == '<')) code = kNotEqual;
      if (code) {
        line[w++] = code;
        ++i;
        continue;
      }
    }
    line[w++] = line[i];
  }
  line.resize(w);
  // 13. Round and square brackets nest properly and are all closed.
  std::string open;
  for (char ch : line) {
    if (ch == '(' || ch == '[') {
      open += ch;
    } else if (ch == ')' || ch == ']') {
      if (open.empty() || open.back() != (ch == ')' ? '(' : '[')) return false;
      open.pop_back();
    }
  }
  return open.empty();
}

int32_t declaration_type(std::string_view line) {
  if (line.substr(0, 4) == "var ") return 0;
  if (line.substr(0, 4) != "user") return kNotDeclaration;
  static constexpr std::string_view kUnits[] = {"ele ", "int ", "met ", "deg ", "vel ", "spi "};
  std::string_view unit = line.substr(4, 4);
  for (int32_t i = 0; i < 6; ++i)
    if (unit == kUnits[i]) return i + 1;
  return kUnknownUnit;
}

std::string_view declaration_name(std::string_view line, int32_t type) {
  size_t prefix = type == 0 ? 4 : 8;
  if (line.size() <= prefix) return {};
  std::string_view rest = line.substr(prefix);
  return trim_blanks(rest.substr(0, rest.find('=')));
}

}  // namespace korva
