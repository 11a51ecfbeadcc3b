// Compiling a project's brains: brain sharing between elements with identical brain files, one
// compilation per distinct brain into the CodeBuffer, the failure message and the empty brain
// of a failed one, and the entry addresses in the instance records.
#include <algorithm>
#include <cstring>

#include "brain/brain_local.h"
#include "model/model.h"

namespace korva {

namespace {

// Reads a brain file (at most kMaxBrainFileBytes of it). False when it cannot be opened.
bool read_brain_file(Core& c, std::string_view path, std::string& out, int64_t& size) {
  out.clear();
  size = file_size(c, path);
  if (size < 0) return false;
  int64_t want = size < kMaxBrainFileBytes ? size : kMaxBrainFileBytes;
  out.resize(static_cast<size_t>(want));
  int64_t got = 0;
  if (want > 0 && read_file(c, path, 0, want, out.data(), &got) != 0) return false;
  out.resize(static_cast<size_t>(want > 0 ? got : 0));
  return true;
}

void write_word(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

}  // namespace

BrainState::BrainState()
    : code(guest::kCodeBufferBytes, 0),
      temp_area(guest::kTempAreaBytes, 0),
      literal_pool(guest::kLiteralPoolBytes, 0) {
  for (int32_t i = 0; i < 256; ++i) owner[i] = i;
}

std::unique_ptr<BrainState> brain_create() { return std::make_unique<BrainState>(); }

void literal_pool_reset(BrainState& b) {
  b.literal_pos = 0;
  b.literal_start = b.literal_end = guest::kLiteralPoolBase;
}

uint32_t brain_checksum(std::string_view bytes) {
  if (bytes.size() < 4) return static_cast<uint32_t>(bytes.size());
  uint32_t sum = 0;
  for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
    uint32_t w;
    std::memcpy(&w, bytes.data() + i, 4);
    sum += w;
  }
  return sum;
}

bool compile_brain(Core& c, BrainState& b, std::string_view path, Pass pass) {
  std::string text;
  int64_t size = 0;
  bool found = read_brain_file(c, path, text, size);
  if (!found || size > kMaxBrainFileBytes) {
    std::string name(file_part(c, path).view());
    b.brain_start = b.out;
    b.line_code.assign(1, b.out);
    b.data_ranges.clear();
    b.error_line = 0;
    b.errors.clear();
    b.compile_error = found ? "Brain file too large (" + name + ")!" : "Brain not found (" + name + ")!";
    return false;
  }
  return compile_brain_text(c, b, text, pass);
}

void compile_project_brains(Core& c, Model& m, BrainState& b, Pass pass) {
  const int32_t count = element_count(m) < 256 ? element_count(m) : 256;
  std::vector<std::string> paths(static_cast<size_t>(count));
  std::vector<bool> exists(static_cast<size_t>(count));
  std::string text, other;
  int64_t size = 0;

  // 1. Brain sharing. Equal checksums are only a hint: elements share a compiled brain when
  // their files have the same bytes (or are the same missing file).
  for (int32_t i = 0; i < count; ++i) {
    paths[i] = std::string(field_get(c, element_record(c, i), 4, '|').view());
    exists[i] = read_brain_file(c, paths[i], text, size);
    b.checksum[i] = exists[i] ? brain_checksum(text) : 0;
    b.owner[i] = i;
    for (int32_t j = 0; j < i; ++j) {
      if (b.owner[j] != j || b.checksum[j] != b.checksum[i] || exists[j] != exists[i]) continue;
      bool same = exists[i] ? (read_brain_file(c, paths[j], other, size) && other == text)
                            : paths[j] == paths[i];
      if (same) {
        b.owner[i] = j;
        break;
      }
    }
  }

  // 2.
  b.picking = 0;
  b.brain_error = 0;
  b.failures.clear();
  b.code_lines.clear();
  b.brain_paths = paths;
  b.literal_start = guest::kLiteralPoolBase + b.literal_pos;
  b.out = 0;
  const uint32_t last = static_cast<uint32_t>(b.code.size()) - 1;
  b.code[last] = 0xC3;  // ret: the empty brain of failed brains when no room is left

  // 3.
  std::vector<uint32_t> entry(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    if (b.owner[i] == i) {
      uint32_t start = b.out;
      entry[i] = code_address(start);
      const bool compiled = compile_brain(c, b, paths[i], pass);
      if (compiled) {
        // line_code[k] is where line k starts; its last entry, the closing ret, is no line.
        for (size_t line = 1; line + 1 < b.line_code.size(); ++line)
          b.code_lines.push_back({b.line_code[line], i, int32_t(line)});
      }
      if (!compiled) {
        b.brain_error = 1;
        std::string name(element_name(c, i).view());
        b.failures.push_back({i, paths[i], b.error_line, b.compile_error});
        // Errors about the brain as a whole (an unclosed if) name their line after the text.
        std::string shown = b.compile_error;
        if (b.error_line > 0 && shown.find(" (" + std::to_string(b.error_line) + ")|") == std::string::npos)
          shown += "|" + brain_line_text(b, i, b.error_line);
        show_message(c, "'" + name + "' brain ERROR!|" + shown);
        // The partial code is dropped: the element runs an empty brain.
        if (start < last) {
          b.code[start] = 0xC3;
          b.out = start + 1;
        } else {
          entry[i] = code_address(last);
          b.out = last + 1;
        }
      }
    } else {
      entry[i] = entry[b.owner[i]];
    }
    write_word(c.pool(Pool::Instances) + static_cast<size_t>(i) * kInstanceRecordBytes + ir::kBrainEntry,
               entry[i]);
  }

  // 4.
  b.literal_end = guest::kLiteralPoolBase + b.literal_pos;
  for (int32_t i = 0; i < 256; ++i) b.owner[i] = i;
}

bool brain_line_at(const BrainState& b, uint32_t eip, int32_t& element, int32_t& line) {
  const uint32_t offset = eip - guest::kCodeBufferBase;
  if (eip < guest::kCodeBufferBase || offset >= b.out) return false;
  // The last line starting at or before the address (lines without code start where the next
  // one does, so the one that holds code is the last of equals).
  auto it = std::upper_bound(b.code_lines.begin(), b.code_lines.end(), offset,
                             [](uint32_t o, const BrainState::CodeLine& l) { return o < l.offset; });
  if (it == b.code_lines.begin()) return false;
  --it;
  element = it->element;
  line = it->line;
  return true;
}

std::string brain_line_text(const BrainState& b, int32_t element, int32_t line) {
  const std::string path =
      element >= 0 && size_t(element) < b.brain_paths.size() ? b.brain_paths[size_t(element)] : std::string();
  std::vector<uint8_t> bytes;
  std::string text;
  if (!path.empty() && read_whole_file(path, bytes, kMaxBrainFileBytes)) {
    // Lines end in CR LF, LF or CR alone.
    int32_t n = 1;
    for (size_t i = 0; i < bytes.size() && n <= line; ++i) {
      const char ch = char(bytes[i]);
      if (ch == '\r' || ch == '\n') {
        if (ch == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        ++n;
      } else if (n == line) {
        text += ch;
      }
    }
  }
  const std::string where = path.empty() ? "private brain of element " + std::to_string(element) : path;
  return where + ", line " + std::to_string(line) + (text.empty() ? "" : ": " + text);
}

}  // namespace korva
