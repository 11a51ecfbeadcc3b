// korva-go: run, edit or build a Korva project from the command line.
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "front_end.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  using namespace korva::go;
  Request request;
  std::string error;
  bool help = false;
  if (!parse_command_line(std::vector<std::string>(argv + 1, argv + argc), request, error, help)) {
    if (help) {
      std::fputs(help_text(), stdout);
      return 0;
    }
    std::fprintf(stderr, "korva-go: %s\n(korva-go --help explains the commands)\n", error.c_str());
    return 2;
  }
  std::error_code ec;
  const fs::path dir(request.install_dir);
  if (!fs::is_directory(dir / "data", ec)) {
    std::fprintf(stderr, "korva-go: %s is not a Korva installation (it has no data/ folder);\n"
                         "create one with: korva-mkdata %s\n", dir.c_str(), dir.c_str());
    return 2;
  }

  std::string own = fs::read_symlink("/proc/self/exe", ec).string();
  std::string korva = find_korva(request.korva, own);
  fs::path folder = dir;
  if (request.play) {
    // The stand-alone folder runs its own copy of the program, without runmode.ini.
    folder = dir / "korvaexe";
    if (!fs::is_directory(folder, ec)) {
      std::fprintf(stderr, "korva-go: %s does not exist; build a stand-alone game first (korva-go builder)\n",
                   folder.c_str());
      return 2;
    }
    for (const char* name : {"korvaexe", "korvaexe.exe"}) {
      if (access((folder / name).c_str(), X_OK) == 0) korva = (folder / name).string();
    }
  } else {
    if (request.mode == 1) fs::remove(dir / "temp" / "wasok.dat", ec);  // a fresh marker tells how it ends
    if (!request.project.empty() && !fs::exists(request.project, ec)) {
      std::printf("korva-go: %s does not exist yet: korva starts it as a new project\n", request.project.c_str());
    }
    if (!write_runmode(request, error)) {
      std::fprintf(stderr, "korva-go: %s\n", error.c_str());
      return 1;
    }
  }

  std::printf("korva-go: starting %s in %s (mode %d)\n", korva.c_str(), folder.c_str(), request.mode);
  std::fflush(stdout);
  const RunResult r = start_and_wait(korva, folder.string(), request.environment);
  if (!r.started) {
    std::fprintf(stderr, "korva-go: %s\n", r.error.c_str());
    return 127;
  }
  if (r.signal) {
    std::printf("korva-go: korva was ended by signal %d\n", r.signal);
    return 128 + r.signal;
  }
  std::printf("korva-go: korva ended with exit status %d\n", r.exit_status);
  if (request.mode == 1 && !request.play) {
    const bool ok = fs::exists(dir / "temp" / "wasok.dat", ec);
    std::printf("korva-go: %s\n", ok ? "the run ended normally" : "no run marker (temp/wasok.dat): the run did not complete");
  }
  return r.exit_status;
}
