// Fuzz target of the stand-alone game's files: the first byte picks a level list (".mlv" or
// "data/multilev.ini", every row then turned into its stand-alone line and toggled), a saved
// game ("currN.dat"), or a scrambled asset read back (unscrambling must give back the bytes
// that scrambling took).
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "builder/builder.h"
#include "core/core.h"
#include "core/scramble.h"
#include "fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static std::unique_ptr<korva::Core> core = [] {
    auto made = korva::core_create();
    korva::str_set(*made->base_folder, korva::fuzz::run_folder());
    return made;
  }();
  korva::Core& c = *core;
  const uint8_t* body = data + 1;
  const size_t n = size - 1;
  switch (data[0] % 3) {
    case 0: {
      const std::string path = korva::fuzz::write_input("list.mlv", body, n);
      korva::LevelRows rows = korva::load_level_list(c, path);
      if (rows.size() != size_t(korva::kLevelRows)) abort();
      for (const std::string& row : rows) (void)korva::standalone_list_line(c, row);
      korva::toggle_row(c, rows, int32_t(n % korva::kLevelRows));
      break;
    }
    case 1: {
      const std::string path = korva::fuzz::write_input("curr0.dat", body, n);
      const int32_t level = korva::saved_game_level(c, path);
      if (level < 0 || level > 999) abort();
      break;
    }
    default: {
      std::vector<uint8_t> bytes(body, body + n);
      korva::scramble_bytes(bytes.data(), int64_t(bytes.size()));
      korva::unscramble_bytes(bytes.data(), int64_t(bytes.size()));
      if (n && std::memcmp(bytes.data(), body, n) != 0) abort();
      const std::string source = korva::fuzz::write_input("asset.bin", body, n);
      (void)korva::copy_unscrambled(c, source, korva::fuzz::run_folder() + "plain.bin");
      break;
    }
  }
  return 0;
}
