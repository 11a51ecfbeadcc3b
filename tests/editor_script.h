// Helpers of the tests that drive an editor by scripted input and read the project it saved.
#pragma once
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

}  // namespace korva::editor_script
