// Project files (".prj") and element group files (".ele"): comment lines, the count line, the
// element records, the project settings line and the "@n" brain sections; and the ".col"
// companion with the collision matrix and six project settings.
//
// Files are untrusted: reading never leaves the buffer the file was read into, every line is
// cut to a string slot, and markers are matched by their number, so a damaged file loads
// whatever can be loaded.
#include <algorithm>
#include <cstring>
#include <vector>

#include "model/model.h"
#include "model/model_local.h"

namespace korva {

const char* const kDefaultCameraTail =
    "cameras/default_.03d|./sounds/null_.wav|-|0|0|0|0|0|0|0.000|0|0.000|0|0|0|0.000|0.000|0.000|"
    "0|0|0|0.000|0.000|0.000|0|0|0|0|0|1|0|1|0|1/1/2/1020|0|160/120/479/359/0/20&40/7|0/1|"
    "4096/2/50/0|14815378";

namespace {

constexpr std::string_view kLoadingText = "Loading data, please wait...";
constexpr int32_t kCompanionBytes = 65536;
constexpr int32_t kMatrixSide = 256;
// The six settings overlay row 254 of the matrix.
constexpr int32_t kClipOffset = 65036, kScreenPOffset = 65040, kScreenQOffset = 65044,
                  kScreenROffset = 65048, kUnusedOffset = 65052, kFieldOfViewOffset = 65056;

enum class FileKind { Project, ElementGroup };

// Field 36 (the type) is not empty: the line is an element record. Decided on the raw line so
// that a line longer than a slot is still recognised.
bool is_record_line(std::string_view line) { return !field_view(line, fld::kType, '|').empty(); }

std::string_view cut_to_slot(std::string_view line) {
  return line.size() > size_t(kStrCapacity) ? line.substr(0, kStrCapacity) : line;
}

// Paths in files are relative: "\" becomes "/" and "./" the base folder. A record that would
// not fit its slot once expanded keeps its "./" paths, which still name the same files from
// the base folder (the current folder).
void expand_paths(Core& c, FixedString& s) {
  for (int32_t i = 0; i < s.len; ++i)
    if (s.text[i] == '\\') s.text[i] = '/';
  std::string_view v = s.view();
  int64_t count = 0;
  for (size_t at = v.find("./"); at != std::string_view::npos; at = v.find("./", at + 2)) ++count;
  int64_t grown = v.size() + count * (static_cast<int64_t>(c.base_folder->view().size()) - 2);
  if (count == 0 || grown > kStrCapacity) return;
  str_set(s, str_replace_all(c, v, "./", c.base_folder->view()));
}

// The record as written to a file: base folder as "./", brain as "-" (its text follows).
void relative_record(Core& c, FixedString& s, bool brain_dash) {
  str_set(s, str_replace_all(c, s.view(), c.base_folder->view(), "./"));
  if (brain_dash) {
    str_set(c.str.operand, "-");
    str_set(s, field_set(c, s.view(), fld::kBrain, '|'));
  }
}

// "@" followed by decimal digits only; -1 for any other line.
int32_t marker_number(std::string_view line) {
  if (line.size() < 2 || line[0] != '@' || line.size() > 11) return -1;
  int64_t n = 0;
  for (size_t i = 1; i < line.size(); ++i) {
    if (line[i] < '0' || line[i] > '9') return -1;
    n = n * 10 + (line[i] - '0');
  }
  return n < kMaxElements ? static_cast<int32_t>(n) : -1;
}

// File slot for private brain files, apart from the slots 0 and 1 that callers may hold open.
constexpr int32_t kBrainSlot = kFileSlots - 1;

// Private brain files are made afresh at every load, so a plain write is enough here: the
// safe write's flush to disk would make loading a large project take seconds.
// The written file is checked: a full disk must not leave a cut brain that then compiles.
bool write_brain_file(Core& c, std::string_view path, const char* data, int64_t size) {
  int32_t output = c.files.output;
  if (!file_open_write(c, kBrainSlot, path)) return false;
  select_output(c, kBrainSlot);
  write_bytes(c, data, size);
  file_close(c, kBrainSlot);
  select_output(c, output);
  return file_size(c, path) == size;
}

bool copy_brain_file(Core& c, std::string_view source, std::string_view destination) {
  if (source == destination) return file_exists(c, destination) != 0;
  if (file_exists(c, source)) {
    // A brain is never longer than the compiler reads (the general file buffer); a huge file
    // named as one is not copied.
    const int64_t size = file_size(c, source);
    if (size > pool_bytes(Pool::FileBuffer)) return false;
    file_copy(c, source, destination);
    return file_size(c, destination) == size;
  }
  // A missing brain becomes an empty private brain, so every element owns a brain file.
  return write_brain_file(c, destination, "", 0);
}

void report(Core& c, std::string_view what, std::string_view path) {
  Temp msg(c, what);
  str_cat(*msg, "|");
  str_cat(*msg, path);
  show_message(c, msg.view());
}

// Reads a project or element file into the table at position; -1 when it cannot be read,
// otherwise the number of elements inserted.
int32_t read_element_file(Core& c, Model& m, std::string_view path, FileKind kind,
                          int32_t position) {
  // One size rule for reading and writing: a file is read whole when it is no larger than what
  // a save can write back, so that loading and saving never lose the end of a project. A larger
  // one shows its first part and is marked, so that nothing is saved over the whole file.
  const int64_t cap = pool_bytes(Pool::FileBuffer);
  if (!m.standalone) show_status(c, kLoadingText);
  const int64_t size = file_size(c, path);
  const bool too_large = size > cap;
  std::vector<uint8_t> bytes(size_t(size < 0 ? 0 : std::min(size, cap)));
  int64_t got = 0;
  if (size < 0 || read_file(c, path, 0, int64_t(bytes.size()), bytes.data(), &got) != 0) {
    if (!m.standalone) show_status(c, "");
    if (kind == FileKind::Project) m.load_problem = "it cannot be read";
    return -1;
  }
  if (too_large && kind == FileKind::Project)
    m.load_problem = "it is larger than a project can be (" + std::to_string(cap) + " bytes)";
  const char* buf = reinterpret_cast<const char*>(bytes.data());

  LineCursor lines{buf, got};
  std::string_view line;
  bool have = false;
  auto advance = [&] {
    have = !lines.at_end();
    line = have ? lines.next() : std::string_view();
    return have;
  };

  // Comment lines: the last one is the description.
  bool commented = false;
  Temp description(c);
  for (advance(); have && !line.empty() && line[0] == ';'; advance()) {
    str_set(*description, cut_to_slot(line.substr(1)));
    commented = true;
  }
  if (kind == FileKind::Project) str_set(m.description, commented ? description.view() : "");
  // The count line is not needed; a file without one starts with its first record. When it
  // is there, fewer records than it says tell of a file cut short.
  int32_t declared = -1;
  if (have && !is_record_line(line)) {
    if (!line.empty() && line.find_first_not_of("0123456789\r") == std::string_view::npos)
      declared = str_to_int(line);
    advance();
  }

  int32_t inserted = 0;
  bool table_full = false, cut = false;
  for (; have && is_record_line(line); advance()) {
    if (table_full) continue;
    cut = cut || line.size() > size_t(kStrCapacity);
    Temp rec(c, cut_to_slot(line));
    expand_paths(c, *rec);
    if (insert_element(c, m, rec.view(), position + inserted))
      ++inserted;
    else
      table_full = true;
  }

  if (kind == FileKind::Project) {
    if (inserted == 0)
      m.load_problem = "it holds no element records (not a project file, or damaged)";
    else if (declared > inserted && !table_full)
      m.load_problem = "it declares " + std::to_string(declared) + " elements but holds " +
                       std::to_string(inserted) + " (cut short?)";
  }

  if (kind == FileKind::Project && have && !(line.size() > 0 && line[0] == '@')) {
    Temp s(c, cut_to_slot(line));
    expand_paths(c, *s);
    str_set(m.project.background, field_get(c, *s, 1, '|'));
    int32_t reps = str_to_int(field_get(c, *s, 2, '|').view());
    m.project.repetitions = reps == 0 ? 1 : reps;
    str_set(m.project.shared_variables, field_get(c, *s, 3, '|'));
    advance();
  }

  // Brain sections: the text after marker "@k" up to the next line beginning with "@".
  int64_t start[kMaxElements], end[kMaxElements];
  for (int32_t k = 0; k < kMaxElements; ++k) start[k] = end[k] = -1;
  int32_t open = -1;
  for (bool more = have; more; more = advance()) {
    if (line.empty() || line[0] != '@') continue;
    int64_t line_start = line.data() - buf;
    if (open >= 0) end[open] = line_start;
    open = -1;
    int32_t k = marker_number(line);
    if (k >= 0 && k < inserted && start[k] < 0) {
      start[k] = lines.pos;
      open = k;
    }
  }
  if (open >= 0) end[open] = got;

  bool brains_ok = true;
  for (int32_t k = 0; k < inserted; ++k) {
    int32_t index = position + k;
    Temp name(c, new_brain_file_name(c, m).view());
    Temp brain(c, element_field(c, index, fld::kBrain).view());
    bool ok;
    if (brain.view() == "-") {
      int64_t n = start[k] >= 0 ? end[k] - start[k] : 0;
      ok = write_brain_file(c, name.view(), n > 0 ? buf + start[k] : "", n > 0 ? n : 0);
    } else {
      ok = copy_brain_file(c, brain.view(), name.view());
    }
    brains_ok = brains_ok && ok;
    element_field_set(c, index, fld::kBrain, name.view());
  }

  if (!m.standalone) show_status(c, "");
  if (too_large) report(c, "The file is too large: only its first part was loaded.", path);
  if (table_full) report(c, "Too many elements: only 256 were loaded from", path);
  if (cut) report(c, "Element records too long were cut in", path);
  if (!brains_ok) report(c, "Could not write the private brain files of", path);
  return inserted;
}

// Writes elements first..last as a project or element file.
bool write_element_file(Core& c, Model& m, std::string_view path, FileKind kind,
                        std::string_view description, int32_t first, int32_t last) {
  char* out = reinterpret_cast<char*>(c.pool(Pool::FileBuffer));
  const int64_t cap = pool_bytes(Pool::FileBuffer);
  int64_t pos = 0;
  bool fits = true;
  auto put = [&](std::string_view v) {
    if (!fits || pos + static_cast<int64_t>(v.size()) > cap) {
      fits = false;
      return;
    }
    std::memcpy(out + pos, v.data(), v.size());
    pos += static_cast<int64_t>(v.size());
  };
  auto put_line = [&](std::string_view v) {
    put(v);
    put("\r\n");
  };

  put(";");
  put_line(description);
  put_line(int_to_str(c, last - first + 1).view());
  {
    Temp rec(c);
    for (int32_t i = first; i <= last; ++i) {
      str_set(*rec, element_record(c, i));
      relative_record(c, *rec, true);
      put_line(rec.view());
    }
  }
  if (kind == FileKind::Project) {
    Temp s(c, m.project.background.view());
    relative_record(c, *s, false);
    str_cat(*s, "|");
    str_cat(*s, int_to_str(c, m.project.repetitions));
    str_cat(*s, "|");
    str_cat(*s, m.project.shared_variables);
    put_line(s.view());
  }
  for (int32_t i = first; i <= last && fits; ++i) {
    Temp brain(c, element_field(c, i, fld::kBrain).view());
    put("@");
    put_line(int_to_str(c, i - first).view());
    int64_t size = file_size(c, brain.view());
    if (size <= 0) continue;  // a missing brain is an empty section
    if (size > cap - pos) {
      fits = false;
      break;
    }
    int64_t got = 0;
    read_file(c, brain.view(), 0, size, out + pos, &got);
    pos += got;
    if (got > 0 && out[pos - 1] != '\n') put("\r\n");
  }

  if (!fits) {
    report(c, "The project is too large to be saved:", path);
    return false;
  }
  if (!file_write_safely(path, out, pos)) {
    report(c, "Could not save the file", path);
    return false;
  }
  return true;
}

void put_word(uint8_t* p, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  for (int32_t k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(u >> (8 * k));
}

int32_t get_word(const uint8_t* p) {
  uint32_t u = 0;
  for (int32_t k = 0; k < 4; ++k) u |= uint32_t{p[k]} << (8 * k);
  return static_cast<int32_t>(u);
}

void read_companion(Core& c, Model& m, std::string_view project_path) {
  Temp col(c, companion_path(c, project_path).view());
  uint8_t* table = c.pool(Pool::ProjectTable);
  int64_t got = 0;
  // Bytes a short file does not cover keep their previous state; a longer file is cut.
  if (read_file(c, col.view(), 0, kCompanionBytes, table, &got) != 0) return;
  auto has = [&](int32_t offset) { return got >= offset + 4; };
  if (has(kClipOffset)) m.project.clip_distance = get_word(table + kClipOffset);
  if (has(kScreenPOffset)) m.project.screen_p = get_word(table + kScreenPOffset);
  if (has(kScreenROffset)) m.project.screen_r = get_word(table + kScreenROffset);
  if (has(kFieldOfViewOffset)) m.project.field_of_view = get_word(table + kFieldOfViewOffset);
  if (has(kScreenQOffset)) {
    int32_t q = get_word(table + kScreenQOffset);
    m.project.screen_q = m.project.screen_p < q ? q : 479;
  }
}

bool write_companion(Core& c, Model& m, std::string_view project_path) {
  uint8_t* table = c.pool(Pool::ProjectTable);
  const int32_t first = m.last_index + 1;  // rows and columns of absent elements are cleared
  for (int32_t i = first; i < kMatrixSide; ++i)
    std::memset(table + i * kMatrixSide + first, 0, size_t(kMatrixSide - first));
  put_word(table + kClipOffset, m.project.clip_distance);
  put_word(table + kScreenPOffset, m.project.screen_p);
  put_word(table + kScreenQOffset, m.project.screen_q);
  put_word(table + kScreenROffset, m.project.screen_r);
  put_word(table + kUnusedOffset, 0);
  put_word(table + kFieldOfViewOffset, m.project.field_of_view);
  Temp col(c, companion_path(c, project_path).view());
  if (file_write_safely(col.view(), table, kCompanionBytes)) return true;
  report(c, "Could not save the file", col.view());
  return false;
}

void empty_table(Core& c, Model& m) {
  for (int32_t i = 0; i <= m.last_index && i < kMaxElements; ++i) element_record(c, i).len = 0;
  m.last_index = -1;
}

}  // namespace

FixedString& companion_path(Core& c, std::string_view project_path) {
  std::string_view stem = project_path.size() >= 3
                              ? project_path.substr(0, project_path.size() - 3)
                              : std::string_view();
  Temp p(c, stem);
  str_cat(*p, "col");
  str_set(c.str.result, *p);
  return c.str.result;
}

int32_t load_project(Core& c, Model& m, std::string_view path) {
  Temp p(c, path);  // the path may live in ResultString
  str_set(m.project.background, "");
  str_set(m.project.shared_variables, "");
  ProjectSettings& s = m.project;
  s.repetitions = 1;
  s.clip_distance = 30;
  s.screen_p = s.screen_q = s.screen_r = 0;
  s.field_of_view = 100;
  s.fog_start = 10240;
  s.fog_end = 15360;
  s.fog_colour = 0xFF000000u;

  m.load_problem.clear();
  if (file_exists(c, p.view())) {
    empty_table(c, m);
    m.load_first = 0;
    read_element_file(c, m, p.view(), FileKind::Project, m.load_first);
    read_companion(c, m, p.view());
  } else {
    std::memset(c.pool(Pool::ProjectTable), 0, kCompanionBytes);
    empty_table(c, m);
    Temp cam(c, "Camera|");
    str_cat(*cam, *c.base_folder);
    str_cat(*cam, kDefaultCameraTail);
    insert_element(c, m, cam.view(), 0);
    m.current = 0;
  }
  copy_brains_to_private(c, m);
  return element_count(m);
}

bool save_project(Core& c, Model& m, std::string_view path) {
  Temp p(c, path);
  if (!write_element_file(c, m, p.view(), FileKind::Project, m.description.view(), 0,
                          m.last_index)) return false;
  return write_companion(c, m, p.view());
}

int32_t load_element_group(Core& c, Model& m, std::string_view path, int32_t position) {
  Temp p(c, path);
  int32_t at = position < 0 ? 0 : (position > m.last_index + 1 ? m.last_index + 1 : position);
  return read_element_file(c, m, p.view(), FileKind::ElementGroup, at);
}

bool save_element_group(Core& c, Model& m, std::string_view path,
                        std::string_view description) {
  Temp p(c, path);
  Temp d(c, description);
  int32_t first = m.load_first < 0 ? 0 : m.load_first;
  int32_t last = m.load_last > m.last_index ? m.last_index : m.load_last;
  if (first > last) return false;
  return write_element_file(c, m, p.view(), FileKind::ElementGroup, d.view(), first, last);
}

FixedString& new_brain_file_name(Core& c, Model& m) {
  Temp name(c, *c.base_folder);
  if (!m.standalone) str_cat(*name, "brains/");
  str_cat(*name, int_to_hex(c, static_cast<int32_t>(m.brain_counter++)));
  str_cat(*name, ".bra");
  str_set(c.str.result, *name);
  return c.str.result;
}

void copy_brains_to_private(Core& c, Model& m) {
  for (int32_t i = 0; i <= m.last_index && i < kMaxElements; ++i) {
    Temp brain(c, element_field(c, i, fld::kBrain).view());
    std::string_view b = brain.view();
    if (b.size() < 4 || str_icmp(b.substr(b.size() - 4), ".brn") != 0) continue;
    Temp name(c, new_brain_file_name(c, m).view());
    if (!copy_brain_file(c, b, name.view()))
      report(c, "Could not write the private brain file", name.view());
    element_field_set(c, i, fld::kBrain, name.view());
  }
}

}  // namespace korva
