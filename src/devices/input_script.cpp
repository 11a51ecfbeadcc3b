// Parser and feeder of scripted input.
#include "devices/input_script.h"

#include <algorithm>
#include <charconv>

namespace korva {
namespace {

std::vector<std::string_view> words_of(std::string_view line) {
  std::vector<std::string_view> w;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) w.push_back(line.substr(start, i - start));
  }
  return w;
}

bool number(std::string_view w, int64_t& out) {
  auto r = std::from_chars(w.data(), w.data() + w.size(), out);
  return r.ec == std::errc() && r.ptr == w.data() + w.size();
}

bool number32(std::string_view w, int32_t& out, int64_t lo, int64_t hi) {
  int64_t v = 0;
  if (!number(w, v) || v < lo || v > hi) return false;
  out = static_cast<int32_t>(v);
  return true;
}

// A key is a scan code (1..255) or a key name ("ESC", "A", "RETURN", ...).
bool key_code(std::string_view w, int32_t& scan) {
  if (number32(w, scan, 1, 255)) return true;
  scan = key_name_code(w);
  return scan != 0;
}

// A character is one byte, or "space".
bool character(std::string_view w, int32_t& code) {
  if (w == "space") {
    code = ' ';
    return true;
  }
  if (w.size() != 1) return false;
  code = static_cast<unsigned char>(w[0]);
  return true;
}

int32_t axis_index(std::string_view w) {
  static constexpr std::string_view kAxes[] = {"x", "y", "z", "rx", "ry", "rz", "s0", "s1"};
  for (int32_t i = 0; i < 8; ++i)
    if (w == kAxes[i]) return i;
  return -1;
}

// Parses one line into events; returns the error text, or empty when it was good.
// Far beyond any run (years of frames), and small enough that a time one later still fits.
constexpr int64_t kMaxScriptTime = int64_t(1) << 40;

std::string parse_line(std::string_view line, std::vector<InputEvent>& out) {
  auto w = words_of(line);
  if (w.empty() || w[0][0] == '#') return {};
  int64_t t = 0;
  if (!number(w[0], t) || t < 0) return "time must be a whole number of frames";
  if (t > kMaxScriptTime) return "time must be at most " + std::to_string(kMaxScriptTime);
  if (w.size() < 2) return "an event is missing after the time";
  std::string_view verb = w[1];
  auto ev = [&](InputEventKind k, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0,
                int64_t at = -1) { out.push_back({at < 0 ? t : at, k, a, b, c, d}); };
  int32_t a = 0, b = 0, c = 0;
  if (verb == "key" || verb == "down") {
    // key: down now, up one tick later; down: stays down until "up".
    if (w.size() < 3 || w.size() > 4 || !key_code(w[2], a)) return "expected: key|down SCAN [CHAR]";
    bool has_char = w.size() == 4;
    if (has_char && !character(w[3], b)) return "the character must be one letter or 'space'";
    ev(InputEventKind::KeyDown, a, has_char);
    if (has_char) ev(InputEventKind::Character, b, a);
    if (verb == "key") ev(InputEventKind::KeyUp, a, 0, 0, 0, t + 1);
    return {};
  }
  if (verb == "up") {
    if (w.size() != 3 || !key_code(w[2], a)) return "expected: up SCAN";
    ev(InputEventKind::KeyUp, a);
    return {};
  }
  if (verb == "text") {
    size_t at = line.find("text");
    std::string_view rest = line.substr(at + 4);
    if (!rest.empty() && (rest[0] == ' ' || rest[0] == '\t')) rest.remove_prefix(1);
    for (char ch : rest) {
      // The scan code of the key that types this character on a US keyboard, when known.
      char key[2] = {ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 32) : ch, 0};
      int32_t scan = ch == ' ' ? 57 : key_name_code(key);
      ev(InputEventKind::Character, static_cast<unsigned char>(ch), scan);
    }
    return {};
  }
  if (verb == "mouse" || verb == "click") {
    if (w.size() < 4 || w.size() > 5 || !number32(w[2], a, -100000, 100000) ||
        !number32(w[3], b, -100000, 100000))
      return "expected: mouse X Y [BUTTONS] or click X Y";
    if (verb == "click") {
      ev(InputEventKind::Mouse, a, b, 1);
      ev(InputEventKind::Mouse, a, b, 0, 0, t + 1);
      return {};
    }
    if (w.size() == 5 && !number32(w[4], c, 0, 7)) return "buttons must be 0..7";
    ev(InputEventKind::Mouse, a, b, c);
    return {};
  }
  if (verb == "wheel") {
    if (w.size() != 3 || !number32(w[2], a, -100000, 100000)) return "expected: wheel DELTA";
    ev(InputEventKind::Wheel, a);
    return {};
  }
  if (verb == "joy") {
    if (w.size() != 6 || !number32(w[2], a, 1, kMaxJoysticks))
      return "expected: joy 1|2 axis NAME VALUE, joy N button I up|down, joy N hat I VALUE";
    std::string_view what = w[3];
    if (what == "axis") {
      int32_t axis = axis_index(w[4]);
      if (axis < 0 || !number32(w[5], c, -1000, 1000)) return "axis is x|y|z|rx|ry|rz|s0|s1, value -1000..1000";
      ev(InputEventKind::JoyAxis, a - 1, axis, c);
      return {};
    }
    if (what == "button") {
      if (!number32(w[4], b, 0, 31) || (w[5] != "down" && w[5] != "up")) return "expected: joy N button 0..31 down|up";
      ev(InputEventKind::JoyButton, a - 1, b, w[5] == "down");
      return {};
    }
    if (what == "hat") {
      if (!number32(w[4], b, 0, 3) || !number32(w[5], c, -1, 35999)) return "expected: joy N hat 0..3 -1|0..35999";
      ev(InputEventKind::JoyHat, a - 1, b, c);
      return {};
    }
    return "joy takes axis, button or hat";
  }
  return "unknown event '" + std::string(verb) + "'";
}

}  // namespace

InputScript parse_input_script(std::string_view text, std::vector<std::string>& errors) {
  InputScript s;
  size_t line_no = 0, start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++line_no;
    std::string err = parse_line(line, s.events);
    if (!err.empty()) errors.push_back("line " + std::to_string(line_no) + ": " + err);
    start = end + 1;
  }
  std::stable_sort(s.events.begin(), s.events.end(),
                   [](const InputEvent& x, const InputEvent& y) { return x.time < y.time; });
  return s;
}

namespace {

// Whether the event puts an entry into the key queue.
bool queues_key(const InputEvent& e) {
  return e.kind == InputEventKind::Character || (e.kind == InputEventKind::KeyDown && e.b == 0);
}

bool key_queue_full(const Input& in) { return (in.write + 1) % kKeyQueueEntries == in.read; }

}  // namespace

void feed_input_script(InputScript& s, Input& in, int64_t now, int32_t width, int32_t height) {
  while (s.next < s.events.size() && s.events[s.next].time <= now) {
    // A full key queue would drop the key (and wrap onto the keys waiting): the rest of the
    // script waits until the queue has been read, so that long typed texts arrive whole.
    if (queues_key(s.events[s.next]) && key_queue_full(in)) break;
    const InputEvent& e = s.events[s.next++];
    switch (e.kind) {
      case InputEventKind::KeyDown: input_key_down(in, e.a, e.b != 0); break;
      case InputEventKind::KeyUp: input_key_up(in, e.a); break;
      case InputEventKind::Character: input_character(in, e.a, e.b); break;
      case InputEventKind::Mouse: input_sample_mouse(in, e.a, e.b, e.c, width, height); break;
      case InputEventKind::Wheel: input_wheel(in, e.a); break;
      case InputEventKind::JoyAxis: {
        Joystick& j = in.joy[e.a];
        j.present = true;
        int32_t* axes[] = {&j.x, &j.y, &j.z, &j.rx, &j.ry, &j.rz, &j.slider[0], &j.slider[1]};
        *axes[e.b] = e.c;
        break;
      }
      case InputEventKind::JoyButton: {
        Joystick& j = in.joy[e.a];
        j.present = true;
        if (e.c)
          j.buttons |= 1u << e.b;
        else
          j.buttons &= ~(1u << e.b);
        break;
      }
      case InputEventKind::JoyHat:
        in.joy[e.a].present = true;
        in.joy[e.a].pov[e.b] = e.c;
        break;
    }
  }
}

bool input_script_done(const InputScript& s) { return s.next >= s.events.size(); }

}  // namespace korva
