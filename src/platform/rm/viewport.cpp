// Viewports: a camera frame projected onto a rectangle of the device, with front and back
// planes and a field; transforms between the world and the screen; picking through a pixel.
#include <algorithm>
#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

#include "platform/rm/rm.h"

namespace korva::rm {

void viewport_set_rect(Viewport& v, int32_t x, int32_t y, int32_t width, int32_t height) {
  v.x = x;
  v.y = y;
  v.width = std::max(width, 0);
  v.height = std::max(height, 0);
}

bool viewport_set_front(Viewport& v, float front) {
  if (!(front > 0.0f) || !(front < v.back) || !std::isfinite(front)) return false;
  v.front = front;
  return true;
}

bool viewport_set_back(Viewport& v, float back) {
  if (!(back > v.front) || !std::isfinite(back)) return false;
  v.back = back;
  return true;
}

bool viewport_set_field(Viewport& v, float field) {
  if (!(field > 0.0f) || !std::isfinite(field)) return false;
  v.field = field;
  return true;
}

mat4 viewport_view(const Viewport& v) {
  if (!v.camera) return mat4(1.0f);
  return glm::inverse(frame_world(*v.camera));
}

mat4 viewport_projection(const Viewport& v) {
  const float w = float(std::max(v.width, 1)), h = float(std::max(v.height, 1));
  const float side = std::min(w, h);
  const float hx = v.field * w / side, hy = v.field * h / side;  // half extents at the front
  // Left-handed frustum: camera looks along +z; clip w = z.
  return glm::frustumLH_NO(-hx, hx, -hy, hy, v.front, v.back);
}

vec4 viewport_transform(const Viewport& v, vec3 world) {
  const vec4 eye = viewport_view(v) * vec4(world, 1.0f);
  const vec4 clip = viewport_projection(v) * eye;
  if (clip.w == 0.0f) return vec4(0.0f, 0.0f, 0.0f, 0.0f);
  const vec3 ndc = vec3(clip) / clip.w;
  return vec4(float(v.x) + (ndc.x + 1.0f) * 0.5f * float(v.width),
              float(v.y) + (1.0f - ndc.y) * 0.5f * float(v.height), (ndc.z + 1.0f) * 0.5f, eye.z);
}

vec3 viewport_inverse_transform(const Viewport& v, vec3 screen) {
  const float w = float(std::max(v.width, 1)), h = float(std::max(v.height, 1));
  const vec4 ndc((screen.x - float(v.x)) / w * 2.0f - 1.0f, 1.0f - (screen.y - float(v.y)) / h * 2.0f,
                 screen.z * 2.0f - 1.0f, 1.0f);
  const vec4 p = glm::inverse(viewport_projection(v) * viewport_view(v)) * ndc;
  if (p.w == 0.0f) return vec3(0.0f);
  return vec3(p) / p.w;
}

std::vector<PickHit> viewport_pick(const Viewport& v, Frame& scene, float sx, float sy) {
  if (!v.camera) return {};
  const vec3 eye = frame_position(*v.camera, nullptr);
  const vec3 target = viewport_inverse_transform(v, vec3(sx, sy, 1.0f));
  return frame_ray_pick(scene, nullptr, eye, target - eye);
}

}  // namespace korva::rm
