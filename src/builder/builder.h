// The stand-alone builder and the multi-level player: the level list and its files, the build
// of a stand-alone game folder, the korva-player executable copy with its bundled libraries,
// and the chain of levels that a stand-alone folder plays.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/system.h"

namespace korva {

struct Core;

constexpr int32_t kLevelRows = 500;
constexpr int32_t kWindowNameChars = 32;
// Each level of a saved game: level number, frame rate, the instance records, the globals.
constexpr int64_t kSavedGameHeaderBytes = 8;
constexpr int64_t kSavedGameBytes = kSavedGameHeaderBytes + 256 * 1024 + 2048 * 4;
// The exit codes a level ends with besides a level number.
constexpr int32_t kExitResume = -4;
constexpr int32_t kExitToSystem = -3;
constexpr int32_t kExitToEndScreen = -2;
constexpr int32_t kExitStop = int32_t(0x80000000u);

// ---- The level list ----
// 500 rows "loading image|load complete image|project|switch|exit option"; paths absolute in
// memory, the base folder written as "./" in files.
using LevelRows = std::vector<std::string>;

std::string fresh_level_row(Core& c);
LevelRows fresh_level_rows(Core& c);  // fresh rows, the first one switched on
std::string level_list_default_path(Core& c);  // "data/multilev.ini" below the base folder
// An empty path means the working list. A missing or unreadable file gives fresh rows; a short
// file is filled up with fresh rows, longer lines are cut to a string's capacity.
LevelRows load_level_list(Core& c, std::string_view path);
bool save_level_list(Core& c, const LevelRows& rows, std::string_view path);
void toggle_row(Core& c, LevelRows& rows, int32_t row);
bool row_switched_on(Core& c, const std::string& row);
// The stand-alone list's line for a row: "||" when off, else the two image names and field 5.
std::string standalone_list_line(Core& c, const std::string& row);

// ---- The build ----
struct BuildOptions {
  std::string list;         // the level list; empty: the working list "data/multilev.ini"
  std::string output;       // the stand-alone folder; empty: "korvaexe/" below the base folder
  std::string player;       // the korva-player executable; empty: beside this program
  std::string window_name;  // cut to 32 characters
  bool confirm = true;      // ask "Executable compilation. Please confirm:" first
};
struct BuildResult {
  bool done = false;            // the folder was made (false: aborted, nothing on, or failed)
  std::string error;            // why not, when it failed
  std::vector<int32_t> levels;  // level numbers written
  std::vector<std::string> skipped;  // projects left out (brains that do not compile)
  int32_t files_copied = 0;
  bool network = false;         // netmode.ini written
  std::vector<std::string> libraries;  // bundled into lib/
};
BuildResult build_standalone(System& s, const BuildOptions& options);

// The path of the korva-player executable beside the running program (or KORVA_PLAYER).
std::string default_player_path();
// Copies the player as dest with every title placeholder overwritten by the window name.
bool copy_player_executable(std::string_view player, std::string_view dest, std::string_view window_name);
// The shared libraries the player needs beyond the C library and the system's GL, from ldd.
std::vector<std::string> player_libraries(std::string_view executable, std::string& error);
// The libraries the player loads only when it needs them (FFmpeg's, for videos) and what they
// need, as player_libraries gives them; empty on a machine without them.
std::vector<std::string> on_demand_libraries(std::string& error);
// Parses ldd's output into the paths of the libraries to bundle (without the excluded ones).
std::vector<std::string> libraries_from_ldd(std::string_view ldd_output);
bool library_excluded(std::string_view soname);
// A bundled library looks for its own dependencies beside itself: its run path (when it has
// one, which would send the search to the build machine's folders) becomes "$ORIGIN". False
// when the bytes are not a 64-bit ELF file whose run path could be changed.
bool library_runpath_to_origin(std::vector<uint8_t>& elf);

// ---- Mode 6: the self-executable editor ----
void self_executable_editor(System& s);

// ---- The multi-level player ----
// The whole chain of levels of the folder; returns the last exit code.
int32_t run_level_chain(System& s);
// Writes a saved game; false (the old file untouched) when it cannot be written.
bool save_game(System& s, std::string_view file_name, int32_t level);
// Reads a saved game of the given level back into the running project: false, changing
// nothing, when the file is missing, of another size or of another level.
bool load_game(System& s, std::string_view file_name, int32_t level);
// The level number a saved game was made in; 0 when the file is not a saved game.
int32_t saved_game_level(Core& c, std::string_view file_name);
std::string saved_game_path(Core& c, int32_t game);  // "curr" + game + ".dat" in the base folder

}  // namespace korva
