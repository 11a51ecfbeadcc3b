// libFuzzer entry for our model format's reader and its conversion into frames. Built with
// -DKORVA_FUZZ=ON (clang). Seeds: the .kmd files korva-import writes for Debian's
// assimp-testmodels, e.g.
//   for f in /usr/share/assimp/models/X/*.x; do build/korva-import -- $f seeds/$(basename $f).kmd; done
#include <cstddef>
#include <cstdint>

#include "render/mesh_file.h"
#include "render/render.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korva::render;
  ModelData m;
  if (model_read(data, size, m) != ModelFileError::None) return 0;
  for (auto& mat : m.materials) mat.texture.clear();  // no file access while fuzzing
  XModel x;
  TextureCache textures;
  model_to_frames(m, "", x, textures);
  for (auto& set : x.animation_sets) korva::rm::animation_set_time(*set, set->length * 0.5f);
  return 0;
}
