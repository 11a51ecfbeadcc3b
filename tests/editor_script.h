// Helpers of the tests that drive an editor by scripted input and read the project it saved.
#pragma once
#include <cstdint>
#include <sstream>
#include <string>

namespace korva::editor_script {

// A left-button drag (buttons 1) from (x0, y0) to (x1, y1) on the 640 x 480 display, from pump
// t on: press, a step halfway, the end, release.
inline std::string drag(int t, int x0, int y0, int x1, int y1, int buttons = 1) {
  std::ostringstream s;
  s << t << " mouse " << x0 << " " << y0 << " 0\n"
    << t + 1 << " mouse " << x0 << " " << y0 << " " << buttons << "\n"
    << t + 2 << " mouse " << (x0 + x1) / 2 << " " << (y0 + y1) / 2 << " " << buttons << "\n"
    << t + 3 << " mouse " << x1 << " " << y1 << " " << buttons << "\n"
    << t + 4 << " mouse " << x1 << " " << y1 << " 0\n";
  return s.str();
}

// Field n (from 1) of the project's record that starts with name ("(no NAME)" without one).
inline std::string record_field(const std::string& project, const std::string& name, int n) {
  const size_t at = project.find("\n" + name + "|");
  if (at == std::string::npos) return "(no " + name + ")";
  const std::string line = project.substr(at + 1, project.find('\r', at + 1) - at - 1);
  size_t p = 0;
  for (int k = 1; k < n; ++k) {
    p = line.find('|', p);
    if (p == std::string::npos) return {};
    ++p;
  }
  return line.substr(p, line.find('|', p) - p);
}

// The visual editor's panel lines are clicked in their middle; a choice box's entries are 28
// pixels apart, the box centred on the 640 x 480 display.
inline std::string click_line(int64_t t, int32_t line) {
  return std::to_string(t) + " click 100 " + std::to_string(44 + line * 22 + 8) + "\n";
}
inline std::string click_entry(int64_t t, int32_t entries, int32_t i) {
  const int32_t y0 = (480 - (entries * 28 + 40)) / 2;
  return std::to_string(t) + " click 320 " + std::to_string(y0 + 30 + i * 28 + 10) + "\n";
}
// n presses of key, one a pump from t on.
inline std::string keys(int64_t t, const char* key, int32_t n) {
  std::string s;
  for (int32_t i = 0; i < n; ++i) s += std::to_string(t + i) + " key " + key + "\n";
  return s;
}

}  // namespace korva::editor_script
