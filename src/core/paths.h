// Path initialisation: the folder state and the math tables.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace korva {

struct Core;

// The current folder as the system sees it ("." when it cannot be determined).
std::string current_folder();
// Base folder from cwd; data folder base + "data/" when "runmode.ini" exists in the base
// folder (with the engine file name "engine.dll"), else the base folder; temp path base + "temp.tmp".
void compute_folders(Core& c, std::string_view cwd);
// Reads "sinus.bin", "sinusbig.bin", "atan.bin" and "random.bin" from the data folder into their
// pools. A missing or short table is zero-filled and named in one line on stderr.
void load_math_tables(Core& c);
// Both of the above.
void path_init(Core& c, std::string_view cwd);

// "runmode.ini" of the base folder: project path, mode, current element (a missing file or
// missing lines read as empty and 0).
struct RunMode {
  std::string project;
  int32_t mode = 0;
  int32_t element = 0;
};
RunMode read_runmode(Core& c);
// The same from the bytes of the file.
RunMode parse_runmode(std::string_view text);

}  // namespace korva
