// The workshop's screens: the start page (installation, its projects, new project) and the
// project window (element table, properties, toolbar of modes, log), drawn with Dear ImGui
// one frame at a time. Window, input and scripts live in main.cpp and script.cpp.
#pragma once
#include <imgui.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "frontend/frontend.h"

namespace korva::workshop {

// Where a named widget was drawn last frame, so that scripted input can click it.
struct Target {
  ImVec2 min, max;
};

class Workshop {
 public:
  Workshop(std::string install_dir, std::string own_executable);

  void draw();  // one frame of the whole window
  // The window's close button: asks first when there are unsaved edits. True: close now.
  bool request_close();
  bool wants_exit() const { return exit_; }
  void shortcut_run();   // F5
  void shortcut_save();  // Ctrl+S
  void undo();           // Ctrl+Z
  void redo();           // Ctrl+Y
  bool busy() const { return launch_.running(); }
  std::string title() const;

  const std::map<std::string, Target>& targets() const { return targets_; }
  const std::string& log() const { return log_; }

  struct Mode {
    const char* label;
    int32_t number;       // -1: play the stand-alone game
    bool element;         // works on the selected element
    const char* missing;  // why it is disabled; nullptr when it is there
  };

 private:
  enum class Page { Start, Project };

  void draw_start_page();
  void draw_project_page();
  void draw_toolbar();
  void draw_elements();
  void draw_properties();
  void draw_log();
  void draw_close_question();

  bool button(const char* label, bool enabled = true, const char* tooltip = nullptr);
  void note(const std::string& name);  // records the last item as a target
  void say(const std::string& line);   // a line in the log
  void check(const frontend::Status& s, const std::string& what);

  void set_installation(const std::string& dir);
  void create_installation();
  void open_project(const std::string& path);
  void close_project();
  void load_fields();
  void launch(const Mode& mode);
  void finish_launch();

  std::string own_executable_;
  std::string install_dir_;
  char install_buf_[512] = {};
  std::vector<frontend::ProjectEntry> projects_;
  char new_name_[128] = {};
  int32_t new_template_ = 0;

  Page page_ = Page::Start;
  std::unique_ptr<frontend::Project> project_;
  std::vector<frontend::ElementRow> rows_;
  int32_t selected_ = 0;
  int32_t add_kind_ = 10;  // visual
  std::map<std::string, std::string> field_bufs_;
  std::string brain_text_;  // the selected element's brain description
  // The workshop's own edits, each undone by going back to the table before it.
  std::vector<frontend::Project::Snapshot> undo_, redo_;
  void edited(const frontend::Status& s, frontend::Project::Snapshot before);

  frontend::Launch launch_;
  int32_t launched_mode_ = 0;
  bool reload_after_ = false;
  std::string log_;
  std::string problem_;  // the last refusal, shown under the toolbar

  bool close_question_ = false;
  bool exit_ = false;
  bool after_close_exit_ = false;  // the question came from closing the window, not the project
  std::map<std::string, Target> targets_;
};

}  // namespace korva::workshop
