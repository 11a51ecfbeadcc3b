// Previews of visuals (.v3d) and models (.3ds, .x) for the resource browser: the file's meshes in
// a scene of their own, framed by a camera that looks at their bounding sphere from the front
// and a little above, lit by a directional light from the upper left and a dim ambient one,
// rendered by the 3D device into a small picture; and the visual editor's turntable preview of
// one frame's parts.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "editors/editors.h"
#include "editors/preview_local.h"
#include "engine/triangles.h"
#include "platform/gl/gl.h"
#include "platform/platform.h"
#include "platform/rm/rm.h"
#include "render/render.h"

namespace korva {
namespace {

std::string extension(std::string_view path) {
  const size_t dot = path.rfind('.');
  std::string e(dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1));
  for (char& ch : e) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return e;
}

// Loads the file's meshes under model; false when it has nothing to draw.
bool load_model(std::string_view path, rm::Frame& model, render::TextureCache& textures) {
  const std::string ext = extension(path);
  if (ext == "3ds") {
    render::VisualPartData part;
    part.part.quality = 3;
    part.part.color = {200, 200, 210, 0};
    // No fall-back model: a broken file shows the default preview instead of another model.
    if (read_triangles(path, part.triangles, "") <= 0) return false;
    frame_add_visual(model, render::build_part_mesh(part, textures));
    return true;
  }
  if (ext == "v3d") {
    const auto file = render::read_visual_file(path, "");
    if (!file || file->parts.empty()) return false;
    // The first visual of the file, as it appears when the element is created.
    const int32_t first = file->parts.front().part.visual;
    bool any = false;
    for (const auto& d : file->parts) {
      if (d.part.visual != first || d.triangles.empty()) continue;
      frame_add_visual(model, render::build_part_mesh(d, textures));
      any = true;
    }
    return any;
  }
  if (ext == "x") {
    render::XModel x;
    if (!render::read_x(path, x, textures, "") || !x.frame) return false;
    return rm::frame_add_child(model, x.frame);
  }
  return false;
}

// The bounds of every mesh below f, in model's coordinates.
void grow_bounds(const rm::Frame& f, const rm::Frame& model, rm::vec3& lo, rm::vec3& hi, bool& any) {
  const rm::mat4 m = rm::frame_transform(f, &model);
  for (const rm::Visual& v : f.visuals) {
    const rm::MeshPtr* mesh = std::get_if<rm::MeshPtr>(&v);
    if (!mesh || !*mesh) continue;
    for (const rm::vec3& p : (*mesh)->vertices) {
      const rm::vec3 q = rm::vec3(m * rm::vec4(p, 1.0f));
      if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.z)) continue;
      lo = any ? glm::min(lo, q) : q;
      hi = any ? glm::max(hi, q) : q;
      any = true;
    }
  }
  for (const rm::FramePtr& c : f.children) grow_bounds(*c, model, lo, hi, any);
}


// Places the viewport's camera 2.8 radii from centre along -direction, so that the bounding
// sphere fits the view (a field of 0.4 at the front plane is a half angle of about 22 degrees).
void frame_camera(rm::Viewport& view, rm::vec3 centre, float radius, rm::vec3 direction, int32_t width,
                  int32_t height) {
  rm::frame_set_position(*view.camera, nullptr, centre - direction * (radius * 2.8f));
  rm::frame_set_orientation(*view.camera, nullptr, direction, rm::vec3(0.0f, 1.0f, 0.0f));
  rm::viewport_set_rect(view, 0, 0, width, height);
  view.front = radius * 0.05f;
  view.back = radius * 8.0f;
  view.field = view.front * 0.4f;
}

// Renders the view of root into width x height RGB bytes on the device.
bool render_view(PreviewDevice& device, rm::Viewport& view, rm::Frame& root, int32_t width, int32_t height,
                 std::vector<uint8_t>& rgb) {
  platform::Surface surface;
  if (!platform::surface_create(surface, width, height, platform::PixelFormat::Xrgb8888)) return false;
  platform::surface_fill(surface, platform::pack_rgb(surface.format, 23, 26, 36));
  if (!gl::render_begin(*device.gl, surface)) return false;
  gl::viewport_clear_depth(*device.gl, view);
  gl::viewport_render(*device.gl, view, root);
  if (!gl::render_end(*device.gl, surface)) return false;
  platform::surface_to_rgb(surface, rgb);
  return rgb.size() == size_t(width) * size_t(height) * 3;
}

}  // namespace

bool render_model_preview(PreviewDevice& device, std::string_view path, int32_t width, int32_t height,
                          std::vector<uint8_t>& rgb) {
  if (!device.devices || !device.gl || width <= 0 || height <= 0) return false;
  if (!platform::devices_make_current(*device.devices)) return false;
  if (!device.gl->ready && !gl::device_init(*device.gl)) return false;

  render::TextureCache textures;
  rm::FramePtr root = rm::frame_create(nullptr);
  root->background = rm::vec3(0.09f, 0.1f, 0.14f);
  rm::FramePtr model = rm::frame_create(root.get());
  if (!load_model(path, *model, textures)) return false;
  rm::vec3 lo(0.0f), hi(0.0f);
  bool any = false;
  grow_bounds(*model, *model, lo, hi, any);
  if (!any) return false;
  const rm::vec3 centre = (lo + hi) * 0.5f;
  const float radius = std::max(glm::length(hi - lo) * 0.5f, 1e-3f);

  rm::Viewport view;
  view.camera = rm::frame_create(root.get());
  const rm::vec3 direction = glm::normalize(rm::vec3(0.35f, -0.45f, 1.0f));
  frame_camera(view, centre, radius, direction, width, height);

  rm::FramePtr lamp = rm::frame_create(root.get());
  rm::frame_set_orientation(*lamp, nullptr, glm::normalize(rm::vec3(0.6f, -0.8f, 0.7f)),
                            rm::vec3(0.0f, 1.0f, 0.0f));
  rm::frame_add_light(*lamp, rm::light_create(rm::LightKind::Directional, rm::vec3(0.9f)));
  rm::frame_add_light(*root, rm::light_create(rm::LightKind::Ambient, rm::vec3(0.35f)));
  return render_view(device, view, *root, width, height, rgb);
}

bool render_parts_preview(PreviewDevice& device, const std::vector<render::VisualPartData>& parts,
                          render::TextureCache& textures, float turn_degrees, int32_t width, int32_t height,
                          std::vector<uint8_t>& rgb) {
  if (!device.devices || !device.gl || width <= 0 || height <= 0) return false;
  if (!platform::devices_make_current(*device.devices)) return false;
  if (!device.gl->ready && !gl::device_init(*device.gl)) return false;
  rm::FramePtr root = rm::frame_create(nullptr);
  root->background = rm::vec3(0.09f, 0.1f, 0.14f);
  rm::FramePtr model = rm::frame_create(root.get());
  for (const auto& d : parts)
    if (!d.triangles.empty()) frame_add_visual(*model, render::build_part_mesh(d, textures));
  rm::vec3 lo(0.0f), hi(0.0f);
  bool any = false;
  grow_bounds(*model, *model, lo, hi, any);
  if (!any) return false;
  const rm::vec3 centre = (lo + hi) * 0.5f;
  const float radius = std::max(glm::length(hi - lo) * 0.5f, 1e-3f);

  // The turntable: the camera circles the model's centre, looking a little down at it, and
  // carries the one light, which shines from its upper left so the side in view is lit.
  const float a = glm::radians(turn_degrees);
  const rm::vec3 direction = glm::normalize(rm::vec3(-std::sin(a), -0.45f, std::cos(a)));
  rm::Viewport view;
  view.camera = rm::frame_create(root.get());
  frame_camera(view, centre, radius, direction, width, height);
  const rm::vec3 right = glm::normalize(glm::cross(rm::vec3(0.0f, 1.0f, 0.0f), direction));
  rm::FramePtr lamp = rm::frame_create(root.get());
  rm::frame_set_orientation(*lamp, nullptr, glm::normalize(direction + right * 0.6f - rm::vec3(0.0f, 0.5f, 0.0f)),
                            rm::vec3(0.0f, 1.0f, 0.0f));
  rm::frame_add_light(*lamp, rm::light_create(rm::LightKind::Directional, rm::vec3(1.0f)));
  return render_view(device, view, *root, width, height, rgb);
}

}  // namespace korva
