// A fresh installation made by korva-mkdata, driven through korva-go headless under scripted
// input, and the reading of the project records it saved.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "editor_script.h"

namespace korva::go_test {

inline std::string read(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

using editor_script::record_field;

struct Installation {
  std::filesystem::path bin{KORVA_BINARY_DIR};
  std::filesystem::path dir;
  bool ready = false;
  explicit Installation(const std::string& name)
      : dir(std::filesystem::temp_directory_path() / ("korva-" + name + "-" + std::to_string(getpid()))) {
    for (const char* program : {"korva-mkdata", "korva-go", "korva"})
      if (!std::filesystem::exists(bin / program)) return;
    std::filesystem::remove_all(dir);
    ready = std::system(((bin / "korva-mkdata").string() + " --quiet " + dir.string()).c_str()) == 0;
  }
  ~Installation() { std::filesystem::remove_all(dir); }
  // Runs korva-go with a script; returns its exit status and leaves its output in `log`.
  int go(const std::string& script, const std::string& command, std::string& log) {
    std::ofstream(dir / "input.txt") << script;
    const std::string line = "cd / && env -u DISPLAY -u WAYLAND_DISPLAY KORVA_INPUT=" + (dir / "input.txt").string() +
                             " " + (bin / "korva-go").string() + " --dir " + dir.string() + " --headless " + command +
                             " > " + (dir / "go.txt").string() + " 2>&1";
    const int status = std::system(line.c_str());
    log = read(dir / "go.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
};

}  // namespace korva::go_test
