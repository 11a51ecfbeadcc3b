// Fuzz target of the math tables: the first byte picks "sinus.bin", "sinusbig.bin", "atan.bin" or
// "random.bin", the rest becomes that file (of any length; the other three are the shipped
// tables). After load_math_tables the lookups that read the tables run over angles, ratios and
// ranges taken from the input: whatever the tables hold, they must stay inside them and end.
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_files.h"
#include "core/core.h"
#include "core/paths.h"
#include "engine/directions.h"
#include "engine/math_tables.h"
#include "engine/rotation.h"

namespace {

constexpr const char* kTables[] = {"sinus.bin", "sinusbig.bin", "atan.bin", "random.bin"};

// The shipped tables as their files hold them.
std::vector<std::string> shipped_tables() {
  std::vector<int8_t> sine(korva::kByteSineBytes);
  korva::make_byte_sine_table(sine.data());
  std::vector<int32_t> fine(korva::kFineSineEntries);
  korva::make_fine_sine_table(fine.data());
  std::vector<int32_t> atan(korva::kAtanEntries);
  korva::make_atan_table(atan.data());
  std::vector<uint8_t> random(korva::kRandomBytes);
  korva::make_random_table(random.data());
  const auto bytes = [](const void* p, size_t n) { return std::string(static_cast<const char*>(p), n); };
  return {bytes(sine.data(), sine.size()), bytes(fine.data(), fine.size() * 4),
          bytes(atan.data(), atan.size() * 4), bytes(random.data(), random.size())};
}

void write_table(size_t k, const std::string& bytes) {
  korva::fuzz::write_input("data/" + std::string(kTables[k]),
                           reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

int32_t word_at(const uint8_t* data, size_t size, size_t k) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = v << 8 | (size ? data[(k * 4 + i) % size] : 0);
  return static_cast<int32_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string& dir = korva::fuzz::run_folder();
  static const std::vector<std::string> shipped = shipped_tables();
  static std::unique_ptr<korva::Core> core = [&] {
    for (size_t k = 0; k < 4; ++k) write_table(k, shipped[k]);
    auto made = korva::core_create();
    korva::str_set(*made->data_folder, dir + "data/");
    return made;
  }();
  korva::Core& c = *core;
  const size_t pick = data[0] % 4;
  korva::fuzz::write_input("data/" + std::string(kTables[pick]), data + 1, size - 1);
  korva::load_math_tables(c);

  for (size_t k = 0; k < 16; ++k) {
    const int32_t a = word_at(data, size, k), b = word_at(data, size, k + 16);
    (void)korva::eighth_degrees(c, a < 0 ? -int64_t(a) : a);
    (void)korva::direction_of(c, a, b, a == 0 ? 0 : std::abs(int64_t(b) * 2 / a));
    korva::IVec3 v{a, b, a ^ b};
    korva::rotate_about_x(c, v, a);
    korva::rotate_about_y(c, v, b);
    korva::rotate_about_z(c, v, a ^ b);
    (void)korva::random_range(c, a, b);
  }
  // Put the shipped table back so that the next input starts from a sound set.
  write_table(pick, shipped[pick]);
  return 0;
}
