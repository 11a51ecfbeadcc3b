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
struct PreviewDevice;
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
  // The parameters a user sets ("user" declarations of the brain), as the parameter panel
  // shows them: entry in the configuration, type (1 an element, 2 a whole number, 3 metres,
  // 4 degrees, 5 metres per second, 6 revolutions per minute, 0 a number), the declared name,
  // the value text and the help the brain gives.
  struct BrainParam {
    int32_t entry = 0, type = 0;
    std::string name, value, help;
  };
  std::vector<BrainParam> brain_params(int32_t index);
  // Sets the value of a configuration entry, checked for its type (an element must exist).
  Status set_param(int32_t index, int32_t entry, const std::string& value);
  // Adds a copy of an element right after it, with a brain file of its own and the original's
  // collision codes; the copy's index goes to *index.
  Status duplicate(int32_t index, int32_t* index_out);
  // The brain file the element runs (absolute): the workshop's copy of it, which the project
  // embeds when saved.
  std::string brain_path(int32_t index);
  // Takes up a brain file changed outside (by the user's editor): the parameters are rebuilt
  // from its header when the header changed, and the project counts as changed.
  Status brain_changed(int32_t index);

  // The collision code of a pair of elements, 0 (never collide) to 11.
  int32_t collision(int32_t a, int32_t b) const;
  Status set_collision(int32_t a, int32_t b, int32_t code);

  // The project's own settings by name (see project_settings()), as the user edits them.
  std::string setting(const std::string& name) const;
  Status set_setting(const std::string& name, const std::string& value);

  // The whole table at one moment, for undo and redo of the front end's own edits.
  struct Snapshot {
    std::vector<std::string> records;
    std::string description;
    std::vector<uint8_t> matrix;  // the collision matrix
    std::vector<std::string> settings;  // by project_settings() order
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
  Status apply_setting(const std::string& name, const std::string& value);

  std::string install_dir_;  // without a trailing "/"
  std::string path_;
  bool modified_ = false;
  std::unique_ptr<Core> core_;
  std::unique_ptr<Model> model_;
  std::vector<std::string> messages_;
  uint32_t first_brain_ = 0;  // the private brain file numbers this project takes from here
};

// The codes of the collision matrix: 0 never collide, 1..11 a channel.
constexpr int32_t kCollisionCodes = 12;
// The colour a code is drawn in, as the engine's collision display shows it.
void collision_colour(int32_t code, uint8_t& r, uint8_t& g, uint8_t& b);

// A setting kept with the project rather than with an element.
struct SettingInfo {
  const char* name;  // what the user types
  const char* label;
  const char* help;
};
const std::vector<SettingInfo>& project_settings();

// ---- Pickers ----

// What a picker offers: the files of folders below the installation with given extensions.
enum class PickKind { Visual, Sound, Image, Brain };
// The files offered for a field ("visual", "sound", "brain", or the setting "background") of an
// element of the given type, relative to the installation and sorted; a visual picker offers
// what the kind shows (visuals for visuals, images for sprites, ...).
std::vector<std::string> pick_choices(const std::string& install_dir, const std::string& field, int32_t type);
PickKind pick_kind(const std::string& field, int32_t type);
// A thumbnail of a file into at most width x height RGB bytes: images decoded by the engine's
// readers, visuals and models rendered by the engine's 3D device (when device is given), their
// "./" paths taken from the installation as korva does. False when the file gives no picture.
struct Thumbnail {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;
};
bool make_thumbnail(const std::string& install_dir, const std::string& path, PreviewDevice* device, int32_t width,
                    int32_t height, Thumbnail& out);
// One line about a file a picture cannot show: a brain's description, a sound's length.
std::string file_summary(const std::string& path);

// ---- Recent projects ----

// The file of recently opened projects: $XDG_CONFIG_HOME/korva/recent, else
// ~/.config/korva/recent.
std::string recent_file();
// The recent project paths, newest first, those that no longer exist left out.
std::vector<std::string> recent_projects();
// Puts path first in the list (at most ten are kept); false when the file cannot be written.
bool remember_project(const std::string& path);

// ---- The user's own text editor ----

// The command that edits a file: $VISUAL, else $EDITOR, else xdg-open.
std::string text_editor();

// ---- Packaging ----

// Writes the level list multilev/NAME.mlv that the builder makes a stand-alone game from: the
// projects in order (the first is where the game starts), each switched on, the other rows of
// the 500 fresh. NAME is letters, digits, "_" and "-". The list's path goes to *path.
Status write_level_list(const std::string& install_dir, const std::string& name,
                        const std::vector<std::string>& projects, std::string* path = nullptr);

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
  // Lets the program run on by itself (a text editor the user still works in); its output is
  // no longer read.
  void detach();
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
