// Fuzz target of the image readers: the first byte picks the PCX decoder (in memory, in each
// output mode, into a buffer whose size the input chooses), the sprite, frame and counter
// loaders of the 2D overlays (through a file), the ".fnt" bitmap-font parser, or the stb image
// decoder; the rest is the file.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_files.h"
#include "core/bitmap_font.h"
#include "core/core.h"
#include "core/pcx.h"
#include "core/system.h"
#include "platform/platform.h"
#include "render/overlay.h"

namespace {


void decode_pcx(const uint8_t* file, size_t size, uint8_t choice) {
  // Capacities from a few bytes to 1 MiB, so that both "fits" and "does not fit" are reached.
  const int64_t capacity = int64_t(1) << (3 + choice % 18);
  // One buffer for the run, with the capacity at its end so that ASan sees any write past it.
  static std::vector<uint8_t> whole(size_t(1) << 21);
  uint8_t* buffer = whole.data() + whole.size() - size_t(capacity);
  const korva::PcxMode mode = static_cast<korva::PcxMode>((choice >> 5) % 3);
  const korva::PcxColourFormat format{(choice & 16) ? 10 : 11, 5, 0};
  korva::PcxImage image;
  (void)korva::pcx_decode(file, int64_t(size), buffer, capacity, mode, format, image);
}

void load_overlay(const uint8_t* file, size_t size, uint8_t choice) {
  const std::string path = korva::fuzz::write_input("input.pcx", file, size);
  static std::unique_ptr<korva::Core> core = korva::core_create();
  static std::unique_ptr<korva::Overlays> overlays = korva::overlays_create();
  korva::System sys;
  sys.core = core.get();
  sys.overlays = overlays.get();
  overlays->green6 = choice & 4;
  korva::overlays_reset(sys);
  switch (choice % 4) {
    case 0: (void)korva::sprite_load(sys, 0, path); break;
    case 1: (void)korva::frame_load(sys, 1, path); break;
    case 2: (void)korva::counter_load(sys, 2, path); break;
    default: {
      korva::PcxImage image;
      (void)korva::pcx_header_size(*core, path, image);
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t choice = data[1];
  const uint8_t* file = data + 2;
  const size_t file_size = size - 2;
  switch (data[0] % 4) {
    case 0:
      decode_pcx(file, file_size, choice);
      break;
    case 1:
      load_overlay(file, file_size, choice);
      break;
    case 2: {
      korva::BitmapFont font;
      if (!korva::bitmap_font_parse(font, file, int64_t(file_size))) break;
      // Text drawing reads each character's cells at its offset: they must all be there.
      for (int32_t i = 0; i < font.count; ++i)
        if (int64_t(font.offset[i]) + int64_t(font.advance[i]) * font.height > int64_t(font.cells.size()))
          abort();
      break;
    }
    default: {
      std::vector<uint8_t> rgb;
      int32_t width = 0, height = 0;
      if (korva::platform::image_decode_rgb(file, int64_t(file_size), rgb, width, height) &&
          rgb.size() < size_t(width) * size_t(height) * 3)
        abort();  // fewer bytes than the size it reports
      break;
    }
  }
  return 0;
}
