// Text files of the installation: project and element files (with their embedded brains), the
// project's companion file, and the helpers that join lines the system's way (CR LF).
#include "bytes.h"

namespace korva::mkdata {

std::string crlf(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& line : lines) s += line + "\r\n";
  return s;
}

Bytes to_bytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes project_encode(std::string_view description, const std::vector<DemoElement>& elements,
                     std::string_view settings) {
  std::vector<std::string> lines;
  lines.push_back(";" + std::string(description));
  lines.push_back(std::to_string(elements.size()));
  for (const DemoElement& e : elements) lines.push_back(e.record);
  // Element files have no settings line: their first brain marker ends the records.
  if (!settings.empty()) lines.emplace_back(settings);
  for (size_t i = 0; i < elements.size(); ++i) {
    lines.push_back("@" + std::to_string(i));
    std::string_view brain = elements[i].brain;
    while (!brain.empty()) {
      const size_t end = brain.find('\n');
      lines.emplace_back(brain.substr(0, end));
      brain = end == std::string_view::npos ? std::string_view{} : brain.substr(end + 1);
    }
  }
  return to_bytes(crlf(lines));
}

Bytes companion_encode(int32_t clip, int32_t fov) {
  // The collision matrix starts empty (no pair collides until the collision editor says so);
  // the six settings overlay row 254.
  Bytes b(65536, 0);
  set_u32(b, 65036, static_cast<uint32_t>(clip));
  set_u32(b, 65040, 0);  // screen value P
  set_u32(b, 65044, 0);  // screen value Q
  set_u32(b, 65048, 0);  // screen value R
  set_u32(b, 65052, 0);
  set_u32(b, 65056, static_cast<uint32_t>(fov));
  return b;
}

}  // namespace korva::mkdata
