// The workshop's screens, drawn with Dear ImGui. Every edit goes through the front ends' shared
// library (the same operations korva-go's commands use); modes run korva in the installation
// while the window keeps drawing, and korva's output lands in the log panel.
#include "workshop.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace korva::workshop {

namespace fs = std::filesystem;

namespace {

// launched_mode_ while korva-mkdata writes an installation.
constexpr int32_t kMakingInstallation = -2;

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
      {"Play", -1, false, nullptr},
  };
  return kModes;
}

Workshop::Workshop(std::string install_dir, std::string own_executable)
    : own_executable_(std::move(own_executable)) {
  set_installation(install_dir);
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

void Workshop::open_project(const std::string& path) {
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
  brain_text_.clear();
  if (!project_ || selected_ < 0 || selected_ >= project_->count()) return;
  brain_text_ = project_->brain_description(selected_);
  for (const frontend::FieldInfo& f : frontend::element_fields()) field_bufs_[f.name] = project_->field(selected_, f.name);
}

void Workshop::edited(const frontend::Status& s, frontend::Project::Snapshot before) {
  if (!s.ok) return;
  // A long session keeps the latest edits undoable, not all of them.
  constexpr size_t kMostUndo = 200;
  undo_.push_back(std::move(before));
  if (undo_.size() > kMostUndo) undo_.erase(undo_.begin());
  redo_.clear();
}

void Workshop::undo() {
  if (!project_ || undo_.empty() || launch_.running()) return;
  redo_.push_back(project_->snapshot());
  project_->restore(undo_.back());
  undo_.pop_back();
  selected_ = std::clamp(selected_, 0, std::max(0, project_->count() - 1));
  load_fields();
  say("Undone");
}

void Workshop::redo() {
  if (!project_ || redo_.empty() || launch_.running()) return;
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
      problem_ = "There is no stand-alone game yet: make one with the Builder";
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
  // Every mode reloads the project afterwards: korva numbers its private brain files the way
  // this process does, so a mode on another project (the builder) may have rewritten the files
  // the open project's brains are read from when it is saved.
  reload_after_ = true;
  check(launch_.start(korva, install_dir_, {}), std::string("Started korva: ") + mode.label);
}

void Workshop::finish_launch() {
  const frontend::RunResult& r = launch_.result();
  const frontend::Marker marker = launched_mode_ == 1 ? frontend::Marker::Expected : frontend::Marker::NotUsed;
  const frontend::Outcome o = frontend::judge_run(r, marker, install_dir_);
  if (!launch_.output().empty()) say(launch_.output());
  if (launched_mode_ == kMakingInstallation) set_installation(install_dir_);
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
  if (launch_.running() && launch_.poll()) finish_launch();
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
    for (size_t i = 0; i < projects_.size(); ++i) {
      const frontend::ProjectEntry& e = projects_[i];
      ImGui::TableNextRow();
      ImGui::TableNextColumn();
      ImGui::TextUnformatted(e.kit.c_str());
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

void Workshop::draw_project_page() {
  draw_toolbar();
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
        ImGui::TableNextColumn();
        ImGui::TextUnformatted(r.brain.c_str());
        ImGui::TableNextColumn();
        ImGui::TextUnformatted(r.active ? "yes" : "no");
      }
    }
    ImGui::EndTable();
  }
}

void Workshop::draw_properties() {
  if (selected_ < 0 || selected_ >= project_->count()) {
    ImGui::TextDisabled("No element selected");
    return;
  }
  ImGui::Text("Element %d: %s", selected_, rows_.empty() ? "" : rows_[selected_].kind.c_str());
  if (!brain_text_.empty()) ImGui::TextWrapped("Brain: %s", brain_text_.c_str());
  ImGui::Separator();
  for (const frontend::FieldInfo& f : frontend::element_fields()) {
    std::string& value = field_bufs_[f.name];
    char buf[256];
    copy_to(buf, sizeof buf, value);
    ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x * 0.55f);
    const bool entered = ImGui::InputText(f.label, buf, sizeof buf, ImGuiInputTextFlags_EnterReturnsTrue);
    note(std::string("field ") + f.name);
    value = buf;
    // A field is applied when the user presses Enter or leaves it after an edit.
    if (entered || ImGui::IsItemDeactivatedAfterEdit()) {
      frontend::Project::Snapshot before = project_->snapshot();
      const frontend::Status s = project_->set_field(selected_, f.name, value);
      edited(s, std::move(before));
      check(s, std::string("Set ") + f.name + " of element " + std::to_string(selected_));
      value = project_->field(selected_, f.name);  // refused: back to what the element holds
      if (s.ok && std::string(f.name) == "brain") brain_text_ = project_->brain_description(selected_);
    }
  }
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
