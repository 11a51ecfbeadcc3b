// Scripted input for tests and demonstrations: clicks on named widgets, typed text and keys,
// fed through the same ImGui input the mouse and keyboard use, one step per frame.
#pragma once
#include <SDL.h>
#include <imgui.h>

#include <cstdint>
#include <string>
#include <vector>

#include "workshop.h"

namespace korva::workshop {

// One command per line ("#" starts a comment):
//   click TARGET       move the mouse onto a named widget, press and release the left button
//   type TEXT          type the text into the focused field
//   key NAME           press and release a key: Return, Escape, Tab, Delete, F5, ctrl+s
//   wait N             let N frames pass
//   wait-idle          wait until korva has ended
//   wait-log TEXT      wait (up to a minute) until the log holds the text
//   screenshot FILE    write the next picture as PNG
//   expect-log TEXT    fail unless the log holds the text
//   expect-title TEXT  fail unless the window title is the text
//   close              close the window as its close button would
// The workshop ends when the script has run out.
class Script {
 public:
  bool load(const std::string& path, std::string& error);
  // Before ImGui::NewFrame: sets the scripted mouse, pushes key and text events.
  void before_frame(Workshop& w, ImGuiIO& io);
  // The screenshot the current frame should be written to, or "".
  std::string screenshot_due();
  bool finished() const { return next_ >= lines_.size() && phase_ == 0; }
  int32_t failures() const { return failures_; }

 private:
  void fail(const std::string& why);
  std::vector<std::string> lines_;
  size_t next_ = 0;
  int32_t phase_ = 0;  // step within the current command
  int32_t waited_ = 0;
  Uint32 started_ = 0;
  ImVec2 mouse_{-1, -1};
  std::string screenshot_;
  int32_t failures_ = 0;
};

}  // namespace korva::workshop
