// The asset loaders of the scene kinds: cameras, 3D shapes, flat shapes, backgrounds, lights,
// visuals and .x models. Each reads its file once, during the asset pass, into the scene's
// asset table and writes the asset records that name it; the scene is built from those.
#include <algorithm>
#include <cstring>

#include "core/core.h"
#include "core/pcx.h"
#include "model/instance_record.h"
#include "model/model.h"
#include "render/overlay.h"
#include "render/scene.h"

namespace korva::render {
namespace {

int32_t word(const uint8_t* r, int32_t offset) {
  int32_t v;
  std::memcpy(&v, r + offset, 4);
  return v;
}
void set_word(uint8_t* r, int32_t offset, int32_t v) { std::memcpy(r + offset, &v, 4); }

// Adds asset a to the scene's table and writes slot's record naming it; 1 when it could.
int32_t store(System& s, int32_t element, int32_t slot, const char (&tag)[5], SceneAsset a) {
  uint8_t* r = asset_record(s, slot);
  if (!r || !s.scene) return 0;
  s.scene->assets.push_back(std::move(a));
  std::memset(r, 0, asset::kRecordBytes);
  set_word(r, scene_record::kTag, int32_t(tag_word(tag)));
  set_word(r, scene_record::kIndex, int32_t(s.scene->assets.size()) - 1);
  set_word(r, scene_record::kMark, int32_t(scene_record::kSceneMark));
  set_word(r, scene_record::kOwner, element);
  set_word(r, scene_record::kVisualNumber, s.scene->assets.back().visual_number);
  set_word(r, scene_record::kAnimationSet, -1);
  return 1;
}

// The smallest k with 2^k at least the larger side: flat-shape decals start that big.
int32_t size_exponent(int32_t width, int32_t height) {
  int32_t k = 0;
  while (k < 30 && (1 << k) < std::max(width, height)) ++k;
  return k;
}

// A flat shape's image in 32-bit XRGB. PCX files through the engine's reader (a file it
// cannot read gives false); other formats through the image decoder.
bool flat_image_read(System& s, const std::string& path, FlatImage& out) {
  Core& c = *s.core;
  if (file_exists(c, path) == 0) return false;
  const size_t dot = path.find_last_of('.');
  std::string ext = dot == std::string::npos ? "" : path.substr(dot);
  for (char& ch : ext) ch = char(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
  if (ext != ".bmp" && ext != ".png" && ext != ".jpg" && ext != ".ppm" && ext != ".tga") {
    // PCX, and the numbered further aspects ("walk_.002"), which are PCX images too.
    uint8_t* buffer = c.pool(Pool::ImageBuffer);
    PcxImage img;
    const int32_t pixels = pcx_load(c, path, buffer, pool_bytes(Pool::ImageBuffer), PcxMode::WithPalette,
                                    PcxColourFormat{}, img);
    if (pixels <= 1) return false;
    const uint8_t* palette = buffer + pixels;
    out.width = img.width;
    out.height = img.height;
    out.pixels.resize(size_t(pixels));
    for (int32_t i = 0; i < pixels; ++i) {
      const uint8_t* p = palette + 3 * buffer[i];
      out.pixels[size_t(i)] = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | uint32_t(p[2]);
    }
  } else {
    std::vector<uint8_t> rgb;
    if (!platform::image_load_rgb(path, rgb, out.width, out.height)) return false;
    out.pixels.resize(size_t(out.width) * size_t(out.height));
    for (size_t i = 0; i < out.pixels.size(); ++i)
      out.pixels[i] = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | uint32_t(rgb[3 * i + 2]);
  }
  out.size_exponent = size_exponent(out.width, out.height);
  return true;
}

bool is_x_model(std::string_view path) { return kind_from_extension(path) == ElementKind::Model; }

}  // namespace

const SceneAsset* scene_asset(const System& s, const uint8_t* record) {
  if (!record || !s.scene || uint32_t(word(record, scene_record::kMark)) != scene_record::kSceneMark) return nullptr;
  const int32_t k = word(record, scene_record::kIndex);
  if (k < 0 || k >= int32_t(s.scene->assets.size())) return nullptr;
  return &s.scene->assets[size_t(k)];
}

void scene_assets_clear(System& s) {
  if (!s.scene) return;
  s.scene->assets.clear();
  s.scene->visuals.files.clear();
}

int32_t camera_asset_load(System& s, int32_t element, int32_t slot, std::string_view path) {
  SceneAsset a;
  a.kind = ElementKind::Camera;
  a.camera = read_camera(path);
  return store(s, element, slot, "d30.", std::move(a));
}

int32_t shape_asset_load(System& s, int32_t element, int32_t slot, std::string_view path) {
  SceneAsset a;
  a.kind = ElementKind::Shape3d;
  a.shape = read_shape(path);
  return store(s, element, slot, "d3a.", std::move(a));
}

int32_t background_asset_load(System& s, int32_t element, int32_t slot, std::string_view path) {
  SceneAsset a;
  a.kind = ElementKind::Background;
  a.background = read_background(path);
  return store(s, element, slot, "d3g.", std::move(a));
}

int32_t light_asset_load(System& s, int32_t element, int32_t slot, std::string_view) {
  // A light has no file of its own: its settings are the element's field 37, which elements
  // sharing an asset path do not share; the scene reads them at build.
  SceneAsset a;
  a.kind = ElementKind::Light;
  return store(s, element, slot, "d3l.", std::move(a));
}

int32_t flat_asset_load(System& s, int32_t element, int32_t slot, std::string_view path) {
  SceneAsset a;
  a.kind = ElementKind::FlatShape;
  const std::string first(path);
  if (!flat_image_read(s, first, a.image) &&
      !flat_image_read(s, std::string(s.core->data_folder->view()) + "error.pcx", a.image)) {
    // Not even the error picture: one black (transparent) pixel keeps the element in the scene.
    a.image.width = a.image.height = 1;
    a.image.pixels.assign(1, 0);
  }
  if (store(s, element, slot, "d3b.", std::move(a)) == 0) return 0;
  // The further aspects "name.002", "name.003", ... while they exist.
  int32_t count = 1;
  for (int32_t n = 2; n <= 999 && slot + count < asset::kSlots; ++n) {
    SceneAsset more;
    more.kind = ElementKind::FlatShape;
    if (!flat_image_read(s, further_aspect_path(first, n), more.image)) break;
    if (store(s, element, slot + count, "d3b.", std::move(more)) == 0) break;
    ++count;
  }
  return count;
}

int32_t visual_asset_load(System& s, int32_t element, int32_t slot, std::string_view path) {
  if (!s.scene) return 0;
  if (is_x_model(path)) {
    SceneAsset a;
    a.kind = ElementKind::Model;
    a.model = std::make_shared<XModel>();
    if (!read_x(path, *a.model, s.scene->textures)) a.model.reset();
    std::shared_ptr<XModel> model = a.model;
    if (store(s, element, slot, "d3x.", std::move(a)) == 0) return 0;
    // A model with animation sets plays its first one in a loop from the start.
    if (model && !model->animation_sets.empty()) {
      uint8_t* r = asset_record(s, slot);
      set_word(r, scene_record::kAnimationSet, 0);
      set_word(r, scene_record::kSpeed, kDefaultAnimationSpeed);
      set_word(r, scene_record::kRangeEnd, int32_t(model->animation_sets[0]->length * 1000.0f));
    }
    return 1;
  }
  // A .v3d file: one aspect per visual it holds (visual numbers 1 to the highest).
  std::shared_ptr<VisualFile> file = visual_cache_get(s.scene->visuals, path);
  int32_t visuals = 1;
  for (const auto& p : file->parts) visuals = std::max(visuals, std::min(p.part.visual, asset::kSlots));
  int32_t count = 0;
  for (int32_t number = 1; number <= visuals && slot + count < asset::kSlots; ++number) {
    SceneAsset a;
    a.kind = ElementKind::Visual;
    a.visual = file;
    a.visual_number = number;
    if (store(s, element, slot + count, "d3v.", std::move(a)) == 0) break;
    ++count;
  }
  return count;
}

}  // namespace korva::render
