// korva-go: run, edit or build a Korva project from the command line. The exit status is 0
// only when korva ran the mode and ended normally.
#include <cstdio>
#include <filesystem>

#include "front_end.h"

int main(int argc, char** argv) {
  std::error_code ec;
  const std::string own = std::filesystem::read_symlink("/proc/self/exe", ec).string();
  return korva::go::front_end_main(std::vector<std::string>(argv + 1, argv + argc), own, stdout, stderr);
}
