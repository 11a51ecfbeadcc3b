// The key queue, typed text, live keys, mouse, wheel, modifiers and joystick scaling.
#include "devices/input.h"

#include "core/core.h"

namespace korva {
namespace {

void queue_entry(Input& in, int32_t code, int32_t scan) {
  // No overflow check: sixteen entries without a read bring the write index back onto the
  // read index, and the queue reads as empty.
  in.queue[in.write] = static_cast<uint32_t>(code & 0xFF) | (static_cast<uint32_t>(scan & 0xFF) << 16);
  in.write = (in.write + 1) % kKeyQueueEntries;
}

struct KeyName {
  const char* name;
  int32_t code;
};

constexpr KeyName kKeyNames[] = {
    {"UP", 72},       {"LEFT", 75},   {"RIGHT", 77},   {"DOWN", 80},     {"RETURN", 28},
    {"CTRL", 29},     {"ALT", 56},    {"LSHIFT", 42},  {"RSHIFT", 54},   {"SPACE", 57},
    {"F1", 59},       {"F2", 60},     {"F3", 61},      {"F4", 62},       {"F5", 63},
    {"F6", 64},       {"F7", 65},     {"F8", 66},      {"F9", 67},       {"F10", 68},
    {"F11", 87},      {"F12", 88},    {"ESC", 1},      {"1", 2},         {"2", 3},
    {"3", 4},         {"4", 5},       {"5", 6},        {"6", 7},         {"7", 8},
    {"8", 9},         {"9", 10},      {"0", 11},       {"BACKSPACE", 14}, {"TAB", 15},
    {"Q", 16},        {"W", 17},      {"E", 18},       {"R", 19},        {"T", 20},
    {"Y", 21},        {"U", 22},      {"I", 23},       {"O", 24},        {"P", 25},
    {"A", 30},        {"S", 31},      {"D", 32},       {"F", 33},        {"G", 34},
    {"H", 35},        {"J", 36},      {"K", 37},       {"L", 38},        {"Z", 44},
    {"X", 45},        {"C", 46},      {"V", 47},       {"B", 48},        {"N", 49},
    {"M", 50},        {"HOME", 71},   {"PAGEUP", 73},  {"END", 79},      {"PAGEDOWN", 81},
    {"INSERT", 82},   {"DELETE", 83}, {"-", 12},       {"=", 13},        {"[", 26},
    {"]", 27},        {";", 39},      {"'", 40},       {"`", 41},        {"\\", 43},
    {",", 51},        {".", 52},      {"/", 53},
};

// The keys the any-key sampler looks at, in its order (virtual keys 8..15, then 19..135),
// each as the scan code of that key.
constexpr uint8_t kAnyKeyOrder[] = {
    14, 15, 28,                                      // backspace, tab, return
    69, 58, 1, 57, 73, 81, 79, 71, 75, 72, 77, 80,   // pause, caps, esc, space, page/home/arrows
    82, 83,                                          // insert, delete
    11, 2, 3, 4, 5, 6, 7, 8, 9, 10,                  // 0..9
    30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,  // a..m
    49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44,  // n..z
    55, 78, 74, 53,                                  // keypad * + - /
    59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 87, 88,  // F1..F12
};

}  // namespace

void input_key_down(Input& in, int32_t scan, bool character_waiting) {
  if (scan > 0 && scan < 256) in.key_down[scan] = true;
  if (!character_waiting) queue_entry(in, 0, scan);
}

void input_key_up(Input& in, int32_t scan) {
  if (scan > 0 && scan < 256) in.key_down[scan] = false;
}

void input_character(Input& in, int32_t code, int32_t scan) {
  code &= 0xFF;
  if (code >= '1' && code <= '9')
    scan = code - '1' + 2;
  else if (code == '0')
    scan = 11;
  queue_entry(in, code, scan);
  if (code == 8) {
    if (in.text_len > 0) in.text[--in.text_len] = 0;
  } else if (code >= 32 && in.text_len < kTypedTextBytes - 1) {
    in.text[in.text_len++] = static_cast<char>(code);
    in.text[in.text_len] = 0;
  }
}

void input_wheel(Input& in, int32_t delta) { in.wheel = -delta; }

void input_sample_mouse(Input& in, int32_t x, int32_t y, int32_t buttons, int32_t width,
                        int32_t height) {
  in.mouse_x = x < 0 ? 0 : (x > width - 1 ? width - 1 : x);
  in.mouse_y = y < 0 ? 0 : (y > height - 1 ? height - 1 : y);
  in.mouse_buttons = buttons & 7;
}

int32_t joystick_axis_value(int32_t raw, bool dead_zone) {
  int32_t v = static_cast<int32_t>((static_cast<int64_t>(raw) * 1000) / 32767);
  if (v > 1000) v = 1000;
  if (v < -1000) v = -1000;
  if (!dead_zone) return v;
  // Inside the dead zone the axis reads 0; outside, the rest of the range is spread back
  // over 0..1000 so the stick still reaches its ends.
  int32_t mag = v < 0 ? -v : v;
  if (mag <= kJoystickDeadZone) return 0;
  int32_t scaled = (mag - kJoystickDeadZone) * 1000 / (1000 - kJoystickDeadZone);
  return v < 0 ? -scaled : scaled;
}

FixedString& next_key(Core& c, Input& in) {
  FixedString& r = c.str.result;
  r.len = 0;
  if (in.read == in.write) {
    in.last_key = 0;
    return r;
  }
  uint32_t e = in.queue[in.read];
  in.read = (in.read + 1) % kKeyQueueEntries;
  in.last_key = static_cast<int32_t>((e >> 16) & 0xFF);
  if (e & 0xFF) {
    r.text[0] = static_cast<char>(e & 0xFF);
    r.len = 1;
  }
  return r;
}

void drain_keys(Input& in) {
  in.read = in.write;
  in.last_key = 0;
}

int32_t key_down(const Input& in, int32_t scan) {
  return (scan > 0 && scan < 256 && in.key_down[scan]) ? -1 : 0;
}

int32_t key_name_code(std::string_view name) {
  for (const auto& k : kKeyNames)
    if (str_icmp(name, k.name) == 0) return k.code;
  return 0;
}

int32_t key_down(const Input& in, std::string_view name) { return key_down(in, key_name_code(name)); }

int32_t first_key_down(const Input& in) {
  for (int32_t s = 1; s < 256; ++s)
    if (in.key_down[s]) return s;
  return 0;
}

int32_t read_modifiers(Input& in) {
  int32_t m = 0;
  if (in.key_down[kScanLeftShift] || in.key_down[kScanRightShift]) m += 3;
  if (in.key_down[kScanCtrl]) m += 4;
  if (in.key_down[kScanAlt]) m += 8;
  in.modifiers = m;
  return m;
}

int32_t sample_any_key(Input& in) {
  in.any_key = 0;
  for (uint8_t s : kAnyKeyOrder) {
    if (in.key_down[s]) {
      in.any_key = s;
      break;
    }
  }
  return in.any_key;
}

int32_t wheel_read(Input& in) {
  int32_t w = in.wheel;
  in.wheel = 0;
  return w;
}

void typed_text_clear(Input& in) {
  in.text_len = 0;
  in.text[0] = 0;
}

bool any_input_down(const Input& in) {
  if (in.mouse_buttons) return true;
  for (const auto& j : in.joy)
    if (j.present && j.buttons) return true;
  for (uint8_t s : kAnyKeyOrder)
    if (in.key_down[s]) return true;
  return false;
}

}  // namespace korva
