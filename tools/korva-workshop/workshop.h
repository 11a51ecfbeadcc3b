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

// The engine's 3D device that renders thumbnails of visuals (defined in workshop.cpp).
struct PreviewHolder;

class Workshop {
 public:
  Workshop(std::string install_dir, std::string own_executable);
  ~Workshop();

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
  void draw_element_tab();
  void draw_brain_params();
  std::map<std::string, std::string> param_bufs_;  // parameter values being typed
  int32_t param_entry_ = -1;                        // the element they belong to
  void draw_collisions();
  void draw_settings();
  void draw_picker();
  void draw_recent();
  // A button that opens the picker for a field of the selected element or the project.
  void pick_button(const std::string& field, bool setting);
  // The thumbnail of a file below the installation, made once and kept as a texture; false
  // while it is not made yet or when the file gives none.
  bool thumbnail(const std::string& relative, ImTextureID& texture, ImVec2& size);
  void open_brain_editor();
  // The first line of a brain's description, kept until the next edit.
  const std::string& brain_summary(const std::string& brain);
  std::map<std::string, std::string> brain_summaries_;
  void watch_brain();
  void draw_log();
  void draw_close_question();

  bool button(const char* label, bool enabled = true, const char* tooltip = nullptr);
  void note(const std::string& name);  // records the last item as a target
  void say(const std::string& line);   // a line in the log
  void check(const frontend::Status& s, const std::string& what);

  void set_installation(const std::string& dir);
  void create_installation();
  void open_project(const std::string& given);
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

  // The picker: the field it fills ("visual", "sound", "brain", or the setting "background").
  struct Picker {
    bool open = false;
    bool request = false;
    bool setting = false;
    std::string field;
    std::vector<std::string> choices;
    std::vector<std::string> summaries;  // for brains and sounds
  } picker_;
  struct Thumb {
    unsigned int texture = 0;  // 0: none
    int32_t width = 0, height = 0;
  };
  std::map<std::string, Thumb> thumbs_;  // by relative path; a failed one stays without texture
  int32_t thumbs_this_frame_ = 0;
  std::unique_ptr<PreviewHolder> preview_;
  bool preview_tried_ = false;
  int32_t collision_code_ = 1;  // what a click on the grid sets
  std::map<std::string, std::string> setting_bufs_;
  std::vector<std::string> recent_;
  std::map<std::string, std::string> kit_descriptions_;
  // The brain file open in the user's editor, and when it was last seen changed.
  frontend::Launch editor_;
  std::string watched_brain_;
  int64_t watched_time_ = 0;
  int32_t watched_element_ = -1;

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
