// The front end's pieces: reading a command line into a request, resolving the project,
// writing "runmode.ini" and starting korva in the installation folder.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace korva::go {

struct Request {
  std::string install_dir;   // the installation folder (holds data/)
  std::string project;       // absolute project path; empty for modes without a project
  int32_t mode = 1;
  int32_t element = 0;
  bool play = false;         // the stand-alone folder: no runmode.ini, korva runs in korvaexe/
  std::string korva;         // explicit korva executable, or empty
  std::vector<std::pair<std::string, std::string>> environment;  // set for the child only
};

// Parses the arguments after the program name. On failure returns false with a message in
// `error`; `--help` returns false with an empty error and sets `help`.
bool parse_command_line(const std::vector<std::string>& args, Request& request, std::string& error,
                        bool& help);
const char* help_text();

// The project path for a name or path: an existing path as given (relative to the current
// folder, then to the installation); a bare name is projects/NAME/NAME.prj.
std::string resolve_project(const std::string& install_dir, const std::string& project);

// The five lines of "runmode.ini", CR LF after each.
std::string runmode_text(const Request& request);
bool write_runmode(const Request& request, std::string& error);

// The korva executable to start: the explicit one, $KORVA_EXE, the one beside this program,
// else "korva" looked up on PATH (returned without a folder).
std::string find_korva(const std::string& explicit_path, const std::string& own_executable);

struct RunResult {
  bool started = false;
  int32_t exit_status = -1;  // the child's exit status when it exited
  int32_t signal = 0;        // the signal that ended it, if any
  std::string error;
};
RunResult start_and_wait(const std::string& korva, const std::string& folder,
                         const std::vector<std::pair<std::string, std::string>>& environment);

}  // namespace korva::go
