// Fuzz target of the text files a run reads: the first byte picks a scripted-input file (parsed,
// then fed to an input state at its own event times) or a globals_load file (read into a range
// of the global table chosen by the next two bytes); the rest is the file.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_files.h"
#include "core/core.h"
#include "core/system.h"
#include "devices/input.h"
#include "devices/input_script.h"
#include "model/run_state.h"
#include "runtime/globals_keywords.h"

namespace {


void feed_script(std::string_view text, uint8_t shape) {
  std::vector<std::string> errors;
  korva::InputScript script = korva::parse_input_script(text, errors);
  korva::Input in;
  const int32_t width = 1 + shape * 7, height = 1 + shape * 3;
  for (size_t i = 0; i < script.events.size() && i < 64; ++i)
    korva::feed_input_script(script, in, script.events[i].time, width, height);
  korva::feed_input_script(script, in, INT64_MAX, width, height);
  (void)korva::input_script_done(script);
}

void load_globals(const uint8_t* data, size_t size) {
  if (size < 2) return;
  const std::string path = korva::fuzz::write_input("globals.txt", data + 2, size - 2);
  static std::unique_ptr<korva::Core> core = korva::core_create();  // one for the run: its pools are large
  korva::RunState run;
  korva::System sys;
  sys.core = core.get();
  sys.run = &run;
  // The range as globals_load sets it: within the 2048 words of the table.
  run.globals_first = (data[0] << 3) % korva::kGlobalWords;
  run.globals_last = run.globals_first + data[1] * 8;
  if (run.globals_last >= korva::kGlobalWords) run.globals_last = korva::kGlobalWords - 1;
  (void)korva::load_globals_file(sys, path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1)
    load_globals(data + 1, size - 1);
  else
    feed_script(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1), data[0] >> 1);
  return 0;
}
