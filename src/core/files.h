// File and folder helpers over FixedStrings: numbered handles with one selected input and one
// selected output, whole-file reads, tests, copies, listings into the list table, path splitting.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "core/fixed_string.h"

namespace korva {

constexpr int32_t kFileSlots = 4;        // the system uses slots 0 and 1
constexpr int32_t kListMaxEntries = 799; // list table slots 1..799 hold a folder listing

struct FileState {
  std::FILE* handle[kFileSlots] = {};
  int32_t input = -1;   // selected input slot, -1 for none
  int32_t output = -1;  // selected output slot, -1 for none (printing goes to the screen)
  int32_t eof = 0;      // -1 after a line read reached the end of the input
};

// Every path that reaches the platform has "\" turned into "/".
PlatformText platform_path(std::string_view path);

// The current working directory with "/" separators and one trailing "/".
void compute_base_folder(FixedString& target, std::string_view cwd);

int32_t file_open_read(Core& c, int32_t slot, std::string_view path);   // non-zero on success
int32_t file_open_write(Core& c, int32_t slot, std::string_view path);  // non-zero on success
void file_close(Core& c, int32_t slot);
void file_close_all(Core& c);
void select_input(Core& c, int32_t slot);
void select_output(Core& c, int32_t slot);
void deselect_input(Core& c);
void deselect_output(Core& c);

// The next line of the selected input without its CR LF; sets c.files.eof. A bare LF stays in
// the line; a line longer than the capacity goes on as the next line.
FixedString& read_line(Core& c);
void write_bytes(Core& c, const void* data, int64_t count);

// Reads up to count bytes from offset into dest: -1 when the path is empty or the file cannot be
// opened, else 0. The number of bytes actually read goes to *got when given.
int32_t read_file(Core& c, std::string_view path, int64_t offset, int64_t count, void* dest,
                  int64_t* got = nullptr);
int32_t file_exists(Core& c, std::string_view path);  // -1 when it can be opened for reading
int64_t file_size(Core& c, std::string_view path);    // -1 when it cannot be opened
void file_delete(Core& c, std::string_view path);
void file_copy(Core& c, std::string_view source, std::string_view destination);
// Writes data to path through a temporary file renamed over the old one, so a failed save
// never leaves a half-written file. Returns false (the old file untouched) on any failure.
bool file_write_safely(std::string_view path, const void* data, int64_t count);
// Deletes the temporaries that saves interrupted by a crash or a kill left below folder (a few
// levels deep); returns how many. Call only while no other process saves there.
int32_t remove_interrupted_saves(std::string_view folder);
// Reads a whole file into out, at most max bytes: false, with out empty, when it is missing,
// unreadable or bigger (a huge file cannot exhaust memory).
// In the stand-alone player a scrambled asset reads unscrambled (core/scramble.h).
bool read_whole_file(std::string_view path, std::vector<uint8_t>& out, int64_t max);
// The bytes as they are on disk.
bool read_whole_file_raw(std::string_view path, std::vector<uint8_t>& out, int64_t max);

FixedString& folder_part(Core& c, std::string_view path);
FixedString& file_part(Core& c, std::string_view path);
int32_t list_folder(Core& c, std::string_view folder, std::string_view pattern);
void delete_matching(Core& c, std::string_view folder, std::string_view pattern);
FixedString& plain_name(Core& c, std::string_view text);
void normalise_line_ends(Core& c, std::string_view path);

// Lines of a text held in memory. A line ends at CR LF, at a line feed or at a carriage return
// alone (files from every system read the same). The last line may end at the end of the buffer.
struct LineCursor {
  const char* data;
  int64_t size;
  int64_t pos = 0;

  bool at_end() const { return pos >= size; }
  // The next line (without its line end); the cursor moves past the line end.
  std::string_view next() {
    const int64_t start = pos;
    int64_t end = start;
    while (end < size && data[end] != '\n' && data[end] != '\r') ++end;
    pos = end;
    if (pos < size && data[pos] == '\r') ++pos;
    if (pos < size && data[pos] == '\n' && (pos == end || data[end] == '\r')) ++pos;
    return {data + start, static_cast<size_t>(end - start)};
  }
};

}  // namespace korva
