// The files of a fuzzer run: one private folder for the process, removed when the run ends,
// and the inputs written into it for the readers that take a path.
#pragma once
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace korva::fuzz {

struct RunFolder {
  std::string path;  // ends in "/"
  ~RunFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

// The folder of this run (with a data/ folder inside, as an installation has). It lies in
// memory (/dev/shm) where there is one: the readers write and remove files for every input,
// which on a disk's file system costs more than the reading itself.
inline const std::string& run_folder() {
  static const RunFolder dir{[] {
    std::string tmpl = access("/dev/shm", W_OK) == 0 ? "/dev/shm/korva-fuzz-XXXXXX" : "/tmp/korva-fuzz-XXXXXX";
    if (mkdtemp(tmpl.data()) == nullptr) abort();
    std::filesystem::create_directories(tmpl + "/data");
    return tmpl + "/";
  }()};
  return dir.path;
}

// Writes an input to the file name in the run folder and returns its path.
inline std::string write_input(const std::string& name, const uint8_t* data, size_t size) {
  const std::string path = run_folder() + name;
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(data), std::streamsize(size));
  return path;
}

}  // namespace korva::fuzz
