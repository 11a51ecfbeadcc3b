// The element appearance keywords: the visual kind of an element, showing and hiding it, its
// scale and radii, its frame animation, the refresh of FRAME images, light colour and
// intensity, and the colours and camera field the scene shows. Each works on the instance
// records and, when a run's scene exists (System::scene), on the element's scene objects.
#pragma once
#include <cstdint>

#include "core/system.h"

namespace korva {

struct KeywordBindings;

// Visual kind codes of `type`, from the tag of an element's current asset record.
enum class VisualKind : int32_t {
  None = -1,
  Camera = 0,
  Shape3d = 1,
  FlatShape = 2,
  Sprite = 3,
  Frame = 4,
  Background = 5,
  Counter = 6,
  Track = 7,
  Light = 8,
  Visual = 9,
  GroundMap = 10,
  Model = 11,
};

namespace appearance {
// A frame animation moves one frame for every this much speed accumulated.
constexpr int32_t kStepsPerFrame = 256;
}  // namespace appearance

// The kind of e's current visual; None for a handle that names no element.
VisualKind visual_kind(const System& s, int32_t e);

int32_t type(System& s, int32_t e);
void translucent(System& s, int32_t e, int32_t v);
int32_t show(System& s, int32_t e);
int32_t hide(System& s, int32_t e);
void scale_set(System& s, int32_t e, int32_t sx, int32_t sy, int32_t sz);
void flat_scale_set(System& s, int32_t e, int32_t sx, int32_t sy);
int32_t scale_x(System& s, int32_t e);  // also flat_scale_x
int32_t scale_y(System& s, int32_t e);  // also flat_scale_y
int32_t scale_z(System& s, int32_t e);
int32_t radius(System& s, int32_t e);
int32_t radius_max(System& s, int32_t e);
int32_t last_animation_frame(System& s, int32_t e);
int32_t animation_frame(System& s, int32_t e);
void animation_frame_set(System& s, int32_t e, int32_t n);
int32_t animate(System& s, int32_t e, int32_t first, int32_t last, int32_t speed);
void frame_refresh(System& s, int32_t e);
void frame_refresh_all(System& s);
int32_t background_color(System& s, int32_t e);
int32_t dimension_abs(System& s, int32_t e, int32_t n);
void light_color_set(System& s, int32_t e, int32_t r, int32_t g, int32_t b);
int32_t light_color_red(System& s, int32_t e);
int32_t light_color_green(System& s, int32_t e);
int32_t light_color_blue(System& s, int32_t e);
int32_t light_intensity_set(System& s, int32_t e, int32_t v);
int32_t light_intensity(System& s, int32_t e);
void visual_color_set(System& s, int32_t e, int32_t r, int32_t g, int32_t b);
void visual_rgba_set(System& s, int32_t e, int32_t r, int32_t g, int32_t b, int32_t a);
// The routine of `3dbg_color_set` (a name cannot begin with a digit).
void bg3d_color_set(System& s, int32_t r, int32_t g, int32_t b);
void flash(System& s, int32_t e);
int32_t bottom(System& s, int32_t e);
int32_t camera_fov(System& s, int32_t e);

void bind_appearance_keywords(KeywordBindings& b);

}  // namespace korva
