// The builder's level list: 500 rows of "loading image|load complete image|project|switch|
// exit option", kept in "data/multilev.ini" with the base folder written as "./".
#include <string>

#include "builder/builder.h"
#include "core/core.h"

namespace korva {
namespace {

std::string replace_all(std::string s, std::string_view from, std::string_view to) {
  if (from.empty()) return s;
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

std::string file_name_of(std::string_view path) {
  const size_t slash = path.find_last_of("/\\:");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace

std::string fresh_level_row(Core& c) {
  const std::string base(c.base_folder->view());
  return base + "images/wait_.bmp|" + base + "images/anykey_.bmp|" + base + "projects/myprj/default_.prj|0";
}

LevelRows fresh_level_rows(Core& c) {
  LevelRows rows(kLevelRows, fresh_level_row(c));
  toggle_row(c, rows, 0);
  return rows;
}

std::string level_list_default_path(Core& c) { return std::string(c.base_folder->view()) + "data/multilev.ini"; }

LevelRows load_level_list(Core& c, std::string_view path) {
  const std::string file = path.empty() ? level_list_default_path(c) : std::string(path);
  std::vector<uint8_t> bytes;
  // 500 lines of a few paths each: anything far bigger is not a level list.
  constexpr int64_t kMaxListBytes = int64_t{kLevelRows} * 4 * kStrCapacity;
  if (!read_whole_file_raw(file, bytes, kMaxListBytes)) return fresh_level_rows(c);
  const std::string base(c.base_folder->view());
  LevelRows rows;
  LineCursor lines{reinterpret_cast<const char*>(bytes.data()), int64_t(bytes.size())};
  while (!lines.at_end() && int32_t(rows.size()) < kLevelRows) {
    std::string line(lines.next().substr(0, kStrCapacity));
    line = replace_all(replace_all(line, "\\", "/"), "./", base);
    if (line.size() > size_t(kStrCapacity)) line.resize(kStrCapacity);
    rows.push_back(line);
  }
  while (int32_t(rows.size()) < kLevelRows) rows.push_back(fresh_level_row(c));
  return rows;
}

bool save_level_list(Core& c, const LevelRows& rows, std::string_view path) {
  const std::string file = path.empty() ? level_list_default_path(c) : std::string(path);
  const std::string base(c.base_folder->view());
  std::string text;
  for (int32_t i = 0; i < kLevelRows; ++i) {
    const std::string row = i < int32_t(rows.size()) ? rows[size_t(i)] : fresh_level_row(c);
    text += replace_all(row, base, "./") + "\r\n";
  }
  return file_write_safely(file, text.data(), int64_t(text.size()));
}

void toggle_row(Core& c, LevelRows& rows, int32_t row) {
  if (row < 0 || row >= int32_t(rows.size())) return;
  const int32_t v = str_to_int(field_view(rows[size_t(row)], 4, '|')) ^ 1;
  str_set(c.str.operand, std::to_string(v));
  rows[size_t(row)] = std::string(field_set(c, rows[size_t(row)], 4, '|').view());
}

bool row_switched_on(Core& c, const std::string& row) { return field_view(row, 4, '|') == "1"; }

std::string standalone_list_line(Core& c, const std::string& row) {
  if (!row_switched_on(c, row)) return "||";
  return file_name_of(field_view(row, 1, '|')) + "|" + file_name_of(field_view(row, 2, '|')) + "|" +
         std::string(field_view(row, 5, '|'));
}

}  // namespace korva
