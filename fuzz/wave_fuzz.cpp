// Fuzz target of the wave reader: any bytes as a ".wav" file. A file is refused with a reason
// or read into whole frames of a format a sound buffer takes, and its mono mix-down is made.
#include <stdlib.h>

#include <cstdint>
#include <span>

#include "devices/sound_wave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const korva::WaveResult r = korva::wave_parse(std::span<const uint8_t>(data, size));
  if (!r.ok) {
    if (r.problem.empty()) abort();  // a refusal always says why
    return 0;
  }
  const korva::Wave& w = r.wave;
  if (w.channels != 1 && w.channels != 2) abort();
  if (w.bits != 8 && w.bits != 16) abort();
  if (w.samples.size() % size_t(w.channels * w.bits / 8) != 0) abort();  // whole frames only
  (void)korva::wave_mono(w);
  return 0;
}
