// Key-framed animations: position, rotation and scale keys, linear or spline, open or closed,
// applied to a bound frame; animation sets play several at one time.
#include <algorithm>
#include <cmath>

#include "platform/rm/rm.h"

namespace korva::rm {

AnimationPtr animation_create() { return std::make_shared<Animation>(); }

void animation_set_options(Animation& a, uint32_t options) { a.options = options; }

template <class Key, class V>
static void insert_key(std::vector<Key>& keys, float time, V value) {
  if (!std::isfinite(time)) return;
  auto it = std::upper_bound(keys.begin(), keys.end(), time,
                             [](float t, const Key& k) { return t < k.time; });
  keys.insert(it, Key{time, value});
}

void animation_add_position_key(Animation& a, float time, vec3 p) { insert_key(a.positions, time, p); }
void animation_add_scale_key(Animation& a, float time, vec3 s) { insert_key(a.scales, time, s); }
void animation_add_rotation_key(Animation& a, float time, quat q) {
  insert_key(a.rotations, time, glm::normalize(q));
}

void animation_delete_key(Animation& a, float time) {
  std::erase_if(a.positions, [&](const PositionKey& k) { return k.time == time; });
  std::erase_if(a.scales, [&](const PositionKey& k) { return k.time == time; });
  std::erase_if(a.rotations, [&](const RotationKey& k) { return k.time == time; });
}

void animation_set_frame(Animation& a, const FramePtr& f) { a.frame = f; }

// Finds the segment around t: keys i and i+1 and the fraction between them. A closed path
// wraps t into the key range and joins the last key back to the first.
template <class Key>
static void segment(const std::vector<Key>& keys, bool closed, float t, size_t& i, size_t& j,
                    float& s) {
  const size_t n = keys.size();
  const float first = keys.front().time, last = keys.back().time;
  i = j = 0;
  s = 0.0f;
  if (n == 1) return;
  if (closed && last > first) {
    const float span = last - first;
    t = first + std::fmod(std::fmod(t - first, span) + span, span);
  }
  if (t <= first) return;
  if (t >= last) {
    i = j = n - 1;
    return;
  }
  for (size_t k = 0; k + 1 < n; ++k) {
    if (t < keys[k + 1].time) {
      i = k;
      j = k + 1;
      const float d = keys[j].time - keys[i].time;
      s = d > 0.0f ? (t - keys[i].time) / d : 0.0f;
      return;
    }
  }
}

// Catmull-Rom through the keys, neighbours clamped (open) or wrapped (closed).
static vec3 spline(const std::vector<PositionKey>& keys, bool closed, size_t i, size_t j, float s) {
  const size_t n = keys.size();
  auto at = [&](long k) -> vec3 {
    if (closed) return keys[size_t(((k % long(n)) + long(n)) % long(n))].value;
    return keys[size_t(std::clamp(k, 0L, long(n) - 1))].value;
  };
  const vec3 p0 = at(long(i) - 1), p1 = at(long(i)), p2 = at(long(j)), p3 = at(long(j) + 1);
  const float s2 = s * s, s3 = s2 * s;
  return 0.5f * ((2.0f * p1) + (-p0 + p2) * s + (2.0f * p0 - 5.0f * p1 + 4.0f * p2 - p3) * s2 +
                 (-p0 + 3.0f * p1 - 3.0f * p2 + p3) * s3);
}

static bool vector_at(const Animation& a, const std::vector<PositionKey>& keys, float t, vec3& out) {
  if (keys.empty()) return false;
  size_t i = 0, j = 0;
  float s = 0.0f;
  const bool closed = a.options & kAnimClosed;
  segment(keys, closed, t, i, j, s);
  if (i == j) {
    out = keys[i].value;
  } else if (a.options & kAnimLinear) {
    out = glm::mix(keys[i].value, keys[j].value, s);
  } else {
    out = spline(keys, closed, i, j, s);
  }
  return true;
}

bool animation_position_at(const Animation& a, float t, vec3& p) {
  return vector_at(a, a.positions, t, p);
}

bool animation_scale_at(const Animation& a, float t, vec3& s) { return vector_at(a, a.scales, t, s); }

bool animation_rotation_at(const Animation& a, float t, quat& q) {
  if (a.rotations.empty()) return false;
  size_t i = 0, j = 0;
  float s = 0.0f;
  segment(a.rotations, a.options & kAnimClosed, t, i, j, s);
  q = i == j ? a.rotations[i].value : glm::slerp(a.rotations[i].value, a.rotations[j].value, s);
  return true;
}

void animation_set_time(Animation& a, float t) {
  a.time = t;
  FramePtr f = a.frame.lock();
  if (!f) return;
  if (a.options & kAnimPosition) {
    vec3 p;
    if (animation_position_at(a, t, p)) f->position = p;
  }
  if (a.options & kAnimScaleAndRotation) {
    quat q(1.0f, 0.0f, 0.0f, 0.0f);
    vec3 s(1.0f);
    const bool has_q = animation_rotation_at(a, t, q);
    const bool has_s = animation_scale_at(a, t, s);
    if (has_q || has_s) {
      mat3 b = glm::mat3_cast(q);
      b[0] *= s.x;
      b[1] *= s.y;
      b[2] *= s.z;
      f->basis = b;
    }
  }
}

void animation_set_time(AnimationSet& s, float t) {
  s.time = t;
  for (auto& a : s.animations)
    if (a) animation_set_time(*a, t);
}

}  // namespace korva::rm
