// Seams through which the core and the model reach the user before the panel GUI exists:
// the message box and the status panel. Unset hooks write the text to stderr.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace korva {

struct Core;

struct UiHooks {
  // A question or notice: lines separated by "|"; returns 1 for the left button (or Enter),
  // 2 for the right one (or Delete), 0 for a notice without buttons.
  std::function<int32_t(std::string_view text, std::string_view left, std::string_view right)>
      message_box;
  // The status panel ("Loading data, please wait..."); an empty text clears it.
  std::function<void(std::string_view text)> status;
  // One-line text entry: the prompt's lines separated by "|"; returns the text as edited.
  std::function<std::string(int32_t min_width, std::string_view initial, std::string_view prompt)>
      input_box;
};

// A notice with a single " OK " button.
void show_message(Core& c, std::string_view text);
// A question with two buttons; returns 1 (left) or 2 (right). Without a GUI, the left answer.
int32_t ask_question(Core& c, std::string_view text, std::string_view left, std::string_view right);
void show_status(Core& c, std::string_view text);
// Asks for a line of text. Without a GUI, the initial text.
std::string ask_text(Core& c, int32_t min_width, std::string_view initial, std::string_view prompt);

}  // namespace korva
