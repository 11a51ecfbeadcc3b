// The front end's pieces: reading a command line into a request, resolving the project,
// writing "runmode.ini", starting korva in the installation folder and judging how it ended.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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

// How a finished korva ended for the user: its exit, and for an editor run (mode 1) the run
// marker "temp/wasok.dat", which korva writes last and only when the run ended normally.
struct Outcome {
  int32_t status = 0;  // the front end's exit status: 0 only when the run ended normally
  std::string reason;  // why not, one line; empty when it did
};
enum class Marker { Expected, NotUsed };
Outcome judge_run(const RunResult& run, Marker marker, const std::string& install_dir);

// The whole front end: parses `args`, prepares the installation, starts korva, waits and
// returns the exit status. Its own lines go to `out`, failures to `err`; korva's own output
// goes straight through.
int32_t front_end_main(const std::vector<std::string>& args, const std::string& own_executable, FILE* out,
                       FILE* err);

}  // namespace korva::go
