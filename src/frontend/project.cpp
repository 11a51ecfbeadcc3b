// Project operations for the front ends: a project file opened into a system of its own (Core and
// Model), edited through the element model (insert and retarget, so references follow), and
// saved through the model's safe save.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/core.h"
#include "core/files.h"
#include "editors/editors.h"
#include "frontend/frontend.h"
#include "model/model.h"

namespace korva::frontend {

namespace fs = std::filesystem;

namespace {

constexpr int32_t kMatrixSide = 256;  // the collision matrix of the ".col" companion
// A value no element index can have: a moved element's references wait under it while the table
// shifts around them.
constexpr int32_t kMovingElement = 999999;

// Field 36 values and their defaults. Assets are the installation's default files; field 37 is
// the screen rectangle (or the camera viewport, or a light's type/colour/attenuation).
const std::vector<ElementKind> kKinds = {
    {"camera", kTypeCamera, "cameras/default_.03d", "0/0/639/479/0/20&40/7"},
    {"shape", kType3dShape, "3dshapes/default_.a3d", "0/0/639/479/0x0"},
    {"flat", kTypeFlatShape, "images/jeep001_.pcx", "0/0/639/479/0x0"},
    {"shadow", kTypeShadow, "3dshapes/default_.a3d", "0/0/639/479/0x0"},
    {"sprite", kTypeSprite, "sprites/default_.pcx", "0/0/639/479/0x0"},
    {"frame", kTypeFrame, "frames/default_.pcx", "0/0/639/479/0x0"},
    {"background", kTypeBackground, "bckgrnds/default_.g3d", "0/0/639/479/0x0"},
    {"counter", kTypeCounter, "counters/default_.pcx", "24/16/1000/0/0x0"},
    {"track", kTypeTrack, "tracks/default_.i3d", "0/0/639/479/0x0"},
    {"light", kTypeLight, "visuals/light_.l3d", "3/16777215/1023"},
    {"visual", kTypeVisual, "visuals/default_.v3d", "0/0/639/479/0x0"},
    {"boundary", kTypeBoundary, "grndmaps/default_.m3d", "0/0/639/479/0x0"},
};

const std::vector<FieldInfo> kFields = {
    {"name", fld::kName, FieldInfo::Text, "Name"},
    {"visual", fld::kAsset, FieldInfo::Path, "Visual"},
    {"sound", fld::kSound, FieldInfo::Path, "Sound"},
    {"brain", fld::kBrain, FieldInfo::Path, "Brain"},
    {"x", fld::kPosX, FieldInfo::Number, "Position x (m)"},
    {"y", fld::kPosX + 1, FieldInfo::Number, "Position y (m)"},
    {"z", fld::kPosX + 2, FieldInfo::Number, "Position z (m)"},
    {"pitch", fld::kRotX, FieldInfo::Number, "Rotation x (deg)"},
    {"yaw", fld::kRotX + 1, FieldInfo::Number, "Rotation y (deg)"},
    {"roll", fld::kRotX + 2, FieldInfo::Number, "Rotation z (deg)"},
    {"vx", fld::kVelX, FieldInfo::Number, "Velocity x (m/s)"},
    {"vy", fld::kVelX + 1, FieldInfo::Number, "Velocity y (m/s)"},
    {"vz", fld::kVelX + 2, FieldInfo::Number, "Velocity z (m/s)"},
    {"spinx", fld::kSpinX, FieldInfo::Number, "Spin x (deg/s)"},
    {"spiny", fld::kSpinX + 1, FieldInfo::Number, "Spin y (deg/s)"},
    {"spinz", fld::kSpinX + 2, FieldInfo::Number, "Spin z (deg/s)"},
    {"credits", fld::kCredits, FieldInfo::Integer, "Credits"},
    {"id", fld::kId, FieldInfo::Integer, "Id"},
    {"radius", fld::kCollisionRadius, FieldInfo::Number, "Collision radius (m)"},
    {"active", fld::kOptions, FieldInfo::Flag, "Active"},
    {"params", fld::kParams, FieldInfo::Params, "Brain parameters"},
    {"scalex", fld::kScaleX, FieldInfo::Number, "Scale x"},
    {"scaley", fld::kScaleY, FieldInfo::Number, "Scale y"},
    {"scalez", fld::kScaleZ, FieldInfo::Number, "Scale z"},
};

const std::vector<SettingInfo> kSettings = {
    {"background", "3D background image", "The picture behind the scene while the 3D background is on"},
    {"repetitions", "Background repetitions", "How often the picture repeats around the scene: 1, 2, 4, 8 ..."},
    {"shared", "Network-shared variables",
     "Variables every player of a network game shares: numbers separated by commas, N(COUNT) for a row"},
    {"clip", "Clip distance", "How far the camera sees"},
    {"fov", "Field of view", "The camera's field of view"},
};

// Private brain files are numbered from a start of the project's own, far from the numbers
// korva's own processes take (from 1 up), so that a korva started on the project, another
// workshop or a korva-go command never writes over a brain file this project reads.
constexpr uint32_t kBrainNumbersPerProject = 0x10000;

const std::vector<Template> kTemplates = {
    {"empty", "", "An empty project with a camera"},
    {"demo", "projects/demo/demo.prj", "The demo: a spinning cube, a bouncing ball, a rover on hills"},
    {"race", "projects/race/race.prj", "The race example"},
    {"levels", "projects/levels/level1.prj", "The first level of the two-level example"},
};

// A text the user typed that goes into a record: a delimiter or a line end would split it.
bool unsafe_text(const std::string& s) { return s.find_first_of("|\r\n") != std::string::npos; }

// A decimal number as the project file writes it ("-1.5", "2", "0.125"); at most three
// decimals, within the range of a thousandths value.
bool parse_decimal(const std::string& s, int64_t& thousandths) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  int64_t whole = 0, frac = 0;
  int32_t digits = 0, frac_digits = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) {
    whole = whole * 10 + (s[i] - '0');
    if (whole > 2147483) return false;
  }
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++frac_digits) {
      if (frac_digits >= 3) return false;
      frac = frac * 10 + (s[i] - '0');
    }
  }
  if (i != s.size() || digits + frac_digits == 0) return false;
  for (int32_t k = frac_digits; k < 3; ++k) frac *= 10;
  thousandths = (whole * 1000 + frac) * (negative ? -1 : 1);
  return thousandths >= -2147483647LL && thousandths <= 2147483647LL;
}

std::string format_thousandths(int64_t t) {
  const int64_t a = t < 0 ? -t : t;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%lld.%03lld", t < 0 ? "-" : "", static_cast<long long>(a / 1000),
                static_cast<long long>(a % 1000));
  return buf;
}

bool parse_integer(const std::string& s, int32_t& out) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(s.c_str(), &end, 10);
  if (*end != 0 || errno != 0 || v < -2147483647LL || v > 2147483647LL) return false;
  out = static_cast<int32_t>(v);
  return true;
}

}  // namespace

const std::vector<ElementKind>& element_kinds() { return kKinds; }
const std::vector<FieldInfo>& element_fields() { return kFields; }
const std::vector<Template>& templates() { return kTemplates; }
const std::vector<SettingInfo>& project_settings() { return kSettings; }

void collision_colour(int32_t code, uint8_t& r, uint8_t& g, uint8_t& b) {
  if (code < 0 || code >= kCollisionCodes) code = 0;
  const int32_t v = 64 * code;
  int32_t rgb[3] = {};
  if (code < 4) rgb[0] = 255 - v, rgb[2] = v;
  else if (code < 8) rgb[1] = v - 256, rgb[2] = 511 - v;
  else rgb[0] = v - 512, rgb[1] = 767 - v;
  r = static_cast<uint8_t>(std::clamp(rgb[0], 0, 255));
  g = static_cast<uint8_t>(std::clamp(rgb[1], 0, 255));
  b = static_cast<uint8_t>(std::clamp(rgb[2], 0, 255));
}

const ElementKind* find_kind(const std::string& name) {
  for (const ElementKind& k : kKinds)
    if (name == k.name) return &k;
  return nullptr;
}

const char* kind_name(int32_t type) {
  for (const ElementKind& k : kKinds)
    if (k.type == type) return k.name;
  return "";
}

const FieldInfo* find_field(const std::string& name) {
  for (const FieldInfo& f : kFields)
    if (name == f.name) return &f;
  return nullptr;
}

bool is_installation(const std::string& install_dir) {
  std::error_code ec;
  return !install_dir.empty() && fs::is_directory(fs::path(install_dir) / "data", ec);
}

std::vector<ProjectEntry> list_projects(const std::string& install_dir) {
  std::vector<ProjectEntry> out;
  std::error_code ec;
  for (const std::string& kit : resource_kits(install_dir + "/")) {
    std::vector<std::string> files;
    for (fs::directory_iterator it(fs::path(install_dir) / "projects" / kit, ec), end; !ec && it != end;
         it.increment(ec)) {
      if (it->path().extension() == ".prj" && it->is_regular_file(ec)) files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    for (const std::string& f : files) out.push_back({kit, f, project_description(f)});
  }
  return out;
}

std::string project_path(const std::string& install_dir, const std::string& project) {
  std::string p = project;
  std::replace(p.begin(), p.end(), '\\', '/');
  if (p.find('/') != std::string::npos || p.ends_with(".prj")) {
    std::error_code ec;
    if (fs::path(p).is_absolute() || fs::exists(p, ec)) return fs::absolute(p).lexically_normal().string();
    return (fs::path(install_dir) / p).lexically_normal().string();
  }
  return (fs::path(install_dir) / "projects" / p / (p + ".prj")).string();
}

Status new_project(const std::string& install_dir, const std::string& path, const std::string& template_name) {
  const Template* t = nullptr;
  for (const Template& candidate : kTemplates)
    if (template_name == candidate.name) t = &candidate;
  if (!t) return Status::failed("unknown template '" + template_name + "' (empty, demo, race or levels)");
  if (!is_installation(install_dir)) return Status::failed(install_dir + " is not a Korva installation");
  if (!path.ends_with(".prj")) return Status::failed("a project file name ends in .prj: " + path);
  if (unsafe_text(path)) return Status::failed("a project path cannot hold \"|\" or line breaks");
  std::error_code ec;
  if (fs::exists(path, ec)) return Status::failed(path + " exists already");
  fs::create_directories(fs::path(path).parent_path(), ec);
  if (ec) return Status::failed("cannot create the folder " + fs::path(path).parent_path().string() + ": " + ec.message());

  Project p(install_dir);
  if (*t->source) {
    Status opened = p.open(install_dir + "/" + t->source);
    if (!opened.ok) return opened;
  } else {
    p.start_new();
    p.set_description("New project");
  }
  return p.save_as(path);
}

Project::Project(std::string install_dir) : install_dir_(std::move(install_dir)) {
  while (install_dir_.size() > 1 && install_dir_.back() == '/') install_dir_.pop_back();
  core_ = core_create();
  model_ = model_create();
  str_set(*core_->base_folder, install_dir_ + "/");
  str_set(*core_->data_folder, install_dir_ + "/data/");
  core_->ui.message_box = [this](std::string_view text, std::string_view, std::string_view) {
    messages_.emplace_back(text);
    return 1;
  };
  core_->ui.status = [](std::string_view) {};
  // A start of its own (see kBrainNumbersPerProject) whose first file does not exist yet.
  uint64_t seed = static_cast<uint64_t>(getpid()) * 0x9E3779B97F4A7C15ull ^
                  static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int32_t tries = 0; tries < 64; ++tries) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    // 0x10000000 and up: korva's own numbering would need that many brains to get there.
    first_brain_ = 0x10000000u + static_cast<uint32_t>((seed >> 33) % 0xEFFFu) * kBrainNumbersPerProject;
    char name[32];
    std::snprintf(name, sizeof name, "/brains/%08X.bra", first_brain_);
    std::error_code ec;
    if (!fs::exists(install_dir_ + name, ec)) break;
  }
  model_->brain_counter = first_brain_;
}

// The private brain files this project wrote: the saved project holds their text, so they go.
Project::~Project() {
  std::error_code ec;
  for (uint32_t n = first_brain_; n != model_->brain_counter && n - first_brain_ < kBrainNumbersPerProject; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "/brains/%08X.bra", n);
    fs::remove(install_dir_ + name, ec);
  }
}

Status Project::open(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return Status::failed(path + " does not exist");
  messages_.clear();
  load_project(*core_, *model_, path);
  if (!model_->load_problem.empty()) {
    const std::string why = model_->load_problem;
    load_project(*core_, *model_, "");  // leave an empty project, not half of a damaged one
    path_.clear();
    return Status::failed(path + " cannot be opened: " + why);
  }
  path_ = path;
  modified_ = false;
  str_set(model_->description, project_description(path));
  return {};
}

void Project::start_new() {
  messages_.clear();
  load_project(*core_, *model_, "");  // no file: the table starts with the default camera
  // The default camera's record names element 2 in its parameters, which a new project does
  // not have: the element that takes that place later would be named without the user asking.
  element_field_set(*core_, 0, fld::kParams, "0");
  // Its view fills the screen, as a new camera's does.
  element_field_set(*core_, 0, fld::kScreen, find_kind("camera")->screen);
  // The background picture a fresh installation's own new project has.
  const std::string background = install_dir_ + "/bckgrnds/bkgr000_.bmp";
  std::error_code ec;
  if (fs::is_regular_file(background, ec)) str_set(model_->project.background, background);
  // The camera shows that picture behind the scene: without it the screen under the 3D scene
  // is never cleared, and what the counters and sprites drew there stays.
  if (fs::is_regular_file(install_dir_ + "/brains/sky_.brn", ec)) (void)set_field(0, "brain", "brains/sky_.brn");
  path_.clear();
  modified_ = true;
}

Status Project::save() {
  if (path_.empty()) return Status::failed("no project is open");
  return save_as(path_);
}

Status Project::save_as(const std::string& path) {
  const size_t before = messages_.size();
  if (!save_project(*core_, *model_, path)) {
    std::string why = messages_.size() > before ? messages_.back() : std::string("cannot save ") + path;
    std::replace(why.begin(), why.end(), '|', ' ');
    return Status::failed(why);
  }
  path_ = path;
  modified_ = false;
  return {};
}

Project::Snapshot Project::snapshot() const {
  Snapshot s;
  for (int32_t i = 0; i < count(); ++i) s.records.emplace_back(element_record(*core_, i).view());
  s.description = std::string(model_->description.view());
  const uint8_t* table = core_->pool(Pool::ProjectTable);
  s.matrix.assign(table, table + kMatrixSide * kMatrixSide);
  for (const SettingInfo& info : kSettings) s.settings.push_back(setting(info.name));
  return s;
}

void Project::restore(const Snapshot& s) {
  Core& c = *core_;
  for (int32_t i = 0; i < count(); ++i) element_record(c, i).len = 0;
  const int32_t n = std::min<int32_t>(static_cast<int32_t>(s.records.size()), kMaxElements);
  for (int32_t i = 0; i < n; ++i) str_set(element_record(c, i), s.records[size_t(i)]);
  model_->last_index = n - 1;
  str_set(model_->description, s.description);
  if (s.matrix.size() == size_t(kMatrixSide * kMatrixSide))
    std::copy(s.matrix.begin(), s.matrix.end(), c.pool(Pool::ProjectTable));
  for (size_t i = 0; i < s.settings.size() && i < kSettings.size(); ++i) (void)apply_setting(kSettings[i].name, s.settings[i]);
  modified_ = true;
}

std::string Project::description() const { return std::string(model_->description.view()); }

void Project::set_description(const std::string& text) {
  std::string clean;
  for (char ch : text)
    if (ch != '\r' && ch != '\n') clean += ch;
  str_set(model_->description, clean);
  modified_ = true;
}

int32_t Project::count() const { return element_count(*model_); }

std::string Project::relative(const std::string& path) const {
  const std::string base = install_dir_ + "/";
  return path.starts_with(base) ? path.substr(base.size()) : path;
}

ElementRow Project::row(int32_t index) {
  Core& c = *core_;
  ElementRow r;
  r.index = index;
  r.name = std::string(element_name(c, index).view());
  r.type = element_type(c, index);
  r.kind = kind_name(r.type);
  if (r.kind.empty()) r.kind = std::to_string(r.type);
  r.visual = relative(std::string(element_field(c, index, fld::kAsset).view()));
  r.sound = relative(std::string(element_field(c, index, fld::kSound).view()));
  r.brain = relative(std::string(element_field(c, index, fld::kBrain).view()));
  r.active = (element_field_int(c, index, fld::kOptions) & 1) != 0;
  return r;
}

std::vector<ElementRow> Project::list() {
  std::vector<ElementRow> rows;
  for (int32_t i = 0; i < count(); ++i) rows.push_back(row(i));
  return rows;
}

Status Project::check_index(int32_t index) const {
  if (index < 0 || index >= count())
    return Status::failed("there is no element " + std::to_string(index) + " (the project has " +
                          std::to_string(count()) + ")");
  return {};
}

// Rebuilds the collision matrix so that new row/column k is old row/column old_of_new[k]
// (-1: an element with no collisions yet). The project's settings kept in row 254 are written
// from the model at every save, so they need no care here.
static void permute_matrix(Core& c, const std::vector<int32_t>& old_of_new) {
  uint8_t* table = c.pool(Pool::ProjectTable);
  std::vector<uint8_t> old(table, table + kMatrixSide * kMatrixSide);
  const int32_t n = static_cast<int32_t>(old_of_new.size());
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t j = 0; j < n; ++j) {
      const int32_t oi = old_of_new[i], oj = old_of_new[j];
      table[i * kMatrixSide + j] = oi < 0 || oj < 0 ? 0 : old[oi * kMatrixSide + oj];
    }
  }
}

void Project::matrix_insert(int32_t position) {
  std::vector<int32_t> order;
  for (int32_t k = 0; k < count(); ++k) order.push_back(k < position ? k : k == position ? -1 : k - 1);
  permute_matrix(*core_, order);
}

void Project::matrix_remove(int32_t index) {
  std::vector<int32_t> order;
  for (int32_t k = 0; k <= count(); ++k) order.push_back(k < index ? k : k + 1 <= count() ? k + 1 : -1);
  permute_matrix(*core_, order);
}

Status Project::add(const std::string& kind, const std::string& name, int32_t position, int32_t* index) {
  const ElementKind* k = find_kind(kind);
  if (!k) {
    std::string names;
    for (const ElementKind& e : kKinds) names += std::string(names.empty() ? "" : ", ") + e.name;
    return Status::failed("unknown kind '" + kind + "' (" + names + ")");
  }
  if (unsafe_text(name)) return Status::failed("a name cannot hold \"|\" or line breaks");
  if (count() >= kMaxElements) return Status::failed("the project has 256 elements, the most it can hold");
  Core& c = *core_;
  const std::string base = install_dir_ + "/";
  std::string record = "Camera|" + base + kDefaultCameraTail;
  const int32_t at = position < 0 || position > count() ? count() : position;
  if (!insert_element(c, *model_, record, at)) return Status::failed("the project is full");
  matrix_insert(at);
  element_field_set(c, at, fld::kAsset, base + k->asset);
  element_field_set(c, at, fld::kSound, base + "sounds/null_.wav");
  element_field_set(c, at, fld::kBrain, base + "brains/null_.brn");
  element_field_set(c, at, fld::kParams, "0");
  element_field_set(c, at, fld::kType, std::to_string(k->type));
  element_field_set(c, at, fld::kScreen, k->screen);
  element_field_set(c, at, fld::kSignature, "0");
  if (is_plain_integer_type(k->type)) {
    // Sprites and counters count in whole screen pixels.
    for (int32_t f = fld::kPosX; f <= fld::kSpinSpreadX + 2; ++f) element_field_set(c, at, f, "0");
  }
  rename_element(c, at, name.empty() ? std::string(k->name) : name);
  copy_brains_to_private(c, *model_);
  modified_ = true;
  if (index) *index = at;
  return {};
}

void Project::clear_references(int32_t index) {
  Core& c = *core_;
  for (int32_t i = 0; i < count(); ++i) {
    for (int32_t j = 0; j < param_count(c, i); ++j) {
      if (param_kind(c, i, j) == 1 && str_to_int(param_value(c, i, j).view()) == index)
        param_value_set(c, i, j, "-1");
    }
  }
}

Status Project::remove(int32_t index) {
  if (Status s = check_index(index); !s.ok) return s;
  Core& c = *core_;
  clear_references(index);
  const int32_t last = model_->last_index;
  for (int32_t k = index; k < last; ++k) str_set(element_record(c, k), element_record(c, k + 1));
  element_record(c, last).len = 0;
  model_->last_index = last - 1;
  // Upwards, so that a reference moved from k to k - 1 is not moved again.
  for (int32_t k = index + 1; k <= last; ++k) retarget_references(c, *model_, k, k - 1);
  matrix_remove(index);
  modified_ = true;
  return {};
}

Status Project::move(int32_t index, int32_t position) {
  if (Status s = check_index(index); !s.ok) return s;
  if (position < 0 || position >= count())
    return Status::failed("the position must be 0 to " + std::to_string(count() - 1));
  if (position == index) return {};
  Core& c = *core_;
  std::vector<int32_t> order;  // the collision matrix follows the same permutation
  for (int32_t k = 0; k < count(); ++k) order.push_back(k);
  order.erase(order.begin() + index);
  order.insert(order.begin() + position, index);

  // The references are renumbered while the moved record is still in the table, so that its
  // own parameters follow too; then the record leaves its place and is inserted at position.
  retarget_references(c, *model_, index, kMovingElement);
  const int32_t last = model_->last_index;
  for (int32_t k = index + 1; k <= last; ++k) retarget_references(c, *model_, k, k - 1);
  const std::string record(element_record(c, index).view());
  for (int32_t k = index; k < last; ++k) str_set(element_record(c, k), element_record(c, k + 1));
  element_record(c, last).len = 0;
  model_->last_index = last - 1;
  if (!insert_element(c, *model_, record, position)) return Status::failed("the project is full");
  retarget_references(c, *model_, kMovingElement, position);
  permute_matrix(c, order);
  modified_ = true;
  return {};
}

Status Project::rename(int32_t index, const std::string& name) {
  if (Status s = check_index(index); !s.ok) return s;
  if (unsafe_text(name)) return Status::failed("a name cannot hold \"|\" or line breaks");
  if (name.empty()) return Status::failed("a name cannot be empty");
  rename_element(*core_, index, name);
  modified_ = true;
  return {};
}

Status Project::set_field(int32_t index, const std::string& name, const std::string& value) {
  if (Status s = check_index(index); !s.ok) return s;
  const FieldInfo* f = find_field(name);
  if (!f) {
    std::string names;
    for (const FieldInfo& e : kFields) names += std::string(names.empty() ? "" : ", ") + e.name;
    return Status::failed("unknown field '" + name + "' (" + names + ")");
  }
  if (unsafe_text(value)) return Status::failed("a value cannot hold \"|\" or line breaks");
  Core& c = *core_;
  std::string text;
  switch (f->kind) {
    case FieldInfo::Text:
      return rename(index, value);
    case FieldInfo::Path: {
      if (value.empty()) return Status::failed("the " + name + " needs a file");
      const std::string full = fs::path(value).is_absolute() ? value : install_dir_ + "/" + value;
      std::error_code ec;
      if (!fs::is_regular_file(full, ec)) return Status::failed(full + " does not exist");
      text = full;
      break;
    }
    case FieldInfo::Number: {
      int64_t t = 0;
      if (!parse_decimal(value, t)) return Status::failed("'" + value + "' is not a number (up to three decimals)");
      // Sprites and counters keep whole screen pixels in their position fields.
      if (is_plain_integer_type(element_type(c, index)) && f->field < fld::kCredits) {
        if (t % 1000 != 0) return Status::failed("a sprite or counter position is a whole number of pixels");
        text = std::to_string(t / 1000);
      } else {
        text = format_thousandths(t);
      }
      break;
    }
    case FieldInfo::Integer: {
      int32_t v = 0;
      if (!parse_integer(value, v)) return Status::failed("'" + value + "' is not a whole number");
      text = std::to_string(v);
      break;
    }
    case FieldInfo::Flag: {
      int32_t options = element_field_int(c, index, f->field);
      if (value == "1" || value == "yes" || value == "true") options |= 1;
      else if (value == "0" || value == "no" || value == "false") options &= ~1;
      else return Status::failed("active is yes or no");
      text = std::to_string(options);
      break;
    }
    case FieldInfo::Params: {
      // "count/kind/value/target/..." as the file keeps it; each entry checked.
      const std::vector<std::string> parts = fields_split(value, '/');
      int32_t n = 0;
      if (!parse_integer(parts[0], n) || n < 0 || n >= kMaxParamEntries || parts.size() != size_t(1 + 3 * n))
        return Status::failed("parameters are COUNT/KIND/VALUE/TARGET/... with three values per entry");
      for (int32_t j = 0; j < n; ++j) {
        int32_t kind = 0, target = 0;
        if (!parse_integer(parts[1 + 3 * j], kind) || kind < 0 || kind > 7 ||
            !parse_integer(parts[3 + 3 * j], target))
          return Status::failed("parameter " + std::to_string(j) + " needs a kind 0 to 7 and a target number");
      }
      text = value;
      break;
    }
  }
  element_field_set(c, index, f->field, text);
  if (f->field == fld::kBrain) {
    configure_brain(index);
    // The element gets its own copy of a shared brain, so that editing it (in the brain
    // editor or the user's own) never changes the example every project shares.
    copy_brains_to_private(c, *model_);
  }
  modified_ = true;
  return {};
}

// A new brain brings its own parameters: the element's configuration is rebuilt from the
// brain's "user" declarations with their default values, as the brain editor does when a
// header changes, so that the brain runs with its defaults instead of zeros.
void Project::configure_brain(int32_t index) {
  Core& c = *core_;
  const std::string path(element_field(c, index, fld::kBrain).view());
  std::string text;
  const int64_t size = file_size(c, path);
  if (size > 0 && size <= pool_bytes(Pool::FileBuffer)) {
    text.resize(static_cast<size_t>(size));
    int64_t got = 0;
    read_file(c, path, 0, size, text.data(), &got);
    text.resize(static_cast<size_t>(got));
  }
  element_field_set(c, index, fld::kParams, configuration_from_text(text));
  element_field_set(c, index, fld::kSignature, std::to_string(static_cast<int32_t>(header_signature_of_text(text))));
  element_field_set(c, index, fld::kPanelPos1, "0");
  element_field_set(c, index, fld::kPanelPos2, "0");
}

std::string Project::brain_description(int32_t index) {
  if (!check_index(index).ok) return "";
  Core& c = *core_;
  const std::string path(element_field(c, index, fld::kBrain).view());
  const int64_t size = file_size(c, path);
  if (size <= 0 || size > pool_bytes(Pool::FileBuffer)) return "";
  std::string text(static_cast<size_t>(size), '\0');
  int64_t got = 0;
  read_file(c, path, 0, size, text.data(), &got);
  text.resize(static_cast<size_t>(got));
  return korva::brain_description(text);
}

std::string Project::field(int32_t index, const std::string& name) {
  const FieldInfo* f = find_field(name);
  if (!f || !check_index(index).ok) return "";
  Core& c = *core_;
  switch (f->kind) {
    case FieldInfo::Text:
      return std::string(element_name(c, index).view());
    case FieldInfo::Path:
      return relative(std::string(element_field(c, index, f->field).view()));
    case FieldInfo::Flag:
      return (element_field_int(c, index, f->field) & 1) ? "yes" : "no";
    default:
      return std::string(element_field(c, index, f->field).view());
  }
}

std::vector<std::string> Project::params(int32_t index) {
  std::vector<std::string> out;
  if (!check_index(index).ok) return out;
  Core& c = *core_;
  for (int32_t j = 0; j < param_count(c, index); ++j) {
    out.push_back(std::to_string(param_kind(c, index, j)) + "/" + std::string(param_value(c, index, j).view()) +
                  "/" + std::to_string(param_target(c, index, j)));
  }
  return out;
}


Status Project::duplicate(int32_t index, int32_t* index_out) {
  if (Status s = check_index(index); !s.ok) return s;
  if (count() >= kMaxElements) return Status::failed("the project has 256 elements, the most it can hold");
  Core& c = *core_;
  const std::string record(element_record(c, index).view());
  const std::string brain(element_field(c, index, fld::kBrain).view());
  std::vector<uint8_t> text;
  if (!read_whole_file(brain, text, pool_bytes(Pool::FileBuffer)))
    return Status::failed("cannot read the brain file " + brain);
  const int32_t at = index + 1;
  if (!insert_element(c, *model_, record, at)) return Status::failed("the project is full");
  matrix_insert(at);
  // References to later elements moved up with them (the copy's own too); nothing names the copy.
  // The copy's own brain file, so that editing one brain leaves the other alone.
  const std::string name(new_brain_file_name(c, *model_).view());
  if (!file_write_safely(name, text.data(), static_cast<int64_t>(text.size()))) {
    (void)remove(at);
    return Status::failed("cannot write the brain file " + name);
  }
  element_field_set(c, at, fld::kBrain, name);
  // The copy collides as the original does, with everything but the original.
  uint8_t* table = c.pool(Pool::ProjectTable);
  for (int32_t k = 0; k < count(); ++k) {
    if (k == at || k == index) continue;
    const int32_t code = collision(index, k);
    table[std::min(at, k) * kMatrixSide + std::max(at, k)] = static_cast<uint8_t>(code);
  }
  std::string copy_name = std::string(element_name(c, index).view()) + " copy";
  rename_element(c, at, copy_name);
  modified_ = true;
  if (index_out) *index_out = at;
  return {};
}

std::string Project::brain_path(int32_t index) {
  if (!check_index(index).ok) return "";
  return std::string(element_field(*core_, index, fld::kBrain).view());
}

Status Project::brain_changed(int32_t index) {
  if (Status s = check_index(index); !s.ok) return s;
  Core& c = *core_;
  const std::string path = brain_path(index);
  std::vector<uint8_t> bytes;
  if (!read_whole_file(path, bytes, pool_bytes(Pool::FileBuffer)))
    return Status::failed("cannot read the brain file " + path);
  const std::string text(bytes.begin(), bytes.end());
  // The parameters the user set stay unless the brain now declares other ones.
  const int32_t signature = static_cast<int32_t>(header_signature_of_text(text));
  if (signature != element_field_int(c, index, fld::kSignature)) configure_brain(index);
  modified_ = true;
  return {};
}

int32_t Project::collision(int32_t a, int32_t b) const {
  if (a == b || a < 0 || b < 0 || a >= count() || b >= count()) return 0;
  const uint8_t code = core_->pool(Pool::ProjectTable)[std::min(a, b) * kMatrixSide + std::max(a, b)];
  return code < kCollisionCodes ? code : 0;
}

Status Project::set_collision(int32_t a, int32_t b, int32_t code) {
  if (Status s = check_index(a); !s.ok) return s;
  if (Status s = check_index(b); !s.ok) return s;
  if (a == b) return Status::failed("an element does not collide with itself");
  if (code < 0 || code >= kCollisionCodes) return Status::failed("a collision code is 0 (never) to 11");
  core_->pool(Pool::ProjectTable)[std::min(a, b) * kMatrixSide + std::max(a, b)] = static_cast<uint8_t>(code);
  modified_ = true;
  return {};
}

std::string Project::setting(const std::string& name) const {
  const ProjectSettings& p = model_->project;
  if (name == "background") return relative(std::string(p.background.view()));
  if (name == "repetitions") return std::to_string(p.repetitions);
  if (name == "shared") return std::string(p.shared_variables.view());
  if (name == "clip") return std::to_string(p.clip_distance);
  if (name == "fov") return std::to_string(p.field_of_view);
  return "";
}

// A list of network-shared variables: items "N" or "N(COUNT)" separated by commas.
static bool valid_shared_list(const std::string& text) {
  if (text.empty()) return true;
  for (const std::string& raw : fields_split(text, ',')) {
    std::string item;
    for (char ch : raw)
      if (ch != ' ') item += ch;
    size_t i = 0;
    while (i < item.size() && std::isdigit(static_cast<unsigned char>(item[i]))) ++i;
    if (i == 0 || i > 6) return false;
    if (i == item.size()) continue;
    if (item[i] != '(' || item.back() != ')' || item.size() - i < 3 || item.size() - i > 8) return false;
    for (size_t k = i + 1; k + 1 < item.size(); ++k)
      if (!std::isdigit(static_cast<unsigned char>(item[k]))) return false;
  }
  return true;
}

Status Project::set_setting(const std::string& name, const std::string& value) {
  bool known = false;
  for (const SettingInfo& s : kSettings) known = known || name == s.name;
  if (!known) {
    std::string names;
    for (const SettingInfo& e : kSettings) names += std::string(names.empty() ? "" : ", ") + e.name;
    return Status::failed("unknown setting '" + name + "' (" + names + ")");
  }
  if (unsafe_text(value)) return Status::failed("a value cannot hold \"|\" or line breaks");
  int32_t v = 0;
  if (name == "background" && !value.empty()) {
    const std::string full = fs::path(value).is_absolute() ? value : install_dir_ + "/" + value;
    std::error_code ec;
    if (!fs::is_regular_file(full, ec)) return Status::failed(full + " does not exist");
  } else if (name == "repetitions") {
    if (!parse_integer(value, v) || v < 1 || v > 256 || (v & (v - 1)) != 0)
      return Status::failed("the repetitions are a power of two from 1 to 256");
  } else if (name == "shared") {
    if (!valid_shared_list(value))
      return Status::failed("network-shared variables are numbers separated by commas, N(COUNT) for a row");
  } else if (name == "clip" || name == "fov") {
    if (!parse_integer(value, v) || v < 1 || v > 1000000) return Status::failed("the " + name + " is a whole number from 1 up");
  }
  Status s = apply_setting(name, value);
  if (s.ok) modified_ = true;
  return s;
}

Status Project::apply_setting(const std::string& name, const std::string& value) {
  ProjectSettings& p = model_->project;
  if (name == "background") {
    str_set(p.background, value.empty() || fs::path(value).is_absolute() ? value : install_dir_ + "/" + value);
  } else if (name == "shared") {
    str_set(p.shared_variables, value);
  } else {
    int32_t v = 0;
    if (!parse_integer(value, v)) return Status::failed("'" + value + "' is not a whole number");
    if (name == "repetitions") p.repetitions = v;
    else if (name == "clip") p.clip_distance = v;
    else if (name == "fov") p.field_of_view = v;
  }
  return {};
}

std::vector<Project::BrainParam> Project::brain_params(int32_t index) {
  std::vector<BrainParam> out;
  if (!check_index(index).ok) return out;
  Core& c = *core_;
  std::vector<uint8_t> bytes;
  read_whole_file(brain_path(index), bytes, pool_bytes(Pool::FileBuffer));
  const std::string text(bytes.begin(), bytes.end());
  // The declarations in file order, as the configuration was built from them.
  std::vector<std::string> declarations;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    for (char& ch : line) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) continue;
    line = line.substr(first);
    if (line.starts_with("var ") || line.starts_with("user")) declarations.push_back(line);
  }
  const int32_t n = param_count(c, index);
  int32_t user = 0;
  for (int32_t j = 0; j < n && j < int32_t(declarations.size()); ++j) {
    const std::string& d = declarations[size_t(j)];
    if (!d.starts_with("user")) continue;  // plain variables are not set by the user
    BrainParam p;
    p.entry = j;
    p.type = param_kind(c, index, j);
    // "uservel pace=2": the unit's three letters and a blank follow "user".
    const size_t name_at = d.size() > 8 && d[7] == ' ' ? 8 : 4;
    p.name = d.substr(name_at, d.find('=') == std::string::npos ? std::string::npos : d.find('=') - name_at);
    while (!p.name.empty() && (p.name.back() == ' ' || p.name.back() == '\t')) p.name.pop_back();
    p.name.erase(0, std::min(p.name.size(), p.name.find_first_not_of(" \t")));
    p.value = std::string(param_value(c, index, j).view());
    p.help = parameter_help_of_text(text, user++);
    if (p.type >= 0 && p.type <= 6) out.push_back(std::move(p));
  }
  return out;
}

Status Project::set_param(int32_t index, int32_t entry, const std::string& value) {
  if (Status s = check_index(index); !s.ok) return s;
  Core& c = *core_;
  if (entry < 0 || entry >= param_count(c, index)) return Status::failed("the brain has no parameter " + std::to_string(entry));
  if (unsafe_text(value) || value.find('/') != std::string::npos)
    return Status::failed("a parameter value cannot hold \"/\", \"|\" or line breaks");
  const int32_t type = param_kind(c, index, entry);
  int32_t whole = 0;
  int64_t thousandths = 0;
  std::string text = value;
  if (type == 1) {
    if (!parse_integer(value, whole) || whole < -1 || whole >= count())
      return Status::failed("the parameter names an element: -1 (none) to " + std::to_string(count() - 1));
  } else if (type == 0 || type == 2) {
    if (!parse_integer(value, whole)) return Status::failed("'" + value + "' is not a whole number");
    text = std::to_string(whole);
  } else if (type >= 3 && type <= 6) {
    if (!parse_decimal(value, thousandths)) return Status::failed("'" + value + "' is not a number (up to three decimals)");
  }
  param_value_set(c, index, entry, text);
  modified_ = true;
  return {};
}

}  // namespace korva::frontend
