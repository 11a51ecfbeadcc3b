// The workshop's screens, drawn with Dear ImGui. Every edit goes through the front ends' shared
// library (the same operations korva-go's commands use); modes run korva in the installation
// while the window keeps drawing, and korva's output lands in the log panel.
#include "workshop.h"

#include <EGL/egl.h>
#include <GL/gl.h>
#include <SDL.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

#include "editors/editors.h"
#include "model/model.h"
#include "platform/gl/gl.h"
#include "platform/platform.h"

namespace korva::workshop {

namespace fs = std::filesystem;

namespace {

// launched_mode_ while korva-mkdata writes an installation.
constexpr int32_t kMakingInstallation = -2;
// The toolbar's "Package": the builder (mode 6) on a level list of the open project alone.
constexpr int32_t kPackage = -3;

void copy_to(char* buf, size_t size, const std::string& s) {
  std::snprintf(buf, size, "%s", s.c_str());
}

std::string last_lines(const std::string& text, size_t most) {
  size_t lines = 0;
  for (size_t at = text.size(); at > 0; --at) {
    if (text[at - 1] == '\n' && at != text.size() && ++lines >= most) return text.substr(at);
  }
  return text;
}

}  // namespace

// The toolbar, in the order users look for them; mode numbers are the dispatcher's.
static const std::vector<Workshop::Mode>& toolbar_modes() {
  static const std::vector<Workshop::Mode> kModes = {
      {"Run (F5)", 1, false, nullptr},
      {"Virtual editor", 3, true, nullptr},
      {"Brain editor", 13, true, nullptr},
      {"Parameters", 5, true, nullptr},
      {"Collision channels", 2, false, nullptr},
      {"Display area", 14, true, nullptr},
      {"3D background", 15, false, nullptr},
      {"Visual editor", 7, false, nullptr},
      {"Explosion generator", 8, false, nullptr},
      {"Rename tools", 9, false, nullptr},
      {"Builder", 6, false, nullptr},
      {"Package", kPackage, false, nullptr},
      {"Play", -1, false, nullptr},
  };
  return kModes;
}

// The software 3D device of the engine (llvmpipe through EGL, no window): it renders the
// thumbnails of visuals exactly as the engine's own previews are rendered.
// A thread has one current context of one API at a time: the window's (GLX through SDL) is
// let go before the engine's (EGL) is taken, and the other way round.
struct PreviewHolder {
  platform::Devices devices;
  gl::Device gl;
  PreviewDevice device{&devices, &gl};
  bool ok = false;
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;

  PreviewHolder() {
    leave_window();
    platform::Screen none;
    platform::devices_probe(devices, none);
    ok = platform::devices_select(devices, platform::DeviceKind::Software);
    back_to_window();
  }
  ~PreviewHolder() {
    leave_window();
    if (ok && gl.ready && platform::devices_make_current(devices)) gl::device_release(gl);
    platform::devices_release(devices);
    back_to_window();
  }
  void leave_window() {
    window = SDL_GL_GetCurrentWindow();
    context = SDL_GL_GetCurrentContext();
    if (window && context) SDL_GL_MakeCurrent(window, nullptr);
  }
  void back_to_window() {
    if (devices.egl_display)
      eglMakeCurrent(static_cast<EGLDisplay>(devices.egl_display), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (window && context) SDL_GL_MakeCurrent(window, context);
  }
};

Workshop::Workshop(std::string install_dir, std::string own_executable)
    : own_executable_(std::move(own_executable)) {
  set_installation(install_dir);
}

Workshop::~Workshop() {
  // The user's editor may still hold unsaved text: it stays open.
  editor_.detach();
  for (auto& [path, t] : thumbs_)
    if (t.texture) glDeleteTextures(1, &t.texture);
  preview_.reset();
}

bool Workshop::thumbnail(const std::string& relative, ImTextureID& texture, ImVec2& size) {
  auto it = thumbs_.find(relative);
  if (it == thumbs_.end()) {
    // A few per frame, so that a folder of many visuals does not stop the window.
    if (thumbs_this_frame_ >= 2) return false;
    ++thumbs_this_frame_;
    const std::string full = fs::path(relative).is_absolute() ? relative : install_dir_ + "/" + relative;
    const std::string ext = fs::path(relative).extension().string();
    const bool model = ext == ".v3d" || ext == ".3ds" || ext == ".x";
    if (model && !preview_tried_) {
      preview_tried_ = true;
      preview_ = std::make_unique<PreviewHolder>();
      if (!preview_->ok) {
        say("No software 3D device: visuals are listed without pictures");
        preview_.reset();
      }
    }
    frontend::Thumbnail picture;
    bool made = false;
    if (model && preview_) {
      // The engine's device takes the thread's GL context; the window's comes back after.
      preview_->leave_window();
      made = frontend::make_thumbnail(install_dir_, full, &preview_->device, 96, 72, picture);
      preview_->back_to_window();
    } else if (!model) {
      made = frontend::make_thumbnail(install_dir_, full, nullptr, 96, 72, picture);
    }
    Thumb t;
    if (made) {
      glGenTextures(1, &t.texture);
      glBindTexture(GL_TEXTURE_2D, t.texture);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, picture.width, picture.height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                   picture.rgb.data());
      t.width = picture.width;
      t.height = picture.height;
    }
    it = thumbs_.emplace(relative, t).first;
  }
  if (!it->second.texture) return false;
  texture = reinterpret_cast<ImTextureID>(static_cast<intptr_t>(it->second.texture));
  size = ImVec2(float(it->second.width), float(it->second.height));
  return true;
}

std::string Workshop::title() const {
  if (page_ != Page::Project || !project_) return "korva-workshop";
  return std::string(project_->modified() ? "* " : "") + fs::path(project_->path()).filename().string() +
         " - korva-workshop";
}

void Workshop::note(const std::string& name) {
  targets_[name] = {ImGui::GetItemRectMin(), ImGui::GetItemRectMax()};
}

bool Workshop::button(const char* label, bool enabled, const char* tooltip) {
  if (!enabled) ImGui::BeginDisabled();
  const bool pressed = ImGui::Button(label);
  if (!enabled) ImGui::EndDisabled();
  note(label);
  if (tooltip && ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled)) ImGui::SetTooltip("%s", tooltip);
  return pressed && enabled;
}

void Workshop::say(const std::string& line) {
  log_ += line;
  if (!line.ends_with("\n")) log_ += "\n";
  // The log keeps its latest part; a flood of output must not slow the window down.
  constexpr size_t kKept = 256 * 1024;
  if (log_.size() > kKept) log_.erase(0, log_.size() - kKept / 2);
}

void Workshop::check(const frontend::Status& s, const std::string& what) {
  if (s.ok) {
    problem_.clear();
    say(what);
    return;
  }
  problem_ = s.error;
  say("Refused: " + s.error);
}

void Workshop::set_installation(const std::string& dir) {
  install_dir_ = dir;
  while (install_dir_.size() > 1 && install_dir_.back() == '/') install_dir_.pop_back();
  copy_to(install_buf_, sizeof install_buf_, install_dir_);
  projects_.clear();
  if (frontend::is_installation(install_dir_)) projects_ = frontend::list_projects(install_dir_);
  recent_ = frontend::recent_projects();
  kit_descriptions_.clear();
}

void Workshop::create_installation() {
  // korva-mkdata writes the installation; it is found beside this program, else on PATH.
  std::string mkdata = "korva-mkdata";
  const fs::path beside = fs::path(own_executable_).parent_path() / "korva-mkdata";
  std::error_code ec;
  if (!own_executable_.empty() && fs::exists(beside, ec)) mkdata = beside.string();
  launched_mode_ = kMakingInstallation;
  reload_after_ = false;
  check(launch_.start(mkdata, "/", {}, {install_dir_}), "Creating an installation in " + install_dir_);
}

void Workshop::open_project(const std::string& given) {
  const std::string path = given;  // it may be an entry of a list this rewrites
  auto p = std::make_unique<frontend::Project>(install_dir_);
  const frontend::Status s = p->open(path);
  if (!s.ok) {
    check(s, "");
    return;
  }
  project_ = std::move(p);
  undo_.clear();
  redo_.clear();
  rows_ = project_->list();
  selected_ = std::clamp(selected_, 0, std::max(0, project_->count() - 1));
  page_ = Page::Project;
  problem_.clear();
  load_fields();
  setting_bufs_.clear();
  brain_summaries_.clear();
  if (!frontend::remember_project(path)) say("Cannot write the list of recent projects " + frontend::recent_file());
  recent_ = frontend::recent_projects();
  say("Opened " + path);
}

void Workshop::close_project() {
  project_.reset();
  rows_.clear();
  page_ = Page::Start;
  set_installation(install_dir_);
}

void Workshop::load_fields() {
  field_bufs_.clear();
  param_bufs_.clear();
  brain_text_.clear();
  if (!project_ || selected_ < 0 || selected_ >= project_->count()) return;
  brain_text_ = project_->brain_description(selected_);
  for (const frontend::FieldInfo& f : frontend::element_fields()) field_bufs_[f.name] = project_->field(selected_, f.name);
}

void Workshop::edited(const frontend::Status& s, frontend::Project::Snapshot before) {
  if (!s.ok) return;
  brain_summaries_.clear();
  // A long session keeps the latest edits undoable, not all of them.
  constexpr size_t kMostUndo = 200;
  undo_.push_back(std::move(before));
  if (undo_.size() > kMostUndo) undo_.erase(undo_.begin());
  redo_.clear();
}

void Workshop::undo() {
  if (!project_ || undo_.empty() || launch_.running()) return;
  brain_summaries_.clear();
  redo_.push_back(project_->snapshot());
  project_->restore(undo_.back());
  undo_.pop_back();
  selected_ = std::clamp(selected_, 0, std::max(0, project_->count() - 1));
  load_fields();
  say("Undone");
}

void Workshop::redo() {
  if (!project_ || redo_.empty() || launch_.running()) return;
  brain_summaries_.clear();
  undo_.push_back(project_->snapshot());
  project_->restore(redo_.back());
  redo_.pop_back();
  selected_ = std::clamp(selected_, 0, std::max(0, project_->count() - 1));
  load_fields();
  say("Redone");
}

bool Workshop::request_close() {
  if (project_ && project_->modified()) {
    close_question_ = true;
    after_close_exit_ = true;
    return false;
  }
  return true;
}

void Workshop::shortcut_save() {
  if (project_) check(project_->save(), "Saved " + project_->path());
}

void Workshop::shortcut_run() {
  if (page_ == Page::Project) launch(toolbar_modes()[0]);
}

void Workshop::launch(const Mode& mode) {
  if (launch_.running()) {
    problem_ = "korva is running already";
    return;
  }
  if (mode.missing || !project_) return;
  std::error_code ec;
  if (mode.number == -1) {
    const fs::path folder = fs::path(install_dir_) / "korvaexe";
    const fs::path exe = folder / "korvaexe";
    if (!fs::exists(exe, ec)) {
      problem_ = "There is no stand-alone game yet: make one with Package or the Builder";
      say(problem_);
      return;
    }
    launched_mode_ = -1;
    reload_after_ = false;
    check(launch_.start(exe.string(), folder.string(), {}), "Playing " + exe.string());
    return;
  }
  // korva reads the project from its file: unsaved edits are saved first.
  if (project_->modified()) {
    const frontend::Status saved = project_->save();
    check(saved, "Saved " + project_->path());
    if (!saved.ok) return;
  }
  if (mode.number == kPackage) {
    // The list is named after the project file; the builder makes korvaexe/ from it.
    std::string name = fs::path(project_->path()).stem().string();
    for (char& ch : name)
      if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '-') ch = '_';
    std::string list;
    const frontend::Status listed = frontend::write_level_list(install_dir_, name, {project_->path()}, &list);
    check(listed, "Wrote the level list " + list);
    if (!listed.ok) return;
    const frontend::Status w = frontend::write_runmode(install_dir_, list, 6, 0);
    if (!w.ok) {
      check(w, "");
      return;
    }
    launched_mode_ = 6;
    reload_after_ = true;
    check(launch_.start(frontend::find_korva("", own_executable_), install_dir_, {}),
          "Started korva: packaging " + name + " as a stand-alone game");
    return;
  }
  const bool needs_project = mode.number != 6;
  const int32_t element = mode.element ? selected_ : 0;
  if (mode.number == 1 && !frontend::clear_run_marker(install_dir_)) {
    problem_ = "cannot remove the old run marker temp/wasok.dat";
    return;
  }
  const frontend::Status w =
      frontend::write_runmode(install_dir_, needs_project ? project_->path() : std::string(), mode.number, element);
  if (!w.ok) {
    check(w, "");
    return;
  }
  const std::string korva = frontend::find_korva("", own_executable_);
  launched_mode_ = mode.number;
  // Every mode reloads the project afterwards: the editing modes save it, and what is on disk
  // is what the user sees then.
  reload_after_ = true;
  check(launch_.start(korva, install_dir_, {}), std::string("Started korva: ") + mode.label);
}

void Workshop::finish_launch() {
  const frontend::RunResult& r = launch_.result();
  const frontend::Marker marker = launched_mode_ == 1 ? frontend::Marker::Expected : frontend::Marker::NotUsed;
  const frontend::Outcome o = frontend::judge_run(r, marker, install_dir_);
  if (!launch_.output().empty()) say(launch_.output());
  if (launched_mode_ == kMakingInstallation) set_installation(install_dir_);
  // A mode may have changed pictures and visuals: thumbnails are made again.
  for (auto& [path, t] : thumbs_)
    if (t.texture) glDeleteTextures(1, &t.texture);
  thumbs_.clear();
  if (o.status == 0) say(launched_mode_ == 1 ? "The run ended normally." : "It ended with exit status 0.");
  else say("Failed: " + o.reason);
  problem_ = o.status == 0 ? std::string() : o.reason;
  // The mode may have saved the project: what is on disk is what the user sees now.
  if (reload_after_ && project_) {
    const std::string path = project_->path();
    const int32_t keep = selected_;
    open_project(path);
    selected_ = std::clamp(keep, 0, std::max(0, project_ ? project_->count() - 1 : 0));
    load_fields();
  }
  launched_mode_ = 0;
}

void Workshop::draw() {
  targets_.clear();
  thumbs_this_frame_ = 0;
  if (launch_.running() && launch_.poll()) finish_launch();
  watch_brain();
  const ImGuiViewport* vp = ImGui::GetMainViewport();
  ImGui::SetNextWindowPos(vp->WorkPos);
  ImGui::SetNextWindowSize(vp->WorkSize);
  ImGui::Begin("workshop", nullptr,
               ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings |
                   ImGuiWindowFlags_NoBringToFrontOnFocus);
  if (page_ == Page::Start) draw_start_page();
  else draw_project_page();
  draw_close_question();
  ImGui::End();
}

void Workshop::draw_start_page() {
  ImGui::TextUnformatted("Korva workshop");
  ImGui::Separator();
  ImGui::TextUnformatted("Installation folder");
  ImGui::SetNextItemWidth(480);
  const bool entered = ImGui::InputText("##install", install_buf_, sizeof install_buf_, ImGuiInputTextFlags_EnterReturnsTrue);
  note("Installation folder");
  ImGui::SameLine();
  if (button("Open folder") || entered) set_installation(install_buf_);
  const bool valid = frontend::is_installation(install_dir_);
  if (!valid) {
    ImGui::SameLine();
    if (button("Create installation", !launch_.running())) {
      set_installation(install_buf_);
      create_installation();
    }
    ImGui::TextColored(ImVec4(1, 0.5f, 0.3f, 1), "%s is not a Korva installation (it has no data/ folder).",
                       install_dir_.c_str());
  }

  ImGui::Spacing();
  ImGui::TextUnformatted("New project");
  ImGui::SetNextItemWidth(200);
  ImGui::InputText("Name", new_name_, sizeof new_name_);
  note("Name");
  ImGui::SameLine();
  const auto& templates = frontend::templates();
  ImGui::SetNextItemWidth(300);
  if (ImGui::BeginCombo("Template", templates[new_template_].description)) {
    for (int32_t i = 0; i < int32_t(templates.size()); ++i) {
      if (ImGui::Selectable(templates[i].description, i == new_template_)) new_template_ = i;
      note(std::string("template ") + templates[i].name);
    }
    ImGui::EndCombo();
  }
  note("Template");
  ImGui::SameLine();
  if (button("New project", valid && new_name_[0] != 0)) {
    const std::string name = new_name_;
    if (name.find_first_of("/\\|") != std::string::npos) {
      check(frontend::Status::failed("a project name cannot hold \"/\", \"\\\" or \"|\""), "");
    } else {
      const std::string path = frontend::project_path(install_dir_, name);
      const frontend::Status s = frontend::new_project(install_dir_, path, templates[new_template_].name);
      check(s, "Made " + path);
      if (s.ok) open_project(path);
    }
  }
  if (!problem_.empty()) ImGui::TextColored(ImVec4(1, 0.4f, 0.4f, 1), "%s", problem_.c_str());

  draw_recent();

  ImGui::Spacing();
  ImGui::TextUnformatted("Projects of this installation");
  const float log_height = 150;
  if (ImGui::BeginTable("projects", 4, ImGuiTableFlags_RowBg | ImGuiTableFlags_BordersInnerV | ImGuiTableFlags_ScrollY,
                        ImVec2(0, ImGui::GetContentRegionAvail().y - log_height))) {
    ImGui::TableSetupScrollFreeze(0, 1);
    ImGui::TableSetupColumn("Kit", ImGuiTableColumnFlags_WidthFixed, 90);
    ImGui::TableSetupColumn("Project", ImGuiTableColumnFlags_WidthFixed, 140);
    ImGui::TableSetupColumn("Description", ImGuiTableColumnFlags_WidthStretch);
    ImGui::TableSetupColumn("", ImGuiTableColumnFlags_WidthFixed, 50);
    ImGui::TableHeadersRow();
    std::string kit;
    for (size_t i = 0; i < projects_.size(); ++i) {
      const frontend::ProjectEntry& e = projects_[i];
      const bool first_of_kit = e.kit != kit;
      if (first_of_kit) {
        // A kit that describes itself (the first line of its descrptn.txt) starts with that line.
        kit = e.kit;
        if (kit_descriptions_.find(kit) == kit_descriptions_.end()) {
          const fs::path folder = fs::path(install_dir_) / "projects" / kit;
          std::error_code ec;
          kit_descriptions_[kit] =
              fs::exists(folder / "descrptn.txt", ec) ? kit_description(folder.string() + "/") : std::string();
        }
        if (!kit_descriptions_[kit].empty()) {
          ImGui::TableNextRow();
          ImGui::TableNextColumn();
          ImGui::TextColored(ImVec4(0.55f, 0.8f, 1, 1), "%s", kit.c_str());
          ImGui::TableNextColumn();
          ImGui::TableNextColumn();
          ImGui::TextColored(ImVec4(0.55f, 0.8f, 1, 1), "%s", kit_descriptions_[kit].c_str());
          ImGui::TableNextColumn();
        }
      }
      ImGui::TableNextRow();
      ImGui::TableNextColumn();
      if (first_of_kit && kit_descriptions_[kit].empty()) ImGui::TextUnformatted(kit.c_str());
      ImGui::TableNextColumn();
      const std::string file = fs::path(e.path).filename().string();
      ImGui::TextUnformatted(file.c_str());
      ImGui::TableNextColumn();
      ImGui::TextUnformatted(e.description.c_str());
      ImGui::TableNextColumn();
      ImGui::PushID(static_cast<int>(i));
      const bool open = ImGui::SmallButton("Open");
      note("open " + e.kit + "/" + file);
      ImGui::PopID();
      if (open) open_project(e.path);
    }
    ImGui::EndTable();
  }
  draw_log();
}

void Workshop::draw_recent() {
  ImGui::Spacing();
  ImGui::TextUnformatted("Recent projects");
  if (recent_.empty()) {
    ImGui::TextDisabled("  Projects you open are listed here.");
    return;
  }
  for (size_t i = 0; i < recent_.size(); ++i) {
    const std::string path = recent_[i];  // a copy: opening rewrites the list
    ImGui::PushID(static_cast<int>(1000 + i));
    const bool open = ImGui::SmallButton("Open");
    note("recent " + fs::path(path).filename().string());
    ImGui::PopID();
    ImGui::SameLine();
    const std::string description = project_description(path);
    ImGui::Text("%s", path.c_str());
    if (!description.empty()) {
      ImGui::SameLine();
      ImGui::TextDisabled("%s", description.c_str());
    }
    if (open) {
      // A project of another installation opens there.
      const fs::path folder = fs::path(path).parent_path().parent_path().parent_path();
      if (!path.starts_with(install_dir_ + "/") && frontend::is_installation(folder.string()))
        set_installation(folder.string());
      open_project(path);
      return;
    }
  }
}

void Workshop::draw_project_page() {
  draw_toolbar();
  if (!project_) return;  // "Close project" was pressed
  const float log_height = 150;
  const float body = ImGui::GetContentRegionAvail().y - log_height;
  ImGui::BeginChild("elements", ImVec2(ImGui::GetContentRegionAvail().x * 0.62f, body), true);
  draw_elements();
  ImGui::EndChild();
  ImGui::SameLine();
  ImGui::BeginChild("properties", ImVec2(0, body), true);
  draw_properties();
  ImGui::EndChild();
  draw_log();
}

void Workshop::draw_toolbar() {
  if (button("Save")) shortcut_save();
  ImGui::SameLine();
  if (button("Undo", !undo_.empty() && !launch_.running())) undo();
  ImGui::SameLine();
  if (button("Redo", !redo_.empty() && !launch_.running())) redo();
  ImGui::SameLine();
  if (button("Close project")) {
    if (project_->modified()) {
      close_question_ = true;
      after_close_exit_ = false;
    } else {
      close_project();
      return;
    }
  }
  ImGui::SameLine();
  ImGui::TextUnformatted("|");
  const bool idle = !launch_.running();
  const bool has_element = selected_ >= 0 && selected_ < int32_t(rows_.size());
  for (const Mode& m : toolbar_modes()) {
    // The buttons wrap onto a second row in a narrow window.
    const float width = ImGui::CalcTextSize(m.label).x + 2 * ImGui::GetStyle().FramePadding.x;
    ImGui::SameLine();
    if (ImGui::GetCursorPosX() + width > ImGui::GetWindowContentRegionMax().x) ImGui::NewLine();
    const bool enabled = idle && !m.missing && (!m.element || has_element);
    if (button(m.label, enabled, m.missing)) launch(m);
  }
  if (launch_.running()) {
    ImGui::TextColored(ImVec4(1, 0.85f, 0.3f, 1), "korva is running (mode %d)...", launched_mode_);
    ImGui::SameLine();
    if (button("Kill korva")) {
      launch_.kill();
      say("Ended korva at the user's request.");
    }
  }
  if (!problem_.empty()) ImGui::TextColored(ImVec4(1, 0.4f, 0.4f, 1), "%s", problem_.c_str());
  const std::string base = install_dir_ + "/";
  const std::string& path = project_->path();
  ImGui::TextDisabled("%s  %s", path.starts_with(base) ? path.c_str() + base.size() : path.c_str(),
                      project_->modified() ? "(unsaved changes)" : "");
}

void Workshop::draw_elements() {
  rows_ = project_->list();
  const auto& kinds = frontend::element_kinds();
  ImGui::SetNextItemWidth(110);
  if (ImGui::BeginCombo("##kind", kinds[add_kind_].name)) {
    for (int32_t i = 0; i < int32_t(kinds.size()); ++i) {
      if (ImGui::Selectable(kinds[i].name, i == add_kind_)) add_kind_ = i;
      note(std::string("kind ") + kinds[i].name);
    }
    ImGui::EndCombo();
  }
  note("Kind");
  ImGui::SameLine();
  if (button("Add element")) {
    int32_t index = 0;
    frontend::Project::Snapshot before = project_->snapshot();
    const frontend::Status s = project_->add(kinds[add_kind_].name, "", selected_ + 1, &index);
    edited(s, std::move(before));
    check(s, std::string("Added a ") + kinds[add_kind_].name);
    if (s.ok) {
      selected_ = index;
      load_fields();
    }
  }
  const bool has = selected_ >= 0 && selected_ < project_->count();
  ImGui::SameLine();
  if (button("Remove", has)) {
    frontend::Project::Snapshot before = project_->snapshot();
    const frontend::Status s = project_->remove(selected_);
    edited(s, std::move(before));
    check(s, "Removed element " + std::to_string(selected_));
    selected_ = std::clamp(selected_, 0, std::max(0, project_->count() - 1));
    load_fields();
  }
  ImGui::SameLine();
  if (button("Duplicate", has)) {
    int32_t index = 0;
    frontend::Project::Snapshot before = project_->snapshot();
    const frontend::Status s = project_->duplicate(selected_, &index);
    edited(s, std::move(before));
    check(s, "Duplicated element " + std::to_string(selected_));
    if (s.ok) {
      selected_ = index;
      load_fields();
    }
  }
  ImGui::SameLine();
  if (button("Move up", has && selected_ > 0)) {
    frontend::Project::Snapshot before = project_->snapshot();
    const frontend::Status s = project_->move(selected_, selected_ - 1);
    edited(s, std::move(before));
    check(s, "Moved element " + std::to_string(selected_) + " up");
    --selected_;
    load_fields();
  }
  ImGui::SameLine();
  if (button("Move down", has && selected_ + 1 < project_->count())) {
    frontend::Project::Snapshot before = project_->snapshot();
    const frontend::Status s = project_->move(selected_, selected_ + 1);
    edited(s, std::move(before));
    check(s, "Moved element " + std::to_string(selected_) + " down");
    ++selected_;
    load_fields();
  }
  rows_ = project_->list();

  if (ImGui::BeginTable("elements", 7,
                        ImGuiTableFlags_RowBg | ImGuiTableFlags_BordersInnerV | ImGuiTableFlags_ScrollY |
                            ImGuiTableFlags_Resizable)) {
    ImGui::TableSetupScrollFreeze(0, 1);
    ImGui::TableSetupColumn("#", ImGuiTableColumnFlags_WidthFixed, 28);
    ImGui::TableSetupColumn("Name", ImGuiTableColumnFlags_WidthStretch, 1.2f);
    ImGui::TableSetupColumn("Kind", ImGuiTableColumnFlags_WidthFixed, 70);
    ImGui::TableSetupColumn("Visual", ImGuiTableColumnFlags_WidthStretch, 1.4f);
    ImGui::TableSetupColumn("Sound", ImGuiTableColumnFlags_WidthStretch, 1.2f);
    ImGui::TableSetupColumn("Brain", ImGuiTableColumnFlags_WidthStretch, 1.2f);
    ImGui::TableSetupColumn("Active", ImGuiTableColumnFlags_WidthFixed, 46);
    ImGui::TableHeadersRow();
    // Only the visible rows are drawn, so that 256 elements stay quick.
    ImGuiListClipper clipper;
    clipper.Begin(static_cast<int>(rows_.size()));
    while (clipper.Step()) {
      for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i) {
        const frontend::ElementRow& r = rows_[i];
        ImGui::TableNextRow();
        ImGui::TableNextColumn();
        char label[16];
        std::snprintf(label, sizeof label, "%d", r.index);
        if (ImGui::Selectable(label, r.index == selected_, ImGuiSelectableFlags_SpanAllColumns)) {
          selected_ = r.index;
          load_fields();
        }
        note("element " + r.name);
        ImGui::TableNextColumn();
        ImGui::TextUnformatted(r.name.c_str());
        ImGui::TableNextColumn();
        ImGui::TextUnformatted(r.kind.c_str());
        // A file the element names but the installation lacks shows in red, with a tooltip.
        for (const std::string* file : {&r.visual, &r.sound}) {
          ImGui::TableNextColumn();
          std::error_code ec;
          const bool present = fs::exists(fs::path(install_dir_) / *file, ec) || fs::exists(*file, ec);
          if (present) {
            ImGui::TextUnformatted(file->c_str());
          } else {
            ImGui::TextColored(ImVec4(1, 0.4f, 0.4f, 1), "%s", file->c_str());
            if (ImGui::IsItemHovered()) ImGui::SetTooltip("This file is missing");
          }
        }
        // The element's brain is its own copy: what it does says more than its file name.
        ImGui::TableNextColumn();
        ImGui::TextUnformatted(brain_summary(r.brain).c_str());
        ImGui::TableNextColumn();
        ImGui::TextUnformatted(r.active ? "yes" : "no");
      }
    }
    ImGui::EndTable();
  }
}

void Workshop::draw_properties() {
  if (!ImGui::BeginTabBar("panels")) return;
  if (ImGui::BeginTabItem("Element")) {
    draw_element_tab();
    ImGui::EndTabItem();
  }
  note("tab Element");
  if (ImGui::BeginTabItem("Collisions")) {
    draw_collisions();
    ImGui::EndTabItem();
  }
  note("tab Collisions");
  if (ImGui::BeginTabItem("Project settings")) {
    draw_settings();
    ImGui::EndTabItem();
  }
  note("tab Project settings");
  ImGui::EndTabBar();
}

void Workshop::pick_button(const std::string& field, bool setting) {
  ImGui::SameLine();
  ImGui::PushID(field.c_str());
  const bool clicked = ImGui::SmallButton("...");
  ImGui::PopID();
  note("pick " + field);
  if (ImGui::IsItemHovered()) ImGui::SetTooltip("Choose from the installation's files");
  if (!clicked) return;
  const int32_t type = setting || rows_.empty() ? 0 : rows_[size_t(selected_)].type;
  picker_ = {};
  picker_.request = true;
  picker_.setting = setting;
  picker_.field = field;
  picker_.choices = frontend::pick_choices(install_dir_, field, type);
  const frontend::PickKind kind = frontend::pick_kind(field, type);
  if (kind == frontend::PickKind::Brain || kind == frontend::PickKind::Sound) {
    for (const std::string& c : picker_.choices) picker_.summaries.push_back(frontend::file_summary(install_dir_ + "/" + c));
  }
}

const std::string& Workshop::brain_summary(const std::string& brain) {
  auto it = brain_summaries_.find(brain);
  if (it == brain_summaries_.end()) {
    const std::string full = fs::path(brain).is_absolute() ? brain : install_dir_ + "/" + brain;
    std::string text = frontend::file_summary(full);
    if (text.empty()) text = "(no description)";
    it = brain_summaries_.emplace(brain, text).first;
  }
  return it->second;
}

// The brain's parameters as the user sets them: an element chosen by name, numbers typed in
// their units; the brain's help for each on hover.
void Workshop::draw_brain_params() {
  if (param_entry_ != selected_) {
    param_bufs_.clear();
    param_entry_ = selected_;
  }
  const std::vector<frontend::Project::BrainParam> params = project_->brain_params(selected_);
  if (params.empty()) return;
  ImGui::Separator();
  ImGui::TextUnformatted("Brain parameters");
  static const char* const kUnits[] = {"", "element", "", "m", "deg", "m/s", "rpm"};
  for (const frontend::Project::BrainParam& p : params) {
    ImGui::PushID(p.entry);
    const std::string label = p.name + (*kUnits[p.type] && p.type != 1 ? std::string(" (") + kUnits[p.type] + ")" : "");
    ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x * 0.55f);
    std::string value;
    bool apply = false;
    if (p.type == 1) {
      const int32_t chosen = std::atoi(p.value.c_str());
      const std::string shown = chosen >= 0 && chosen < int32_t(rows_.size())
                                    ? std::to_string(chosen) + ": " + rows_[size_t(chosen)].name
                                    : std::string("(no element)");
      if (ImGui::BeginCombo(label.c_str(), shown.c_str())) {
        for (int32_t k = -1; k < int32_t(rows_.size()); ++k) {
          const std::string item = k < 0 ? std::string("(no element)") : std::to_string(k) + ": " + rows_[size_t(k)].name;
          if (ImGui::Selectable(item.c_str(), k == chosen)) {
            value = std::to_string(k);
            apply = true;
          }
          note("param " + p.name + " " + std::to_string(k));
        }
        ImGui::EndCombo();
      }
    } else {
      // What the user is typing stays until it is applied; otherwise the element's value shows.
      const auto typing = param_bufs_.find(p.name);
      char buf[64];
      copy_to(buf, sizeof buf, typing != param_bufs_.end() ? typing->second : p.value);
      const bool entered = ImGui::InputText(label.c_str(), buf, sizeof buf, ImGuiInputTextFlags_EnterReturnsTrue);
      if (ImGui::IsItemEdited()) param_bufs_[p.name] = buf;
      apply = entered || ImGui::IsItemDeactivatedAfterEdit();
      value = buf;
    }
    note("param " + p.name);
    if (!p.help.empty() && ImGui::IsItemHovered()) ImGui::SetTooltip("%s", p.help.c_str());
    if (apply) {
      frontend::Project::Snapshot before = project_->snapshot();
      const frontend::Status s = project_->set_param(selected_, p.entry, value);
      edited(s, std::move(before));
      check(s, "Set the parameter " + p.name + " of element " + std::to_string(selected_));
      param_bufs_.erase(p.name);
      field_bufs_["params"] = project_->field(selected_, "params");
    }
    ImGui::PopID();
  }
}

void Workshop::draw_element_tab() {
  if (selected_ < 0 || selected_ >= project_->count()) {
    ImGui::TextDisabled("No element selected");
    return;
  }
  const frontend::ElementRow& row = rows_[size_t(selected_)];
  ImTextureID texture{};
  ImVec2 size;
  if (thumbnail(row.visual, texture, size)) {
    ImGui::Image(texture, size);
    ImGui::SameLine();
  }
  ImGui::BeginGroup();
  ImGui::Text("Element %d: %s", selected_, row.kind.c_str());
  if (!brain_text_.empty()) ImGui::TextWrapped("Brain: %s", brain_text_.c_str());
  if (button("Open brain in my editor", !editor_.running()))
    open_brain_editor();
  if (ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled))
    ImGui::SetTooltip("Edits the brain with %s; the workshop takes up what you save", frontend::text_editor().c_str());
  ImGui::EndGroup();
  draw_brain_params();
  ImGui::Separator();
  for (const frontend::FieldInfo& f : frontend::element_fields()) {
    if (std::string(f.name) == "brain") {
      // The brain is chosen from the examples (or edited): its own copy's name means nothing.
      ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x * 0.55f);
      std::string summary = brain_summary(row.brain);
      ImGui::BeginDisabled();
      char shown[256];
      copy_to(shown, sizeof shown, summary);
      ImGui::InputText(f.label, shown, sizeof shown, ImGuiInputTextFlags_ReadOnly);
      ImGui::EndDisabled();
      pick_button(f.name, false);
      continue;
    }
    std::string& value = field_bufs_[f.name];
    char buf[256];
    copy_to(buf, sizeof buf, value);
    ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x * 0.55f);
    const bool entered = ImGui::InputText(f.label, buf, sizeof buf, ImGuiInputTextFlags_EnterReturnsTrue);
    note(std::string("field ") + f.name);
    value = buf;
    // A field is applied when the user presses Enter or leaves it after an edit.
    const bool apply = entered || ImGui::IsItemDeactivatedAfterEdit();
    if (f.kind == frontend::FieldInfo::Path) pick_button(f.name, false);
    if (apply) {
      frontend::Project::Snapshot before = project_->snapshot();
      const frontend::Status s = project_->set_field(selected_, f.name, value);
      edited(s, std::move(before));
      check(s, std::string("Set ") + f.name + " of element " + std::to_string(selected_));
      value = project_->field(selected_, f.name);  // refused: back to what the element holds
      if (s.ok && std::string(f.name) == "brain") brain_text_ = project_->brain_description(selected_);
    }
  }
  draw_picker();
}

void Workshop::draw_picker() {
  if (picker_.request) {
    ImGui::OpenPopup("Choose a file");
    picker_.request = false;
  }
  const ImGuiViewport* vp = ImGui::GetMainViewport();
  ImGui::SetNextWindowSize(ImVec2(vp->WorkSize.x * 0.8f, vp->WorkSize.y * 0.8f), ImGuiCond_Appearing);
  ImGui::SetNextWindowPos(ImVec2(vp->WorkPos.x + vp->WorkSize.x * 0.1f, vp->WorkPos.y + vp->WorkSize.y * 0.1f),
                          ImGuiCond_Appearing);
  if (!ImGui::BeginPopupModal("Choose a file")) return;
  ImGui::Text("Choose the %s", picker_.field.c_str());
  ImGui::SameLine();
  if (button("Cancel")) ImGui::CloseCurrentPopup();
  if (picker_.choices.empty()) ImGui::TextDisabled("The installation has no files of this kind.");
  std::string chosen;
  const bool text_only = !picker_.summaries.empty();
  const float cell_w = text_only ? ImGui::GetContentRegionAvail().x : 110, cell_h = text_only ? 0 : 100;
  ImGui::BeginChild("choices");
  const int32_t columns = std::max(1, int32_t(ImGui::GetContentRegionAvail().x / (cell_w + 8)));
  for (size_t i = 0; i < picker_.choices.size(); ++i) {
    const std::string& c = picker_.choices[i];
    if (i % size_t(columns) != 0) ImGui::SameLine();
    ImGui::PushID(static_cast<int>(i));
    ImGui::BeginGroup();
    const ImVec2 at = ImGui::GetCursorScreenPos();
    if (text_only) {
      const std::string label = fs::path(c).filename().string() + "  " + picker_.summaries[i];
      if (ImGui::Selectable(label.c_str(), false)) chosen = c;
    } else {
      if (ImGui::Selectable("##cell", false, 0, ImVec2(cell_w, cell_h))) chosen = c;
      ImTextureID texture{};
      ImVec2 size;
      ImDrawList* dl = ImGui::GetWindowDrawList();
      if (thumbnail(c, texture, size)) {
        const ImVec2 p(at.x + (cell_w - size.x) / 2, at.y + 2);
        dl->AddImage(texture, p, ImVec2(p.x + size.x, p.y + size.y));
      } else {
        dl->AddRect(ImVec2(at.x + 7, at.y + 2), ImVec2(at.x + cell_w - 7, at.y + 74), IM_COL32(90, 90, 90, 255));
      }
      const std::string name = fs::path(c).filename().string();
      dl->AddText(ImVec2(at.x + 4, at.y + 80), IM_COL32(230, 230, 230, 255), name.c_str());
    }
    ImGui::EndGroup();
    targets_["choice " + c] = {at, ImVec2(at.x + (text_only ? 200 : cell_w), at.y + (text_only ? 14 : cell_h))};
    ImGui::PopID();
  }
  ImGui::EndChild();
  if (!chosen.empty()) {
    ImGui::CloseCurrentPopup();
    // Another brain for the element whose brain is open in the editor: the editor's file is
    // no longer the element's, and what is saved there is not taken up.
    if (picker_.field == "brain" && selected_ == watched_element_) watched_brain_.clear();
    frontend::Project::Snapshot before = project_->snapshot();
    const frontend::Status s = picker_.setting ? project_->set_setting(picker_.field, chosen)
                                               : project_->set_field(selected_, picker_.field, chosen);
    edited(s, std::move(before));
    check(s, "Chose " + chosen + " as the " + picker_.field);
    load_fields();
    setting_bufs_.clear();
  }
  ImGui::EndPopup();
}

void Workshop::draw_collisions() {
  const int32_t n = project_->count();
  ImGui::TextWrapped("Click a square to give the pair the code below; click it again (or right-click) for 0, "
                     "never collide.");
  for (int32_t code = 0; code < frontend::kCollisionCodes; ++code) {
    uint8_t r, g, b;
    frontend::collision_colour(code, r, g, b);
    const ImVec4 colour = code == 0 ? ImVec4(0.25f, 0.25f, 0.28f, 1) : ImVec4(r / 255.f, g / 255.f, b / 255.f, 1);
    if (code > 0) ImGui::SameLine();
    ImGui::PushID(code);
    ImGui::PushStyleColor(ImGuiCol_Button, colour);
    ImGui::PushStyleVar(ImGuiStyleVar_FrameBorderSize, code == collision_code_ ? 2.0f : 0.0f);
    char label[16];
    std::snprintf(label, sizeof label, "%d", code);
    if (ImGui::Button(label, ImVec2(24, 0))) collision_code_ = code;
    ImGui::PopStyleVar();
    ImGui::PopStyleColor();
    ImGui::PopID();
    note("code " + std::to_string(code));
  }
  ImGui::BeginChild("grid", ImVec2(0, 0), false, ImGuiWindowFlags_HorizontalScrollbar);
  const float cell = 22, margin = 30;
  const ImVec2 origin = ImGui::GetCursorScreenPos();
  ImGui::InvisibleButton("cells", ImVec2(margin + n * cell, margin + n * cell),
                         ImGuiButtonFlags_MouseButtonLeft | ImGuiButtonFlags_MouseButtonRight);
  const bool left = ImGui::IsItemClicked(ImGuiMouseButton_Left);
  const bool right = ImGui::IsItemClicked(ImGuiMouseButton_Right);
  const bool hovered = ImGui::IsItemHovered();
  ImDrawList* dl = ImGui::GetWindowDrawList();
  // Only what the child shows is drawn, so that 256 elements stay quick.
  const ImVec2 clip_min = ImGui::GetWindowPos(), clip_max(clip_min.x + ImGui::GetWindowWidth(),
                                                          clip_min.y + ImGui::GetWindowHeight());
  const int32_t first_col = std::max(0, int32_t((clip_min.x - origin.x - margin) / cell));
  const int32_t last_col = std::min(n - 1, int32_t((clip_max.x - origin.x - margin) / cell));
  const int32_t first_row = std::max(0, int32_t((clip_min.y - origin.y - margin) / cell));
  const int32_t last_row = std::min(n - 1, int32_t((clip_max.y - origin.y - margin) / cell));
  char text[16];
  for (int32_t j = first_col; j <= last_col; ++j) {
    std::snprintf(text, sizeof text, "%d", j);
    dl->AddText(ImVec2(origin.x + margin + j * cell + 2, origin.y + 8), IM_COL32(200, 200, 200, 255), text);
  }
  for (int32_t i = first_row; i <= last_row; ++i) {
    std::snprintf(text, sizeof text, "%d", i);
    dl->AddText(ImVec2(origin.x + 2, origin.y + margin + i * cell + 4), IM_COL32(200, 200, 200, 255), text);
    for (int32_t j = first_col; j <= last_col; ++j) {
      const ImVec2 a(origin.x + margin + j * cell, origin.y + margin + i * cell);
      const ImVec2 b(a.x + cell - 2, a.y + cell - 2);
      if (j <= i) {  // a pair is kept once, above the diagonal
        dl->AddRectFilled(a, b, IM_COL32(30, 30, 34, 255));
        continue;
      }
      const int32_t code = project_->collision(i, j);
      uint8_t r, g, bl;
      frontend::collision_colour(code, r, g, bl);
      dl->AddRectFilled(a, b, code == 0 ? IM_COL32(64, 64, 72, 255) : IM_COL32(r, g, bl, 255));
      if (code) {
        std::snprintf(text, sizeof text, "%d", code);
        dl->AddText(ImVec2(a.x + 5, a.y + 3), IM_COL32(255, 255, 255, 255), text);
      }
      if (n <= 32) targets_["cell " + std::to_string(i) + " " + std::to_string(j)] = {a, b};
    }
  }
  if (hovered || left || right) {
    const ImVec2 m = ImGui::GetIO().MousePos;
    const int32_t j = int32_t((m.x - origin.x - margin) / cell), i = int32_t((m.y - origin.y - margin) / cell);
    if (m.x >= origin.x + margin && m.y >= origin.y + margin && i >= 0 && j >= 0 && i < n && j < n) {
      const int32_t code = project_->collision(i, j);
      const std::string pair = rows_[size_t(i)].name + " / " + rows_[size_t(j)].name;
      if (hovered) {
        if (j <= i) ImGui::SetTooltip("Collision not supported");
        else if (code == 0) ImGui::SetTooltip("Collision will be ignored\n%s", pair.c_str());
        else ImGui::SetTooltip("Collision code: %d\n%s", code, pair.c_str());
      }
      if ((left || right) && j > i) {
        const int32_t to = right || code == collision_code_ ? 0 : collision_code_;
        frontend::Project::Snapshot before = project_->snapshot();
        const frontend::Status s = project_->set_collision(i, j, to);
        edited(s, std::move(before));
        check(s, "Collision code of " + pair + ": " + std::to_string(to));
      }
    }
  }
  ImGui::EndChild();
}

void Workshop::draw_settings() {
  ImGui::TextWrapped("Settings kept with the project, for every element.");
  ImGui::Separator();
  for (const frontend::SettingInfo& info : frontend::project_settings()) {
    if (setting_bufs_.find(info.name) == setting_bufs_.end()) setting_bufs_[info.name] = project_->setting(info.name);
    std::string& value = setting_bufs_[info.name];
    char buf[256];
    copy_to(buf, sizeof buf, value);
    ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x * 0.5f);
    const bool entered = ImGui::InputText(info.label, buf, sizeof buf, ImGuiInputTextFlags_EnterReturnsTrue);
    note(std::string("setting ") + info.name);
    if (ImGui::IsItemHovered()) ImGui::SetTooltip("%s", info.help);
    value = buf;
    const bool apply = entered || ImGui::IsItemDeactivatedAfterEdit();
    if (std::string(info.name) == "background") pick_button("background", true);
    if (apply) {
      frontend::Project::Snapshot before = project_->snapshot();
      const frontend::Status s = project_->set_setting(info.name, value);
      edited(s, std::move(before));
      check(s, std::string("Set the project's ") + info.label);
      value = project_->setting(info.name);
    }
  }
  ImTextureID texture{};
  ImVec2 size;
  const std::string background = project_->setting("background");
  if (!background.empty() && thumbnail(background, texture, size)) ImGui::Image(texture, size);
  ImGui::Spacing();
  ImGui::TextWrapped("Fog is not kept with a project: every run starts without it, and a brain sets it "
                     "(fog_set, fog_color_set, fogeffect_set).");
  draw_picker();
}

void Workshop::open_brain_editor() {
  const std::string path = project_->brain_path(selected_);
  const std::string editor = frontend::text_editor();
  // The file's time before the editor starts: a quick editor may save before it is looked at.
  struct stat st {};
  watched_brain_ = path;
  watched_element_ = selected_;
  watched_time_ = stat(path.c_str(), &st) == 0 ? int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec : 0;
  // The editor command may carry its own arguments ("code --wait"): the shell splits it. A
  // broken pipe does not end the editor once the workshop has closed and stopped reading.
  const frontend::Status s =
      editor_.start("/bin/sh", "/", {}, {"-c", "trap '' PIPE; " + editor + " \"$1\"", "sh", path});
  check(s, "Opened the brain of element " + std::to_string(selected_) + " in " + editor);
  if (!s.ok) watched_brain_.clear();
}

// A brain open in the user's editor is taken up whenever its file changes.
void Workshop::watch_brain() {
  if (editor_.running() && editor_.poll()) {
    const frontend::RunResult& r = editor_.result();
    if (!editor_.output().empty()) say(editor_.output());
    if (r.exit_status != 0 || r.signal) say("The editor ended with exit status " + std::to_string(r.exit_status));
  }
  if (watched_brain_.empty() || !project_) return;
  struct stat st {};
  if (stat(watched_brain_.c_str(), &st) != 0) return;
  const int64_t time = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  if (time == watched_time_) return;
  watched_time_ = time;
  const int32_t i = watched_element_;
  if (i < 0 || i >= project_->count()) return;
  // The project was read again since (after a mode): the element's brain file has another
  // name now, and takes what the editor saved.
  const std::string current = project_->brain_path(i);
  if (current != watched_brain_) {
    std::error_code ec;
    fs::copy_file(watched_brain_, current, fs::copy_options::overwrite_existing, ec);
    if (ec) {
      problem_ = "cannot take up the edited brain: " + ec.message();
      say(problem_);
      return;
    }
  }
  brain_summaries_.clear();
  const frontend::Status s = project_->brain_changed(i);
  check(s, "Reloaded the brain of element " + std::to_string(i) + ": it changed on disk");
  if (i == selected_) load_fields();
}


void Workshop::draw_log() {
  ImGui::TextUnformatted("Log");
  ImGui::BeginChild("log", ImVec2(0, 0), true, ImGuiWindowFlags_HorizontalScrollbar);
  const std::string shown = last_lines(log_, 400);
  ImGui::TextUnformatted(shown.c_str());
  if (launch_.running()) ImGui::TextUnformatted(last_lines(launch_.output(), 20).c_str());
  if (ImGui::GetScrollY() >= ImGui::GetScrollMaxY() - 4) ImGui::SetScrollHereY(1.0f);
  ImGui::EndChild();
}

void Workshop::draw_close_question() {
  if (close_question_) {
    ImGui::OpenPopup("Unsaved changes");
    close_question_ = false;
  }
  if (ImGui::BeginPopupModal("Unsaved changes", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
    ImGui::Text("%s has unsaved changes. Save them before closing?", fs::path(project_->path()).filename().c_str());
    auto done = [&] {
      ImGui::CloseCurrentPopup();
      if (after_close_exit_) exit_ = true;
      else close_project();
    };
    if (button("Save and close")) {
      const frontend::Status s = project_->save();
      check(s, "Saved " + project_->path());
      if (s.ok) done();
      else ImGui::CloseCurrentPopup();
    }
    ImGui::SameLine();
    if (button("Close without saving")) done();
    ImGui::SameLine();
    if (button("Cancel")) ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
  }
}

}  // namespace korva::workshop
