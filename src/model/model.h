// The element model's public face: the element table and its records, the fields and their
// conversions into engine units, project and element group files with their embedded brains,
// the ".col" companion, and the installation's state files ("korva.ini", "data/curpaths.ini").
//
// Element numbering: elements are numbered from 0 everywhere (instance record i, kind-1 brain
// parameters, the "@i" brain sections of files, the current element). The element table of the
// Core has 257 slots and keeps slot 0 empty, so element i is held in c.element_table[i + 1];
// always reach it through element_record().
//
// Paths: in memory every path is absolute (base folder + relative path); files hold them with
// the base folder written as "./".
//
// Buffers: loading a project or element file reads the whole file into the second general file
// buffer (Pool::FileBuffer2); saving builds the file in the general file buffer (Pool::FileBuffer).
// The small state files use buffers of their own.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/core.h"
#include "model/instance_record.h"

namespace korva {

constexpr int32_t kMaxElements = 256;
constexpr int32_t kMaxParamEntries = 129;  // brain parameter entries read from field 35

enum ElementType : int32_t {
  kTypeCamera = 0,
  kType3dShape = 1,
  kTypeFlatShape = 2,
  kTypeShadow = 3,
  kTypeSprite = 5,
  kTypeFrame = 6,
  kTypeBackground = 7,
  kTypeCounter = 8,
  kTypeTrack = 9,
  kTypeLight = 10,
  kTypeVisual = 11,
  kTypeBoundary = 12,
  kType13 = 13,  // loaded entry by entry until its loader reports the end; no display name
};

// Element record fields, numbered from 1 (delimiter "|").
namespace fld {
constexpr int32_t kName = 1, kAsset = 2, kSound = 3, kBrain = 4;
constexpr int32_t kPosX = 5, kPosSpreadX = 8;
constexpr int32_t kRotX = 11, kRotSpreadX = 14;
constexpr int32_t kVelX = 17, kVelSpreadX = 20;
constexpr int32_t kSpinX = 23, kSpinSpreadX = 26;
constexpr int32_t kCredits = 29, kCreditsSpread = 30;
constexpr int32_t kId = 31, kCollisionRadius = 32, kOptions = 33, kBoundaryOption = 34;
constexpr int32_t kParams = 35, kType = 36, kScreen = 37, kAspect = 38, kSoundOptions = 39;
constexpr int32_t kSignature = 40;
constexpr int32_t kScaleX = 42, kScaleY = 43, kScaleZ = 44;
constexpr int32_t kPanelPos1 = 45, kPanelPos2 = 46, kNetFlags = 47, kMachine = 48;
constexpr int32_t kGroupKey = 49, kGroupFlag = 50;
}  // namespace fld

// Lines of "data/curpaths.ini", numbered from 1.
constexpr int32_t kPathLines = 23;
namespace pth {
constexpr int32_t k3dShape = 1, kBackground = 2, kBrain = 3, kSprite = 4, k3dsFile = 5;
constexpr int32_t kElementGroup = 6, kFrame = 8, kImage = 9, kProject = 10, kVisual = 11;
constexpr int32_t kSound = 12, kCounter = 15, kGroundMap = 16;
constexpr int32_t kExeTitle = 17;   // the stand-alone executable's title, not a path
constexpr int32_t kFirstImage = 18; // six image paths, lines 18..23
}  // namespace pth

// Lines of the editor state file "korva.ini", numbered from 1.
constexpr int32_t kStateLines = 20;
namespace est {
constexpr int32_t kReserved1 = 1;    // an editor run runs with 0 here
constexpr int32_t kScale = 2;
constexpr int32_t kBrainEditor = 4;  // four values, lines 4..7
constexpr int32_t kBrainMode = 8;    // four values, lines 8..11
constexpr int32_t kExeMode = 14;     // reported by exemode
constexpr int32_t kRunOption = 15;   // forced to 1 during a run
constexpr int32_t kKitIndex = 16;    // project browser's resource kit
constexpr int32_t kBrowserPage = 17;
constexpr int32_t kReservedText = 18;  // text line (Model::state_text)
constexpr int32_t kDescription = 19;   // text line: the project description (Model::description)
}  // namespace est
// The editor state a system starts with (the values of a missing "korva.ini"), by line.
constexpr std::array<int32_t, kStateLines + 1> kEditorStateDefaults = {
    0, 0, 512, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 0};

// Settings kept with a project: the settings line of the project file and the six values of
// the companion file, plus the fog values every project load resets.
struct ProjectSettings {
  FixedString background;        // 3D background image path (absolute in memory)
  int32_t repetitions = 1;       // background image repetitions, a power of two
  // Third value of the settings line, kept and passed on as text: the project's list of
  // network-shared variables (comma-separated items).
  FixedString shared_variables;
  int32_t clip_distance = 30;
  int32_t screen_p = 0;
  int32_t screen_q = 0;
  int32_t screen_r = 0;
  int32_t field_of_view = 100;
  int32_t fog_start = 10240;
  int32_t fog_end = 15360;
  uint32_t fog_colour = 0xFF000000u;  // opaque black
};

// The state the system keeps beside the element table. One per system; tests make a fresh one.
struct Model {
  int32_t last_index = -1;  // index of the last element; -1 for an empty table
  int32_t current = 0;      // the element the editors work on
  int32_t load_first = 0;   // range of element indices for loading and saving groups
  int32_t load_last = 0;

  bool run_flag = false;    // a project is being run (not edited): random spreads apply
  bool standalone = false;  // the process is the stand-alone player
  uint32_t brain_counter = 1;  // next private brain file name

  FixedString description;  // of the current project; also line 19 of the editor state
  // Why the last project file read looks damaged (no element records, or fewer than its count
  // line says); empty when it read whole. A damaged project is neither run nor saved over.
  std::string load_problem;
  ProjectSettings project;

  FixedString paths[kPathLines + 1];  // lines 1..23 of "data/curpaths.ini"; [0] unused
  FixedString track_path;             // default track, set by read_paths, not stored
  std::array<int32_t, kStateLines + 1> state = kEditorStateDefaults;  // lines 1..20; [0] unused
  FixedString state_text;             // line 18 of the editor state, kept as read

  // Called by insert after the records moved, so the engine can shift its per-element data
  // the same way (elements at position and above move up by one).
  std::function<void(int32_t position)> shift_element_data;
};

std::unique_ptr<Model> model_create();

// ---- Element table ----
FixedString& element_record(Core& c, int32_t index);  // element index's slot (index + 1)
inline int32_t element_count(const Model& m) { return m.last_index + 1; }
// Field n of element index's record, as text (in ResultString) and as values.
FixedString& element_field(Core& c, int32_t index, int32_t field);
int32_t element_field_int(Core& c, int32_t index, int32_t field);     // str_to_int
int32_t element_field_fixed3(Core& c, int32_t index, int32_t field);  // str_to_fixed3
void element_field_set(Core& c, int32_t index, int32_t field, std::string_view value);
int32_t element_type(Core& c, int32_t index);
bool is_plain_integer_type(int32_t type);  // SPRITE and COUNTER fields are screen units

FixedString& element_name(Core& c, int32_t index);  // field 1 before the first "(", trimmed
FixedString& type_name(Core& c, int32_t type);      // empty for 4, 13 and unknown types
// Field 1 becomes name, followed by " (" and the old note when field 1 had one.
void rename_element(Core& c, int32_t index, std::string_view name);
FixedString& file_title(Core& c, std::string_view path);  // "cars/jeep.v3d" gives "JEEP"

// Inserts record at position (clamped to 0..count) and keeps kind-1 references and the load
// range pointing at the same elements. Returns false, changing nothing, when the table is full.
bool insert_element(Core& c, Model& m, std::string_view record, int32_t position);
// Every kind-1 brain parameter that names old_index is made to name new_index.
void retarget_references(Core& c, const Model& m, int32_t old_index, int32_t new_index);

// ---- Brain parameter list (field 35), entries numbered from 0 ----
int32_t param_count(Core& c, int32_t index);
int32_t param_kind(Core& c, int32_t index, int32_t entry);
FixedString& param_value(Core& c, int32_t index, int32_t entry);  // the value text
int32_t param_target(Core& c, int32_t index, int32_t entry);
void param_count_set(Core& c, int32_t index, int32_t count);
void param_kind_set(Core& c, int32_t index, int32_t entry, int32_t kind);
void param_value_set(Core& c, int32_t index, int32_t entry, std::string_view value);
void param_target_set(Core& c, int32_t index, int32_t entry, int32_t target);

// Resolves the value text of a kind-7 parameter (a name) to its 32-bit value.
using ResolveName = std::function<int32_t(std::string_view text)>;
// The 32-bit value that entry stores in the instance record (kind 7 through resolve; 0 without).
int32_t param_stored_value(Core& c, int32_t index, int32_t entry, const ResolveName& resolve);
// Writes every parameter of element index into its instance record; entries whose target lies
// outside the record are skipped.
void store_brain_parameters(Core& c, int32_t index, const ResolveName& resolve);

// ---- Conversions between file values (thousandths) and engine units ----
// Results beyond the 32-bit range saturate.
int32_t position_from_file(int32_t thousandths);  // x 512
int32_t angle_from_file(int32_t thousandths);     // x 512 / 1000
int32_t velocity_from_file(int32_t thousandths);  // x 17067 / 1000
int32_t spin_from_file(int32_t thousandths);      // x 1024 / 10000
int32_t position_to_file(int32_t v);              // / 512
int32_t angle_to_file(int32_t v);                 // x 1000 / 512
int32_t velocity_to_file(int32_t v);              // x 1000 / 17067
int32_t spin_to_file(int32_t v);                  // x 10000 / 1024

// The start value of a numeric field in engine units (fields 5..28 converted by their group,
// 29 and 31 integers, 32 the radius magnitude, 42..44 scales with 0 meaning 1000), with the
// random spread applied while a project runs.
int32_t field_start_value(Core& c, const Model& m, int32_t index, int32_t field);
// Fills the record words taken from fields 5..7, 11..13, 17..19, 23..25, 29, 31, 42..44, 32,
// flag bit 0 from field 33, and fields 47 and 48.
void fill_instance_fields(Core& c, const Model& m, int32_t index);
// Rewrites the moved fields of every element from its instance record.
void write_back(Core& c, const Model& m);

// ---- Screen rectangle (field 37), aspects (38), sound options (39) ----
struct ScreenRect {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};
// A 640 x 480 coordinate scaled to a display mode of the given width (800 or 1024).
int32_t scale_to_display(int32_t v, int32_t screen_width);
// Sub-fields 1..4; SPRITE and BACKGROUND rectangles are scaled to the display width.
ScreenRect screen_rect(Core& c, int32_t index, int32_t screen_width);
// Sub-field 5 of a non-camera element: two integers separated by "x".
void screen_pair(Core& c, int32_t index, int32_t& a, int32_t& b);
struct CameraViewport {
  ScreenRect rect;
  int32_t option = 0;      // sub-field 5
  int32_t near_value = 0;  // sub-field 6, before "&"
  int32_t far_value = 0;   // sub-field 6, after "&"
  int32_t last = 0;        // sub-field 7
};
// False when field 37 does not have exactly 7 sub-fields (no viewport set-up).
bool camera_viewport(Core& c, int32_t index, CameraViewport& out);
int32_t aspect_option(Core& c, int32_t index);  // field 38 sub-field 1
int32_t aspect_count(Core& c, int32_t index);   // field 38 sub-field 2
void aspect_count_set(Core& c, int32_t index, int32_t count);
int32_t sound_option(Core& c, int32_t index, int32_t n);  // field 39 sub-field n (1-based)

// ---- Project and element files ----
extern const char* const kDefaultCameraTail;  // the new-project camera record after the base folder
// Loads path into the table, or starts a new project with the default camera when it does not
// exist. Returns the number of elements.
int32_t load_project(Core& c, Model& m, std::string_view path);
// Writes the project file and its companion; false (reported, old files untouched) on failure.
bool save_project(Core& c, Model& m, std::string_view path);
// Inserts the records of an element file at position and loads their brains; returns the
// number of elements inserted, or -1 when the file cannot be read.
int32_t load_element_group(Core& c, Model& m, std::string_view path, int32_t position);
// Writes elements load_first..load_last as an element file with the given description.
bool save_element_group(Core& c, Model& m, std::string_view path, std::string_view description);
FixedString& companion_path(Core& c, std::string_view project_path);  // "x.prj" gives "x.col"
// Gives every element whose brain ends in ".brn" its own private copy.
void copy_brains_to_private(Core& c, Model& m);
FixedString& new_brain_file_name(Core& c, Model& m);

// ---- Installation state ----
void read_paths(Core& c, Model& m);         // "data/curpaths.ini" or the defaults
bool write_paths(Core& c, const Model& m);
void read_editor_state(Core& c, Model& m);  // the paths, then "korva.ini"
bool write_editor_state(Core& c, const Model& m);  // "korva.ini", then the paths

// ---- Resource kits and the erase rule ----
// The text after the ";" of every leading comment line of a project file, trimmed and joined
// with blanks, up to the first line without text after its ";".
std::string project_description(std::string_view path);
// The first line of the kit folder's "descrptn.txt", or "Resource description not found!".
std::string kit_description(std::string_view kit_folder);
// The kits below "projects/" of the base folder: its sub-folders' names, sorted.
std::vector<std::string> resource_kits(std::string_view base_folder);
// Deletes a resource file with what belongs to it: a project's companion ".col", or the
// numbered further aspects ('walk_.pcx' takes 'walk_.002' to 'walk_.999' with it; a numbered
// aspect 'walk_.005' takes itself and the later ones). Files already gone are not reported.
void erase_resource(std::string_view path);

}  // namespace korva
