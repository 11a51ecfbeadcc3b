// Scripted input (KORVA_INPUT=FILE): timed key, text, mouse, wheel and joystick events fed
// through the same handlers as real input. The format is in docs/scripted-input.md.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "devices/input.h"

namespace korva {

enum class InputEventKind : int32_t {
  KeyDown, KeyUp, Character, Mouse, Wheel, JoyAxis, JoyButton, JoyHat
};

struct InputEvent {
  int64_t time = 0;  // loop frame during a run, pump count elsewhere
  InputEventKind kind = InputEventKind::KeyDown;
  int32_t a = 0, b = 0, c = 0, d = 0;
};

struct InputScript {
  std::vector<InputEvent> events;  // in time order
  size_t next = 0;
};

// Parses a script. Each bad line is described in `errors` ("line N: ...") and skipped.
InputScript parse_input_script(std::string_view text, std::vector<std::string>& errors);
// Feeds every event whose time is at or before `now`. A mouse event is a mouse sample of a
// width x height display: it goes through input_sample_mouse like the platform's pointer does.
void feed_input_script(InputScript& s, Input& in, int64_t now, int32_t width, int32_t height);
bool input_script_done(const InputScript& s);

}  // namespace korva
