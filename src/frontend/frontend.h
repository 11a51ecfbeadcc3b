// The front ends' shared library (korva-go and korva-workshop): project operations on a project
// file of an installation (new from a template, list, add, set a field, remove, move, rename,
// saved safely), and starting korva in a mode through "runmode.ini".
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace korva {
struct Core;
struct Model;
}  // namespace korva

namespace korva::frontend {

// An operation's outcome: ok, or one line saying why not.
struct [[nodiscard]] Status {
  bool ok = true;
  std::string error;
  static Status failed(std::string why) { return {false, std::move(why)}; }
};

// ---- Installation and projects ----

// A project of an installation, as the start page lists it.
struct ProjectEntry {
  std::string kit;          // the folder below projects/ (the resource kit)
  std::string path;         // absolute .prj path
  std::string description;  // the project's leading comment lines
};
bool is_installation(const std::string& install_dir);  // it has a data/ folder
// Every .prj below projects/, by kit then file name.
std::vector<ProjectEntry> list_projects(const std::string& install_dir);

// The templates a new project starts from.
struct Template {
  const char* name;         // what the user types: empty, demo, race, levels
  const char* source;       // the project copied, relative to the installation; "" for empty
  const char* description;  // shown beside the name
};
const std::vector<Template>& templates();
// A project name or path: a bare name is projects/NAME/NAME.prj of the installation.
std::string project_path(const std::string& install_dir, const std::string& project);
// Writes a new project at path from the template; refuses to overwrite an existing one.
Status new_project(const std::string& install_dir, const std::string& path, const std::string& template_name);

// ---- Elements ----

// A kind of element the user can add, with the default files a new one gets.
struct ElementKind {
  const char* name;    // what the user types
  int32_t type;        // field 36
  const char* asset;   // field 2, relative to the installation
  const char* screen;  // field 37
};
const std::vector<ElementKind>& element_kinds();
const ElementKind* find_kind(const std::string& name);
const char* kind_name(int32_t type);  // the short name of a type, "" when unknown

// A field the user edits by name. Units are those of the project file: metres, degrees, metres
// per second and degrees per second (whole screen pixels for sprites and counters).
struct FieldInfo {
  const char* name;
  int32_t field;  // 1-based field of the record
  enum Kind { Text, Path, Number, Integer, Flag, Params } kind;
  const char* label;  // shown in the properties panel
};
const std::vector<FieldInfo>& element_fields();
const FieldInfo* find_field(const std::string& name);

struct ElementRow {
  int32_t index = 0;
  std::string name, kind, visual, sound, brain;  // files relative to the installation
  int32_t type = 0;
  bool active = false;
};

// An open project: the element table of one project file, edited in memory and saved whole.
// Every edit validates its input and changes nothing when it fails.
class Project {
 public:
  explicit Project(std::string install_dir);
  ~Project();
  Project(const Project&) = delete;
  Project& operator=(const Project&) = delete;

  // Reads path. A missing file or one that reads damaged is refused (a damaged one would lose
  // its unread end when saved).
  Status open(const std::string& path);
  void start_new();  // a new unsaved project: the default camera alone
  Status save();  // over the file it was opened from, through a temporary file
  Status save_as(const std::string& path);
  const std::string& path() const { return path_; }
  bool modified() const { return modified_; }
  std::string description() const;
  void set_description(const std::string& text);

  int32_t count() const;
  std::vector<ElementRow> list();
  ElementRow row(int32_t index);
  // Adds an element of the kind at position (-1: at the end) with the kind's default files and
  // a brain that does nothing; the new index goes to *index.
  Status add(const std::string& kind, const std::string& name, int32_t position, int32_t* index);
  // Removes an element; brain parameters that named it are cleared to -1 (no element), those
  // naming later elements follow them down.
  Status remove(int32_t index);
  // Moves an element to position; references to every element follow.
  Status move(int32_t index, int32_t position);
  Status rename(int32_t index, const std::string& name);
  // Sets a field by name (see element_fields()) from what the user typed; numbers are checked
  // and written in the file's format.
  Status set_field(int32_t index, const std::string& field, const std::string& value);
  std::string field(int32_t index, const std::string& field);  // as the user edits it
  // The description of the element's brain: the comments of its first lines.
  std::string brain_description(int32_t index);
  // Brain parameter entries as "kind/value/target" each.
  std::vector<std::string> params(int32_t index);

  // The whole table at one moment, for undo and redo of the front end's own edits.
  struct Snapshot {
    std::vector<std::string> records;
    std::string description;
    std::vector<uint8_t> matrix;  // the collision matrix
  };
  Snapshot snapshot() const;
  void restore(const Snapshot& s);  // the project then counts as changed

  // What the model reported while loading or saving (message box texts).
  const std::vector<std::string>& messages() const { return messages_; }
  const std::string& install_dir() const { return install_dir_; }

 private:
  Status check_index(int32_t index) const;
  void clear_references(int32_t index);
  void configure_brain(int32_t index);
  void matrix_insert(int32_t position);
  void matrix_remove(int32_t index);
  std::string relative(const std::string& path) const;

  std::string install_dir_;  // without a trailing "/"
  std::string path_;
  bool modified_ = false;
  std::unique_ptr<Core> core_;
  std::unique_ptr<Model> model_;
  std::vector<std::string> messages_;
};

// ---- Starting korva in a mode ----

// The five lines of "runmode.ini", CR LF after each: project, mode, element, two unused.
std::string runmode_text(const std::string& project, int32_t mode, int32_t element);
Status write_runmode(const std::string& install_dir, const std::string& project, int32_t mode, int32_t element);

// The korva executable to start: the explicit one, $KORVA_EXE, the one beside own_executable,
// else "korva" looked up on PATH (returned without a folder).
std::string find_korva(const std::string& explicit_path, const std::string& own_executable);

using Environment = std::vector<std::pair<std::string, std::string>>;

struct RunResult {
  bool started = false;
  int32_t exit_status = -1;  // the child's exit status when it exited
  int32_t signal = 0;        // the signal that ended it, if any
  std::string error;
};
// Starts korva in folder with the environment changes and waits; its output goes to ours.
RunResult start_and_wait(const std::string& korva, const std::string& folder, const Environment& environment);

// How a finished korva ended for the user: its exit, and for an editor run (mode 1) the run
// marker "temp/wasok.dat", which korva writes last and only when the run ended normally.
struct Outcome {
  int32_t status = 0;  // 0 only when the run ended normally
  std::string reason;  // why not, one line; empty when it did
};
enum class Marker { Expected, NotUsed };
Outcome judge_run(const RunResult& run, Marker marker, const std::string& install_dir);
// Removes the marker of an earlier run before a mode-1 run; false when it stays.
bool clear_run_marker(const std::string& install_dir);

// A korva started without waiting, its output (stdout and stderr together) collected, for a
// front end that keeps drawing while the mode runs.
class Launch {
 public:
  Launch() = default;
  ~Launch();  // a korva still running is ended
  Launch(const Launch&) = delete;
  Launch& operator=(const Launch&) = delete;

  // Starts program (korva, or another tool given its arguments) in folder.
  Status start(const std::string& korva, const std::string& folder, const Environment& environment,
               const std::vector<std::string>& args = {});
  // Reads what is there and checks whether korva ended; true once it has.
  bool poll();
  void kill();  // ends a korva that hangs
  bool running() const { return pid_ > 0; }
  const std::string& output() const { return output_; }
  const RunResult& result() const { return result_; }

 private:
  void read_output();
  pid_t pid_ = -1;
  int fd_ = -1;
  std::string output_;
  RunResult result_;
};

}  // namespace korva::frontend
