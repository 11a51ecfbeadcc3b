// The panel toolkit's PCX operations over the core's reader: the image size they find is the
// toolkit's current image size, and colour tables follow the display's pixel format.
#include "core/core.h"
#include "editors/gui.h"

namespace korva {
namespace {

PcxColourFormat colour_format(const Gui& g) { return {g.red_shift, g.green_shift, g.blue_shift}; }

int32_t keep_size(Gui& g, const PcxImage& image, int32_t result) {
  g.image_width = image.width;
  g.image_height = image.height;
  return result;
}

}  // namespace

int32_t pcx_decode(Gui& g, const uint8_t* file, int64_t size, uint8_t* buffer, int64_t capacity,
                   PcxMode mode) {
  PcxImage image;
  return keep_size(g, image, pcx_decode(file, size, buffer, capacity, mode, colour_format(g), image));
}

int32_t load_pcx(Gui& g, std::string_view path, uint8_t* buffer, int64_t capacity, PcxMode mode) {
  PcxImage image;
  return keep_size(g, image, pcx_load(*g.core, path, buffer, capacity, mode, colour_format(g), image));
}

int32_t pcx_size(Gui& g, std::string_view path) {
  PcxImage image;
  return keep_size(g, image, pcx_header_size(*g.core, path, image));
}

}  // namespace korva
