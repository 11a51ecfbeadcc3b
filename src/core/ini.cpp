// Private-profile settings files.
#include "core/ini.h"

#include <cstdio>

#include "core/files.h"

namespace korva {

// A settings file larger than this is not a settings file; it reads as empty.
constexpr long kIniMaxBytes = 1 << 20;

static std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

static bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// The section name of a "[name]" line, or false when the line is not a section header.
static bool section_of(std::string_view line, std::string_view& name) {
  line = trim(line);
  if (line.empty() || line.front() != '[') return false;
  size_t close = line.find(']');
  name = trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
  return true;
}

// The key and value of a "key=value" line, or false for any other line.
static bool entry_of(std::string_view line, std::string_view& key, std::string_view& value) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = trim(line.substr(0, eq));
  value = trim(line.substr(eq + 1));
  return !key.empty();
}

bool ini_load(IniDoc& doc, std::string_view path) {
  doc.lines.clear();
  std::FILE* f = std::fopen(platform_path(path).c_str(), "rb");
  if (!f) return false;
  std::string text;
  char buf[4096];
  size_t n;
  bool too_big = false;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    text.append(buf, n);
    if (static_cast<long>(text.size()) > kIniMaxBytes) {
      too_big = true;
      break;
    }
  }
  std::fclose(f);
  if (too_big) return true;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    doc.lines.emplace_back(line);
    start = end + 1;
  }
  return true;
}

std::string ini_text(const IniDoc& doc) {
  std::string out;
  for (const auto& line : doc.lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

bool ini_save(const IniDoc& doc, std::string_view path) {
  std::string out = ini_text(doc);
  return file_write_safely(path, out.data(), static_cast<int64_t>(out.size()));
}

// Finds the line index of the key in the section; also reports where the section's last entry
// is (for appending), or -1 when the section does not exist.
static int64_t find_key(const IniDoc& doc, std::string_view section, std::string_view key,
                        int64_t* section_end) {
  bool inside = false;
  int64_t last = -1;
  for (size_t i = 0; i < doc.lines.size(); ++i) {
    std::string_view name, k, v;
    if (section_of(doc.lines[i], name)) {
      // Windows reads the first section of a name; later duplicates are ignored.
      if (inside) break;
      inside = same_name(name, section);
      if (inside) last = static_cast<int64_t>(i);
      continue;
    }
    if (!inside) continue;
    if (entry_of(doc.lines[i], k, v)) {
      last = static_cast<int64_t>(i);
      if (same_name(k, key)) return static_cast<int64_t>(i);
    }
  }
  if (section_end) *section_end = last;
  return -1;
}

bool ini_get(const IniDoc& doc, std::string_view section, std::string_view key, std::string& value) {
  int64_t at = find_key(doc, section, key, nullptr);
  if (at < 0) return false;
  std::string_view k, v;
  entry_of(doc.lines[static_cast<size_t>(at)], k, v);
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  value.assign(v);
  return true;
}

void ini_set(IniDoc& doc, std::string_view section, std::string_view key, std::string_view value) {
  int64_t section_end = -1;
  int64_t at = find_key(doc, section, key, &section_end);
  if (at >= 0) {
    std::string_view k, v;
    std::string& line = doc.lines[static_cast<size_t>(at)];
    entry_of(line, k, v);
    line = std::string(k) + "=" + std::string(value);
    return;
  }
  std::string entry = std::string(key) + "=" + std::string(value);
  if (section_end >= 0) {
    doc.lines.insert(doc.lines.begin() + section_end + 1, entry);
    return;
  }
  // A new section goes at the end, one empty line after what is there.
  while (!doc.lines.empty() && trim(doc.lines.back()).empty()) doc.lines.pop_back();
  if (!doc.lines.empty()) doc.lines.emplace_back();
  doc.lines.push_back("[" + std::string(section) + "]");
  doc.lines.push_back(entry);
}

std::string ini_struct_text(const void* data, int32_t size) {
  static const char kHex[] = "0123456789ABCDEF";
  const auto* bytes = static_cast<const uint8_t*>(data);
  std::string out;
  uint32_t sum = 0;
  for (int32_t i = 0; i < size; ++i) {
    out += kHex[bytes[i] >> 4];
    out += kHex[bytes[i] & 15];
    sum += bytes[i];
  }
  out += kHex[(sum >> 4) & 15];
  out += kHex[sum & 15];
  return out;
}

static int32_t hex_digit(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  return -1;
}

bool ini_struct_parse(std::string_view text, void* data, int32_t size) {
  if (size < 0 || text.size() != static_cast<size_t>(size + 1) * 2) return false;
  uint8_t bytes[256];
  if (size > static_cast<int32_t>(sizeof bytes)) return false;
  uint32_t sum = 0;
  for (int32_t i = 0; i <= size; ++i) {
    int32_t hi = hex_digit(text[size_t(i) * 2]), lo = hex_digit(text[size_t(i) * 2 + 1]);
    if (hi < 0 || lo < 0) return false;
    const uint8_t b = static_cast<uint8_t>(hi * 16 + lo);
    if (i == size) {
      if ((sum & 255) != b) return false;
    } else {
      bytes[i] = b;
      sum += b;
    }
  }
  for (int32_t i = 0; i < size; ++i) static_cast<uint8_t*>(data)[i] = bytes[i];
  return true;
}

bool ini_get_struct(const IniDoc& doc, std::string_view section, std::string_view key, void* data,
                    int32_t size) {
  std::string value;
  return ini_get(doc, section, key, value) && ini_struct_parse(value, data, size);
}

void ini_set_struct(IniDoc& doc, std::string_view section, std::string_view key, const void* data,
                    int32_t size) {
  ini_set(doc, section, key, ini_struct_text(data, size));
}

}  // namespace korva
