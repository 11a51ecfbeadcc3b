// libFuzzer entry for the readers of untrusted model and visual files: the first byte picks the
// reader, the rest is the file. Built with -DKORVA_FUZZ=ON (clang).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "render/render.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t which = data[0] % 4;
  ++data;
  --size;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  using namespace korva;
  switch (which) {
    case 0: {
      TriangleList out;
      tds_parse(data, size, out);
      mirror_triangles(out);
      break;
    }
    case 1: {
      render::VisualFile f = render::parse_visual(text);
      render::TextureCache textures;
      for (auto& d : f.parts) {
        d.part.image.clear();  // no file access while fuzzing
        d.triangles = {{0, 0, 0, 0, 1, 0, 1, 0, 0}};
        render::build_part_mesh(d, textures);
        render::wrap_from_part(d.part);
      }
      break;
    }
    case 2: {
      rm::Mesh m;
      render::parse_shape(text, m);
      break;
    }
    default:
      render::parse_camera(text);
      render::parse_background(text);
      break;
  }
  return 0;
}
