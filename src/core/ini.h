// Private-profile settings files ("[section]" headers and "key=value" lines, CR LF line ends),
// including the checksummed structure values: each byte as two upper-case hexadecimal digits,
// then a checksum byte (the sum of the bytes modulo 256) in the same form.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

// A settings file held as its lines; edits keep every other line as it was.
struct IniDoc {
  std::vector<std::string> lines;
};

// Reads the file; false (and an empty document) when it cannot be read.
bool ini_load(IniDoc& doc, std::string_view path);
// Writes the document with CR LF line ends through a temporary file; false on failure.
bool ini_save(const IniDoc& doc, std::string_view path);
std::string ini_text(const IniDoc& doc);

// Section and key names compare without regard to case; the value is trimmed of blanks and of
// one pair of surrounding double quotes. False when the key is missing.
bool ini_get(const IniDoc& doc, std::string_view section, std::string_view key, std::string& value);
// Replaces the key's value, or adds the key at the end of its section, or adds the section.
void ini_set(IniDoc& doc, std::string_view section, std::string_view key, std::string_view value);

// Structure values. Reading fails (leaving data untouched) when the key is missing, the text has
// the wrong length or a non-hexadecimal digit, or the checksum does not match.
std::string ini_struct_text(const void* data, int32_t size);
bool ini_struct_parse(std::string_view text, void* data, int32_t size);
bool ini_get_struct(const IniDoc& doc, std::string_view section, std::string_view key, void* data,
                    int32_t size);
void ini_set_struct(IniDoc& doc, std::string_view section, std::string_view key, const void* data,
                    int32_t size);

}  // namespace korva
