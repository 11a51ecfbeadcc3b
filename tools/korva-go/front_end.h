// The front end's pieces: reading a command line into a request, resolving the project,
// writing "runmode.ini", starting korva in the installation folder and judging how it ended.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "frontend/frontend.h"

namespace korva::go {

struct Request {
  std::string install_dir;   // the installation folder (holds data/)
  std::string project;       // absolute project path; empty for modes without a project
  int32_t mode = 1;
  int32_t element = 0;
  bool play = false;         // the stand-alone folder: no runmode.ini, korva runs in korvaexe/
  std::string play_dir;      // another stand-alone folder to play, absolute; empty: korvaexe/
  std::string korva;         // explicit korva executable, or empty
  std::vector<std::pair<std::string, std::string>> environment;  // set for the child only
  std::vector<std::string> edit;  // a project command and its arguments: no korva is started
};

// Parses the arguments after the program name. On failure returns false with a message in
// `error`; `--help` returns false with an empty error and sets `help`. File names the child
// reads or writes (--screenshot, and KORVA_INPUT or KORVA_SCREENSHOT from our environment) are
// made absolute here, because korva runs in the installation folder, not where the user is.
bool parse_command_line(const std::vector<std::string>& args, Request& request, std::string& error,
                        bool& help);
const char* help_text();

// The project path for a name or path: an existing path as given (relative to the current
// folder, then to the installation); a bare name is projects/NAME/NAME.prj.
std::string resolve_project(const std::string& install_dir, const std::string& project);

// The five lines of "runmode.ini", CR LF after each.
std::string runmode_text(const Request& request);
bool write_runmode(const Request& request, std::string& error);

// Finding, starting and judging korva are the front ends' shared library's.
using frontend::find_korva;
using frontend::judge_run;
using frontend::Marker;
using frontend::Outcome;
using frontend::RunResult;
using frontend::start_and_wait;

// The project commands (new, list, add, set, remove, move): edits the project file without
// starting korva. words holds the command and its arguments.
int32_t project_command(const std::string& install_dir, const std::vector<std::string>& words, FILE* out, FILE* err);

// The whole front end: parses `args`, prepares the installation, starts korva, waits and
// returns the exit status. Its own lines go to `out`, failures to `err`; korva's own output
// goes straight through.
int32_t front_end_main(const std::vector<std::string>& args, const std::string& own_executable, FILE* out,
                       FILE* err);

}  // namespace korva::go
